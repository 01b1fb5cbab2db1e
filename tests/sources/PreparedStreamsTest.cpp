#include "SourceTestSupport.h"
#include "sources/VFakeSourceCentroidX2DParsed.h"
#include "sources/VFakeSourceGreyscaleX2DParsed.h"
#include "sources/VX2DPreparedStreams.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace SourceTest;

namespace
{
/// Everything written to a temporary console file.
class VConsoleCapture
{
public:
    VConsoleCapture() : m_File(std::tmpfile()) {}
    ~VConsoleCapture()
    {
        if (m_File != nullptr)
            std::fclose(m_File);
    }
    VConsoleCapture(const VConsoleCapture&) = delete;
    VConsoleCapture& operator=(const VConsoleCapture&) = delete;

    std::FILE* File() const { return m_File; }
    std::string Text() const
    {
        std::fflush(m_File);
        std::rewind(m_File);
        std::string text;
        char buffer[256];
        std::size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, m_File)) > 0)
            text.append(buffer, read);
        return text;
    }

private:
    std::FILE* m_File;
};

/// Trial frame 0: 175 centroids (5600 record bytes: four whole pieces); frame 1: 50 centroids
/// but only 10 tracks; frame 2: nothing.
void FillPieces(VTrialFrame& frame, std::uint32_t cameras, std::uint32_t k)
{
    frame.Centroids.Resize(cameras);
    frame.Tracks.Resize(cameras);
    const std::uint32_t counts[] = {175, 50, 0};
    const std::uint32_t count = counts[k % 3];
    VCentroidSet& centroids = *frame.Centroids.GetSetDirect(0);
    centroids.Resize(count);
    ICentroidData* data = nullptr;
    centroids.GetData(&data, nullptr, nullptr);
    const std::uint32_t trackCount = k == 1 ? 10 : count;
    VCentroidTrackSet& tracks = *frame.Tracks.GetSetDirect(0);
    tracks.Resize(trackCount);
    ICentroidTrackData* trackData = nullptr;
    tracks.GetData(&trackData, nullptr);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        data[i] = {10.0 + i, 5.0 + k, 1.0, 0.0};
        if (i < trackCount)
            trackData[i] = {500 + i, 3, 1.0f};
    }
}

std::vector<std::size_t> Sizes(const std::vector<Datagram>& datagrams)
{
    std::vector<std::size_t> sizes;
    for (const Datagram& d : datagrams)
        sizes.push_back(d.size());
    return sizes;
}

std::vector<std::uint8_t> Concatenate(const std::vector<Datagram>& datagrams)
{
    std::vector<std::uint8_t> bytes;
    for (const Datagram& d : datagrams)
        bytes.insert(bytes.end(), d.begin(), d.end());
    return bytes;
}
} // namespace

TEST(PreparedStreams, PreparesEveryFrameAndCameraWithProgressLines)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 250, 2);
    ASSERT_NE(trial, nullptr);
    VConsoleCapture console;
    ASSERT_NE(console.File(), nullptr);
    const std::shared_ptr<VX2DPreparedStreams> streams =
        VX2DPreparedStreams::Prepare(*trial, {}, console.File());
    ASSERT_NE(streams, nullptr);
    EXPECT_EQ(console.Text(),
              "Preparing to buffer 250 frames \n2 cameras \n"
              "Reading frame 0/250\nReading frame 100/250\nReading frame 200/250\n");
    EXPECT_EQ(streams->GetFrameCount(), 250u);
    EXPECT_EQ(streams->GetCameraCount(), 2u);
    EXPECT_EQ(streams->GetSystemFrameRate(), kFrameRate);
    EXPECT_FALSE(streams->IsSingleFrame());

    // Trial frame 5 of camera 1 (7002) holds 1 + 6 mod 3 = 1 centroid: its centroid record, its
    // track record, then the trailer.
    const std::span<const std::uint8_t> centroids = streams->GetCentroidStream(5, 1);
    ASSERT_EQ(centroids.size(), 16u + 16 + 36);
    EXPECT_EQ(LittleEndian::LoadU16(centroids.data()), 0xC007);
    EXPECT_EQ(LittleEndian::LoadI32(centroids.data() + 4), static_cast<std::int32_t>(105.5 * 256));
    EXPECT_EQ(LittleEndian::LoadU16(centroids.data() + 16), 0xC006);
    EXPECT_EQ(LittleEndian::LoadU16(centroids.data() + 18), 0);     // position
    EXPECT_EQ(LittleEndian::LoadU32(centroids.data() + 24), 5000u); // file track id
    const VTrailer trailer = DecodeTrailer(Datagram(centroids.begin(), centroids.end()));
    EXPECT_EQ(trailer.StreamKind, 2u);
    EXPECT_EQ(trailer.DeviceId, 7002u);
    EXPECT_EQ(trailer.FrameNumber, 5u);
    EXPECT_EQ(trailer.PreviousFrame, 4u);
    EXPECT_EQ(trailer.ByteCount, 32u);
    EXPECT_EQ(trailer.CentroidCount, 1u);
    EXPECT_EQ(trailer.Tracking, 8u);
    const std::span<const std::uint8_t> first = streams->GetCentroidStream(0, 0);
    EXPECT_EQ(DecodeTrailer(Datagram(first.begin(), first.end())).PreviousFrame, 0u);

    // The greyscale string: the protocol-1 items of the frame (two segments of 11 and 10
    // bytes, two edges) and the trailer, as the assembler sends them.
    const std::span<const std::uint8_t> greyscale = streams->GetGreyscaleStream(5, 1);
    ASSERT_EQ(greyscale.size(), 11u + 10 + 8 + 8 + 36);
    EXPECT_EQ(LittleEndian::LoadU16(greyscale.data()), 0x8000);
    const VTrailer greyTrailer = DecodeTrailer(Datagram(greyscale.begin(), greyscale.end()));
    EXPECT_EQ(greyTrailer.StreamKind, 0x00010002u);
    EXPECT_EQ(greyTrailer.DeviceId, 7002u);
    EXPECT_EQ(greyTrailer.ByteCount, 37u);

    // Out of range: nothing.
    EXPECT_TRUE(streams->GetCentroidStream(250, 0).empty());
    EXPECT_TRUE(streams->GetGreyscaleStream(0, 2).empty());
}

