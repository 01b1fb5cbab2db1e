// The dissector against datagrams made by the devices' and the host's own encoders, written
// into a capture file by the test: every kind of datagram decodes to the values encoded, and
// malformed ones are marked, never a Lua error.
#include "TsharkJson.h"

#include "devices/DeviceStatusDatagram.h"
#include "devices/VAwakeAndAliveServer.h"
#include "devices/VByteStringSink.h"
#include "devices/VPreviewPicture.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/syncunit/SyncUnitDatagrams.h"
#include "tsmhost/BroadcastEncoder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

using wireshark_test::Value;
using wireshark_test::Values;
using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<std::uint8_t>(value >> 8);
    out[at + 1] = static_cast<std::uint8_t>(value);
}

/// A classic pcap file of raw IPv4 packets, each one UDP datagram from 127.0.0.1.
class VCaptureFile
{
public:
    void Add(std::uint16_t destinationPort, const Bytes& payload)
    {
        Bytes packet(28, 0);
        packet[0] = 0x45;
        Put16(packet, 2, static_cast<std::uint16_t>(28 + payload.size()));
        packet[8] = 64; // time to live
        packet[9] = 17; // UDP
        for (std::size_t address : {12u, 16u})
        {
            packet[address] = 127;
            packet[address + 3] = 1;
        }
        Put16(packet, 20, 40000);
        Put16(packet, 22, destinationPort);
        Put16(packet, 24, static_cast<std::uint16_t>(8 + payload.size()));
        packet.insert(packet.end(), payload.begin(), payload.end());
        m_Packets.push_back(packet);
    }

    std::size_t Count() const { return m_Packets.size(); }

    bool Write(const std::string& path) const
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr)
            return false;
        const std::uint32_t header[] = {0xA1B2C3D4u, 0x00040002u, 0, 0, 65535, 101};
        std::fwrite(header, sizeof(header), 1, file);
        std::uint32_t second = 1;
        for (const Bytes& packet : m_Packets)
        {
            const std::uint32_t record[] = {second++, 0, static_cast<std::uint32_t>(packet.size()),
                                            static_cast<std::uint32_t>(packet.size())};
            std::fwrite(record, sizeof(record), 1, file);
            std::fwrite(packet.data(), 1, packet.size(), file);
        }
        return std::fclose(file) == 0;
    }

private:
    std::vector<Bytes> m_Packets;
};

Bytes Centroids(std::size_t count, double firstX)
{
    Bytes out(count * CentroidRecord::Size);
    for (std::size_t i = 0; i < count; ++i)
        CentroidRecord::Encode(out.data() + i * CentroidRecord::Size, firstX + i, 20.25, 3.5, 0.5);
    return out;
}

Bytes Trailer(std::uint32_t kind, std::uint32_t device, std::uint32_t frame,
              std::uint32_t byteCount, std::uint32_t centroids)
{
    FrameTrailer trailer;
    trailer.StreamKind = kind;
    trailer.DeviceId = device;
    trailer.FrameNumber = frame;
    trailer.PreviousFrame = frame - 1;
    trailer.ByteCount = byteCount;
    trailer.CentroidCount = centroids;
    Bytes out(FrameTrailer::Size);
    trailer.Encode(out.data());
    return out;
}