TEST(PreparedStreams, RecordsWithoutTypeNameGetOneFromTheSensorSize)
{
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(659, 494), "KS1A");
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(1280, 1024), "KS2A");
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(1600, 1280), "KS3A");
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(2352, 1728), "KS4A");
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(659, 493), "");
    EXPECT_STREQ(VX2DPreparedStreams::TypeNameFromSensorSize(2344, 1728), "");

    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    VTrialLayout layout;
    layout.Frames = 2;
    layout.TypeName = "";
    layout.SensorWidth = 1280;
    layout.SensorHeight = 1024;
    std::shared_ptr<VX2DHolder> typeless = MakeTrial(dir, layout);
    ASSERT_NE(typeless, nullptr);
    EXPECT_EQ(VX2DPreparedStreams::Prepare(*typeless, {}, nullptr)->GetCameras()[0].TypeName,
              "KS2A");
    layout.SensorHeight = 1000;
    std::shared_ptr<VX2DHolder> unknown = MakeTrial(dir, layout);
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(VX2DPreparedStreams::Prepare(*unknown, {}, nullptr)->GetCameras()[0].TypeName, "");
    layout.TypeName = "CellG";
    std::shared_ptr<VX2DHolder> named = MakeTrial(dir, layout);
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(VX2DPreparedStreams::Prepare(*named, {}, nullptr)->GetCameras()[0].TypeName, "CellG");
}

TEST(ParsedCentroidSource, ReplaysPreparedStringsInPieces)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    VTrialLayout layout;
    layout.Frames = 3;
    layout.Fill = FillPieces;
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, layout);
    ASSERT_NE(trial, nullptr);
    const std::shared_ptr<VX2DPreparedStreams> streams =
        VX2DPreparedStreams::Prepare(*trial, {}, nullptr);
    VLoopbackReceiver hal;
    VFakeSourceCentroidX2DParsed source(hal.Target(7001), streams, 0);

    // 1000 mod 3 = trial frame 1: 50 pairs (1600 bytes) go out as 1400 and 200, then the
    // trailer with this frame's numbers.
    std::uint32_t bytes = 0;
    source.SendFrame(1000, 999, bytes);
    std::vector<Datagram> datagrams = hal.ReceiveFrame(1000);
    EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{1400, 200, 36}));
    EXPECT_EQ(bytes, 1636u);
    std::vector<std::uint8_t> sent = Concatenate(datagrams);
    const std::span<const std::uint8_t> prepared = streams->GetCentroidStream(1, 0);
    ASSERT_EQ(sent.size(), prepared.size());
    EXPECT_TRUE(std::equal(prepared.begin(), prepared.end() - 36, sent.begin()));
    VTrailer trailer = DecodeTrailer(datagrams.back());
    EXPECT_EQ(trailer.FrameNumber, 1000u);
    EXPECT_EQ(trailer.PreviousFrame, 999u);
    EXPECT_EQ(trailer.CentroidCount, 50u);
    EXPECT_EQ(trailer.ByteCount, 1600u);
    // Centroids past the file's 10 tracks carry "no track": id -1, length 0.
    EXPECT_EQ(LittleEndian::LoadU64(sent.data() + 9 * 32 + 24), 509u);
    EXPECT_EQ(LittleEndian::LoadU64(sent.data() + 10 * 32 + 24), ~std::uint64_t{0});
    EXPECT_EQ(LittleEndian::LoadU16(sent.data() + 10 * 32 + 20), 0);
    EXPECT_EQ(LittleEndian::LoadU16(sent.data() + 10 * 32 + 18), 10); // its position

    // Trial frame 0: 175 pairs are exactly four pieces, so an empty remainder follows.
    source.SendFrame(1002, 1001, bytes);
    datagrams = hal.ReceiveFrame(1002);
    EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{1400, 1400, 1400, 1400, 0, 36}));
    EXPECT_EQ(bytes, 5636u);

    // Trial frame 2 has no centroids: the trailer alone.
    source.SendFrame(1001, 1000, bytes);
    datagrams = hal.ReceiveFrame(1001);
    EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{36}));
    EXPECT_EQ(DecodeTrailer(datagrams.back()).PreviousFrame, 1000u);

    // The single-frame switch replays trial frame 1 whatever the frame number; the prepared
    // strings themselves are never changed by a replay.
    streams->SetSingleFrame(true);
    source.SendFrame(5000, 4999, bytes);
    datagrams = hal.ReceiveFrame(5000);
    EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{1400, 200, 36}));
    const std::span<const std::uint8_t> unchanged = streams->GetCentroidStream(1, 0);
    EXPECT_EQ(DecodeTrailer(Datagram(unchanged.begin(), unchanged.end())).FrameNumber, 1u);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(ParsedGreyscaleSource, ReplaysPreparedStringsAndReportsWhatWentOut)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 3);
    ASSERT_NE(trial, nullptr);
    const std::shared_ptr<VX2DPreparedStreams> streams =
        VX2DPreparedStreams::Prepare(*trial, {}, nullptr);
    VLoopbackReceiver hal;
    VFakeSourceGreyscaleX2DParsed source(hal.Target(7001), streams, 0);

    // Trial frame 1: 37 item bytes, then the trailer on its own.
    std::uint32_t bytes = 0;
    source.SendFrame(10, 9, bytes);
    const std::vector<Datagram> datagrams = hal.ReceiveFrame(10);
    EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{37, 36}));
    EXPECT_EQ(bytes, 73u);
    EXPECT_EQ(LittleEndian::LoadU16(datagrams[0].data() + 4), 1); // column = trial frame
    const VTrailer trailer = DecodeTrailer(datagrams.back());
    EXPECT_EQ(trailer.StreamKind, 0x00010002u);
    EXPECT_EQ(trailer.FrameNumber, 10u);
    EXPECT_EQ(trailer.PreviousFrame, 9u);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(ParsedSources, TrialsWithoutFramesSendTrailersAlone)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> empty = MakeTrial(dir, 0);
    ASSERT_NE(empty, nullptr);
    VConsoleCapture console;
    const std::shared_ptr<VX2DPreparedStreams> streams =
        VX2DPreparedStreams::Prepare(*empty, {}, console.File());
    EXPECT_EQ(console.Text(), "Preparing to buffer 0 frames \n1 cameras \n");
    streams->SetSingleFrame(true); // no frame 1 to fall back on either
    VLoopbackReceiver hal;
    VFakeSourceCentroidX2DParsed centroids(hal.Target(7001), streams, 0);
    VFakeSourceGreyscaleX2DParsed greyscale(hal.Target(7001), streams, 0);
    VFakeSourceCentroidX2DParsed noStreams(hal.Target(7001), nullptr, 0);
    const std::pair<VFakeSource*, std::uint32_t> cases[] = {
        {&centroids, 2u}, {&greyscale, 0x00010002u}, {&noStreams, 2u}};
    std::uint32_t frame = 1;
    for (const auto& [source, kind] : cases)
    {
        std::uint32_t bytes = 0;
        source->SendFrame(frame, frame - 1, bytes);
        const std::vector<Datagram> datagrams = hal.ReceiveFrame(frame);
        EXPECT_EQ(Sizes(datagrams), (std::vector<std::size_t>{36}));
        EXPECT_EQ(DecodeTrailer(datagrams.back()).StreamKind, kind);
        EXPECT_EQ(bytes, 36u);
        ++frame;
    }

    // A one-frame trial under the single-frame switch replays its only frame.
    std::shared_ptr<VX2DHolder> one = MakeTrial(dir, 1);
    ASSERT_NE(one, nullptr);
    const std::shared_ptr<VX2DPreparedStreams> single =
        VX2DPreparedStreams::Prepare(*one, {}, nullptr);
    single->SetSingleFrame(true);
    EXPECT_EQ(single->TrialFrameOf(12345), 0u);
    EXPECT_TRUE(hal.IsDrained());
}