Bytes Append(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(WiresharkDissector, DecodesEveryKindOfDatagramToTheValuesEncoded)
{
    const std::string tshark = wireshark_test::FindProgram("tshark");
    if (tshark.empty())
        GTEST_SKIP() << "tshark is not installed (apt-get install tshark): dissector not tested";
    VCaptureFile capture;

    // 0: MASTER naming the sync unit at 100.5 Hz; 1: FRAME_NUMBER.
    capture.Add(8666, EncodeBroadcastWords(MasterWords(0x02000001, true, *SplitFrameRate(100.5))));
    capture.Add(8666, EncodeBroadcastWords(FrameNumberWords(77)));
    // 2: AWAKE of the sync unit at position 1; 3: ALIVE of camera 5, tick 7.
    Bytes awake(AwakeDatagram::Size);
    VAwakeAndAliveServer::EncodeAwake(awake.data(), 0x0100007F, 2, 1, 0, 0x02000001);
    capture.Add(8570, awake);
    Bytes alive(AliveDatagram::Size);
    VAwakeAndAliveServer::EncodeAlive(alive.data(), 0x0100007F, 0, 7, 5);
    capture.Add(8570, alive);
    // 4: sync status of a master on the status port (data port + 1).
    Bytes status(DeviceStatus::BaseDatagramSize);
    DeviceStatus::EncodeSyncStatus(status.data(), DeviceStatus::SyncModeMaster);
    DeviceStatus::FillAddress(status.data(), 70000, 5);
    capture.Add(20011, status);
    // 5: three centroids, 6: their trailer, on camera 5's data port.
    capture.Add(20010, Centroids(3, 12.5));
    capture.Add(20010, Trailer(CameraData::StreamKindCentroid, 5, 42, 48, 3));
    // 7, 8: a prepared stream cut at 1400 bytes: 87 records and half of the 88th, then the
    // other half, two more records and the trailer.
    const Bytes stream = Centroids(90, 100.0);
    capture.Add(20010, Bytes(stream.begin(), stream.begin() + 1400));
    capture.Add(20010, Append(Bytes(stream.begin() + 1400, stream.end()),
                              Trailer(CameraData::StreamKindCentroid, 5, 43, 1440, 90)));
    // 9: a protocol-2 greyscale datagram: header, settings, a segment of 3 pixels, an edge
    // and the trailer.
    DatagramHeader_t header;
    header.Fill(5, 44, 43, 100.0);
    Bytes grey(DatagramHeader_t::Size + GreyscaleSettingsItem::Size);
    header.Encode(grey.data());
    DatagramHeader_t::MarkLast(grey.data());
    GreyscaleSettingsItem::Encode(grey.data() + DatagramHeader_t::Size, 40, 3, 100,
                                  CameraData::EncodingMode::All);
    IGreyscaleLineData line{};
    line.Coord0 = 300;
    line.Coord1 = 200;
    line.PixelCount = 3;
    Bytes segment(GreyscaleSegmentItem::HeadSize);
    GreyscaleSegmentItem::EncodeHead(segment.data(), CameraData::TagGreyscaleSegment, line);
    segment.insert(segment.end(), {9, 8, 7});
    Bytes edge(EdgeItem::Size);
    EdgeItem::Encode(edge.data(), IEdgePairData{301, 201, 1234});
    capture.Add(25010, Append(Append(Append(grey, segment), edge),
                              Trailer(CameraData::StreamKindGreyscale, 5, 44, 19, 0)));
    // 10: protocol 1: a segment headed by its blob word, then the trailer.
    Bytes blob(GreyscaleSegmentItem::HeadSize);
    GreyscaleSegmentItem::EncodeHead(blob.data(), GreyscaleSegmentItem::BlobWord(3, 0), line);
    blob.insert(blob.end(), {1, 2, 3});
    capture.Add(21010, Append(blob, Trailer(CameraData::StreamKindGreyscale, 5, 45, 11, 0)));
    // 11: a timecode of NTSC drop-frame; 12: an analogue trailer; 13: analogue samples.
    SyncUnitWire::VTimecodeFields timecode;
    timecode.DeviceId = 0x02000001;
    timecode.Frame = 46;
    timecode.Hours = 10;
    timecode.Minutes = 1;
    timecode.Seconds = 2;
    timecode.Frames = 3;
    timecode.StandardBits = 0x2000;
    Bytes timecodeBytes(SyncUnitWire::TimecodeSize);
    SyncUnitWire::EncodeTimecode(timecodeBytes.data(), timecode);
    capture.Add(22000, timecodeBytes);
    SyncUnitWire::VAnalogueTrailerFields analogue;
    analogue.DeviceId = 0x02000001;
    analogue.Frame = 46;
    analogue.Instants = 10;
    analogue.Channels = 2;
    analogue.ChannelMask = 0x3;
    analogue.DataBytes = 40;
    Bytes analogueBytes(SyncUnitWire::AnalogueTrailerSize);
    SyncUnitWire::EncodeAnalogueTrailer(analogueBytes.data(), analogue);
    capture.Add(20000, analogueBytes);
    capture.Add(23000, Bytes{0x01, 0x00, 0xFF, 0xFF, 0x10, 0x00});
    // 14: an input status of GPI2; 15: a trailer on a port the preferences do not name.
    Bytes input(SyncUnitWire::InputStatusSize);
    SyncUnitWire::EncodeInputStatus(input.data(), 46, 0x04, 0x04);
    capture.Add(20001, input);
    capture.Add(40000, Trailer(CameraData::StreamKindCentroid, 6, 47, 0, 0));
    // 16, 17: the first two preview datagrams of camera 5's 40 × 30 picture.
    VPreviewPicture picture(5, 40, 30);
    for (int datagram = 0; datagram < 2; ++datagram)
    {
        VByteStringSink sink;
        picture.SendNext(sink);
        capture.Add(8574, sink.TakeBytes());
    }

    const std::string path = testing::TempDir() + "tsm_dissector_" + std::to_string(getpid());
    ASSERT_TRUE(capture.Write(path + ".pcap"));
    const wireshark_test::VDecoded decoded = wireshark_test::Decode(tshark, path + ".pcap");
    std::remove((path + ".pcap").c_str());
    ASSERT_EQ(decoded.Exit, 0) << decoded.Errors;
    ASSERT_EQ(decoded.Layers.size(), capture.Count()) << decoded.Errors;
    for (const nlohmann::json& layers : decoded.Layers)
    {
        EXPECT_TRUE(layers.contains("tsm")) << layers.dump(1);
        EXPECT_TRUE(Values(layers, "_ws.expert.message").empty()) << layers.dump(1);
    }
    const std::vector<nlohmann::json>& p = decoded.Layers;
    EXPECT_EQ(Value(p[0], "tsm.bcast.device"), "33554433");
    EXPECT_EQ(Value(p[0], "tsm.bcast.rate"), "100.5");
    EXPECT_EQ(Value(p[0], "tsm.bcast.surrogate"), "1");
    EXPECT_EQ(Value(p[1], "tsm.bcast.frame"), "77");
    EXPECT_EQ(Value(p[2], "tsm.disc.device"), "33554433");
    EXPECT_EQ(Value(p[2], "tsm.disc.class"), "2");
    EXPECT_EQ(Value(p[2], "tsm.disc.position"), "1");
    EXPECT_EQ(Value(p[3], "tsm.disc.sequence"), "7");
    EXPECT_EQ(Value(p[4], "tsm.status.type"), "3");
    EXPECT_EQ(Value(p[4], "tsm.status.master"), "1");
    EXPECT_EQ(Value(p[4], "tsm.status.host_tag"), "4464");
    EXPECT_EQ(Value(p[5], "tsm.centroid.count"), "3");
    EXPECT_EQ(Values(p[5], "tsm.centroid.x"), (std::vector<std::string>{"12.5", "13.5", "14.5"}));
    EXPECT_EQ(Value(p[5], "tsm.centroid.radius"), "3.5");
    EXPECT_EQ(Value(p[6], "tsm.trailer.frame"), "42");
    EXPECT_EQ(Value(p[6], "tsm.trailer.centroid_count"), "3");
    EXPECT_EQ(Value(p[6], "tsm.trailer.device"), "5");
    // The cut record ends the first datagram and opens the second; neither is malformed.
    EXPECT_EQ(Value(p[7], "tsm.centroid.count"), "87");
    EXPECT_FALSE(Value(p[7], "tsm.continues").empty());
    EXPECT_FALSE(Value(p[8], "tsm.continued").empty());
    EXPECT_EQ(Value(p[8], "tsm.centroid.count"), "2");
    EXPECT_EQ(Values(p[8], "tsm.centroid.x").front(), "188");
    EXPECT_EQ(Value(p[8], "tsm.trailer.centroid_count"), "90");
    EXPECT_EQ(Value(p[9], "tsm.grey.frame"), "44");
    EXPECT_EQ(Value(p[9], "tsm.grey.last"), "1");
    EXPECT_EQ(Value(p[9], "tsm.grey.threshold"), "40");
    EXPECT_EQ(Value(p[9], "tsm.grey.line"), "200");
    EXPECT_EQ(Value(p[9], "tsm.grey.pixel_count"), "3");
    EXPECT_EQ(Value(p[9], "tsm.edge.coord2"), "1234");
    EXPECT_EQ(Value(p[9], "tsm.trailer.stream"), "0x00010002");
    EXPECT_EQ(Value(p[10], "tsm.grey.blob"), "3");
    EXPECT_EQ(Value(p[10], "tsm.grey.blob_flag_zero"), "1");
    EXPECT_EQ(Value(p[10], "tsm.trailer.frame"), "45");
    EXPECT_EQ(Value(p[11], "tsm.timecode.text"), "10:01:02;03");
    EXPECT_EQ(Value(p[11], "tsm.timecode.device"), "33554433");
    EXPECT_EQ(Value(p[12], "tsm.analogue.instants"), "10");
    EXPECT_EQ(Value(p[12], "tsm.analogue.data_bytes"), "40");
    EXPECT_EQ(Values(p[13], "tsm.analogue.sample"), (std::vector<std::string>{"1", "-1", "16"}));
    EXPECT_EQ(Value(p[14], "tsm.status.inputs"), "0x0004");
    EXPECT_EQ(Value(p[15], "tsm.trailer.frame"), "47");
    EXPECT_EQ(Value(p[16], "tsm.preview.device"), "5");
    EXPECT_EQ(Value(p[16], "tsm.preview.width"), "40");
    EXPECT_EQ(Value(p[16], "tsm.preview.pixel_count"), "400");
    EXPECT_EQ(Value(p[17], "tsm.preview.offset"), "400");
    EXPECT_EQ(Value(p[17], "tsm.preview.first_line"), "10");
    EXPECT_EQ(decoded.Errors.find("Lua"), std::string::npos) << decoded.Errors;
}

TEST(WiresharkDissector, MarksMalformedDatagramsAndReadsNothingBeyondThem)
{
    const std::string tshark = wireshark_test::FindProgram("tshark");
    if (tshark.empty())
        GTEST_SKIP() << "tshark is not installed (apt-get install tshark): dissector not tested";
    VCaptureFile capture;
    Bytes master = EncodeBroadcastWords(MasterWords(1, false, *SplitFrameRate(100)));
    master.resize(12);
    capture.Add(8666, master);                                    // MASTER cut short
    capture.Add(8666, Bytes{});                                   // empty command
    capture.Add(8570, Bytes{0x00, 0x04, 0x00, 0x06, 0, 0, 0, 1}); // AWAKE cut short
    Bytes trailer = Trailer(CameraData::StreamKindCentroid, 5, 1, 0, 0);
    trailer.resize(20);
    capture.Add(20010, trailer); // trailer cut short
    Bytes status(DeviceStatus::BaseDatagramSize);
    DeviceStatus::EncodeSyncStatus(status.data(), 0);
    status.resize(18);
    capture.Add(20011, status);                                             // status cut short
    capture.Add(20011, Bytes{1, 2, 3});                                     // not a status
    capture.Add(20010, Append(Centroids(2, 1.0), Bytes{0xAB, 0xCD, 0xEF})); // stray bytes
    Bytes timecode(SyncUnitWire::TimecodeSize);
    SyncUnitWire::EncodeTimecode(timecode.data(), SyncUnitWire::VTimecodeFields{});
    timecode[24] = 0xAA; // not BCD
    capture.Add(22000, timecode);
    capture.Add(8574, Bytes(40, 0xC0)); // preview without header
    capture.Add(20000, Bytes{0x55});    // one byte of samples

    const std::string path = testing::TempDir() + "tsm_malformed_" + std::to_string(getpid());
    ASSERT_TRUE(capture.Write(path + ".pcap"));
    const wireshark_test::VDecoded decoded = wireshark_test::Decode(tshark, path + ".pcap");
    std::remove((path + ".pcap").c_str());
    ASSERT_EQ(decoded.Exit, 0) << decoded.Errors;
    ASSERT_EQ(decoded.Layers.size(), capture.Count());
    for (std::size_t i = 0; i < decoded.Layers.size(); ++i)
    {
        const nlohmann::json& layers = decoded.Layers[i];
        const std::string text = layers.dump();
        if (i == 1)
        {
            // UDP hands an empty payload to no dissector.
            EXPECT_FALSE(layers.contains("tsm")) << text;
            continue;
        }
        EXPECT_NE(text.find("tsm.malformed"), std::string::npos) << "packet " << i << ": " << text;
        // A read past the datagram's end would be a Lua error ("Range is out of bounds").
        EXPECT_EQ(text.find("Lua Error"), std::string::npos) << "packet " << i << ": " << text;
    }
    EXPECT_EQ(Value(decoded.Layers[6], "tsm.centroid.count"), "2");
}
