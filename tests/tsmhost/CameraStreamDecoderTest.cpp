// The camera stream decoder against the devices' own encoders: centroid streams, prepared
// streams cut at 1400 bytes, greyscale of both protocols; lost datagrams, cut and unknown
// items, and arbitrary bytes.
#include "tsmhost/CameraStreamDecoder.h"

#include "devices/IDatagramSink.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/PreparedStream.h"
#include "devices/camerawire/VCentroidStreamWriter.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "support/VRecordingSink.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;
using testsupport::VRecordingSink;

/// A decoder that keeps copies of the frames it finishes.
struct VDecoderUnderTest
{
    std::vector<VCameraStreamFrame> Frames;
    VCameraStreamDecoder Decoder{[this](VCameraStreamFrame& frame) { Frames.push_back(frame); }};

    void Feed(const std::vector<Bytes>& datagrams)
    {
        for (const Bytes& datagram : datagrams)
            Decoder.Feed(datagram.data(), datagram.size());
    }
};

std::vector<ICentroidData> Centroids(std::size_t count)
{
    std::vector<ICentroidData> centroids(count);
    for (std::size_t i = 0; i < count; ++i)
        centroids[i] = {10.5 + static_cast<double>(i), 3.25, 2.0 + 1.0 / 512, 0.7};
    return centroids;
}

std::vector<ICentroidTrackData> Tracks(std::size_t count)
{
    std::vector<ICentroidTrackData> tracks(count);
    for (std::size_t i = 0; i < count; ++i)
        tracks[i] = {static_cast<std::int64_t>(0x8000000000000000ull + i), 70000, 0.5f};
    return tracks;
}

CentroidFrameInfo CentroidInfo(std::uint32_t frame, bool tracking)
{
    CentroidFrameInfo info;
    info.DeviceId = 7;
    info.FrameNumber = frame;
    info.PreviousFrame = frame - 1;
    info.ReportCentroidCount = true;
    info.TrackingOn = tracking;
    return info;
}

/// Blob b has `lines` segments of `width` pixels valued b, starting at line 10 b.
struct VBlobs
{
    std::vector<std::vector<std::uint8_t>> Pixels;
    std::vector<std::vector<IGreyscaleLineData>> Lines;
    std::vector<IGreyscaleBlobData> Blobs;
    std::vector<IEdgePairData> Edges;

    VBlobs(std::size_t count, std::uint16_t lines, std::uint16_t width)
    {
        Pixels.resize(count);
        Lines.resize(count);
        for (std::size_t b = 0; b < count; ++b)
        {
            Pixels[b].assign(std::size_t{lines} * width, static_cast<std::uint8_t>(b + 1));
            for (std::uint16_t l = 0; l < lines; ++l)
                Lines[b].push_back({static_cast<std::uint16_t>(100 - b),
                                    static_cast<std::uint16_t>(10 * b + l),
                                    Pixels[b].data() + std::size_t{l} * width, width});
            Blobs.push_back({Lines[b].data(), lines, static_cast<std::uint8_t>(b % 2)});
            Edges.push_back({static_cast<std::uint16_t>(100 - b),
                             static_cast<std::uint16_t>(10 * b), static_cast<std::uint16_t>(b)});
        }
    }
};

GreyscaleFrameInfo GreyInfo(std::uint32_t frame, std::int32_t protocol)
{
    GreyscaleFrameInfo info;
    info.DeviceId = 7;
    info.FrameNumber = frame;
    info.PreviousFrame = frame - 1;
    info.ProtocolVersion = protocol;
    info.Threshold = 128;
    info.MinRatio = 3;
    info.SystemFrameRate = 100.0;
    return info;
}

} // namespace

TEST(CameraStreamDecoder, CentroidStreamsOfTheWriter)
{
    VRecordingSink sink;
    VCentroidStreamWriter writer;
    writer.SendFrame(sink, Centroids(200), Tracks(200), CentroidInfo(11, true));
    writer.SendFrame(sink, {}, {}, CentroidInfo(12, false));
    VDecoderUnderTest decoder;
    decoder.Feed(sink.m_Datagrams);

    ASSERT_EQ(decoder.Frames.size(), 2u);
    const VCameraStreamFrame& frame = decoder.Frames[0];
    EXPECT_EQ(frame.Trailer.StreamKind, CameraData::StreamKindCentroid);
    EXPECT_EQ(frame.Trailer.DeviceId, 7u);
    EXPECT_EQ(frame.Trailer.FrameNumber, 11u);
    EXPECT_EQ(frame.Trailer.PreviousFrame, 10u);
    EXPECT_EQ(frame.Trailer.CentroidCount, 200u);
    EXPECT_EQ(frame.Trailer.Tracking, FrameTrailer::TrackingOn);
    EXPECT_EQ(frame.Datagrams, 7u); // 3 of centroids, 3 of tracks, the trailer
    EXPECT_TRUE(frame.IsComplete());
    ASSERT_EQ(frame.Centroids.size(), 200u);
    // x = 10.5 + 199, y = 3.25, radius 2 + 1/512 truncated to 1/256, fraction 0.7.
    EXPECT_EQ(frame.Centroids[199], (VWireCentroid{53632, 832, 512, 179}));
    ASSERT_EQ(frame.Tracks.size(), 200u);
    EXPECT_EQ(frame.Tracks[5], (VWireTrack{5, 70000 & 0xFFFF, 32767,
                                           static_cast<std::int64_t>(0x8000000000000005ull)}));

    EXPECT_TRUE(decoder.Frames[1].Centroids.empty());
    EXPECT_TRUE(decoder.Frames[1].IsComplete());
    EXPECT_EQ(decoder.Decoder.GetMalformedCount(), 0u);
}

TEST(CameraStreamDecoder, PreparedStreamsCutRecordsAcrossDatagrams)
{
    // Centroid and track records interleaved, 100 of each (3200 bytes): pieces of 1400, 1400
    // and 400 bytes, so records straddle the cuts, then the trailer alone.
    Bytes prepared;
    const auto centroids = Centroids(100);
    const auto tracks = Tracks(100);
    for (std::uint32_t i = 0; i < 100; ++i)
    {
        std::uint8_t record[16];
        CentroidRecord::Encode(record, centroids[i]);
        prepared.insert(prepared.end(), record, record + 16);
        TrackRecord::Encode(record, i, tracks[i]);
        prepared.insert(prepared.end(), record, record + 16);
    }
    FrameTrailer trailer;
    trailer.DeviceId = 7;
    trailer.FrameNumber = 5;
    trailer.PreviousFrame = 4;
    trailer.ByteCount = 3200;
    trailer.CentroidCount = 100;
    std::uint8_t trailerBytes[FrameTrailer::Size];
    trailer.Encode(trailerBytes);
    prepared.insert(prepared.end(), trailerBytes, trailerBytes + FrameTrailer::Size);

    VRecordingSink sink;
    PreparedStream::Send(sink, prepared.data(), prepared.size());
    ASSERT_EQ(sink.m_Datagrams.size(), 4u);
    EXPECT_EQ(sink.m_Datagrams[0].size(), 1400u);
    VDecoderUnderTest decoder;
    decoder.Feed(sink.m_Datagrams);
    ASSERT_EQ(decoder.Frames.size(), 1u);
    EXPECT_TRUE(decoder.Frames[0].IsComplete());
    ASSERT_EQ(decoder.Frames[0].Centroids.size(), 100u);
    EXPECT_EQ(decoder.Frames[0].Centroids[43].X, (10 * 256 + 128) + 43 * 256);
    EXPECT_EQ(decoder.Frames[0].Tracks[99].Position, 99u);
    EXPECT_EQ(decoder.Decoder.GetMalformedCount(), 0u);
}

TEST(CameraStreamDecoder, GreyscaleOfBothProtocols)
{
    // Protocol 1: blob words, segments blob by blob, then the edges; about 6 datagrams.
    {
        const VBlobs blobs(40, 3, 60);
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, GreyInfo(21, 1), blobs.Blobs, blobs.Edges);
        EXPECT_GT(sink.m_Datagrams.size(), 4u);
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        const VCameraStreamFrame& frame = decoder.Frames[0];
        EXPECT_TRUE(frame.IsComplete());
        EXPECT_EQ(frame.Trailer.StreamKind, CameraData::StreamKindGreyscale);
        EXPECT_EQ(frame.Headers, 0u);
        ASSERT_EQ(frame.Segments.size(), 120u);
        const VWireSegment& segment = frame.Segments[3 * 7 + 2]; // blob 7, line 2
        EXPECT_TRUE(segment.HasBlobWord());
        EXPECT_EQ(segment.BlobPosition(), 7u);
        EXPECT_EQ(segment.BlobFlag(), 1u);
        EXPECT_EQ(frame.Segments[0].BlobFlag(), 0u);
        EXPECT_EQ(segment.Line, 72u);
        EXPECT_EQ(segment.Column, 93u);
        ASSERT_EQ(segment.PixelCount, 60u);
        EXPECT_EQ(frame.Pixels[segment.PixelOffset + 59], 8u);
        ASSERT_EQ(frame.Edges.size(), 40u);
        EXPECT_EQ(frame.Edges[39], (VWireEdge{390, 61, 39}));
    }
    // Protocol 2: headers with counting indexes, the settings item, items sorted by line.
    {
        const VBlobs blobs(40, 3, 60);
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, GreyInfo(22, 2), blobs.Blobs, blobs.Edges);
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        const VCameraStreamFrame& frame = decoder.Frames[0];
        EXPECT_TRUE(frame.IsComplete());
        EXPECT_EQ(frame.Headers, sink.m_Datagrams.size());
        EXPECT_TRUE(frame.HasSettings);
        EXPECT_EQ(frame.Settings.Threshold, 128u);
        EXPECT_EQ(frame.Settings.MinRatio, 3u);
        ASSERT_EQ(frame.Segments.size(), 120u);
        EXPECT_FALSE(frame.Segments[0].HasBlobWord());
        for (std::size_t i = 1; i < frame.Segments.size(); ++i)
            EXPECT_LE(frame.Segments[i - 1].Line, frame.Segments[i].Line);
        EXPECT_EQ(frame.Edges.size(), 40u);
    }
    // A segment too wide for 1400 bytes travels in a datagram of its own.
    {
        const VBlobs wide(1, 1, 3000);
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, GreyInfo(23, 1), wide.Blobs, {});
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        EXPECT_TRUE(decoder.Frames[0].IsComplete());
        EXPECT_EQ(decoder.Frames[0].Pixels.size(), 3000u);
    }
}

TEST(CameraStreamDecoder, LostDatagramsShowInTheFrame)
{
    // A centroid frame missing its second datagram: the trailer counts more than arrived.
    {
        VRecordingSink sink;
        VCentroidStreamWriter writer;
        writer.SendFrame(sink, Centroids(200), {}, CentroidInfo(11, false));
        sink.m_Datagrams.erase(sink.m_Datagrams.begin() + 1);
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        EXPECT_FALSE(decoder.Frames[0].IsComplete());
        EXPECT_EQ(decoder.Frames[0].ItemBytes, (200u - 87u) * 16u);
    }
    // A frame whose trailer went missing merges into the next, which is then incomplete.
    {
        VRecordingSink sink;
        VCentroidStreamWriter writer;
        writer.SendFrame(sink, Centroids(3), {}, CentroidInfo(11, false));
        sink.m_Datagrams.pop_back();
        writer.SendFrame(sink, Centroids(2), {}, CentroidInfo(12, false));
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        EXPECT_EQ(decoder.Frames[0].Trailer.FrameNumber, 12u);
        EXPECT_FALSE(decoder.Frames[0].IsComplete());
    }
    // Protocol 2: a missing middle datagram breaks the header indexes.
    {
        const VBlobs blobs(40, 3, 60);
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, GreyInfo(22, 2), blobs.Blobs, blobs.Edges);
        ASSERT_GT(sink.m_Datagrams.size(), 3u);
        sink.m_Datagrams.erase(sink.m_Datagrams.begin() + 2);
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        EXPECT_EQ(decoder.Frames[0].HeaderGaps, 1u);
        EXPECT_FALSE(decoder.Frames[0].IsComplete());
    }
    // Protocol 2: a frame whose end went missing is dropped when the next frame's header
    // arrives; the next frame stays whole.
    {
        const VBlobs blobs(40, 3, 60);
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, GreyInfo(22, 2), blobs.Blobs, blobs.Edges);
        sink.m_Datagrams.pop_back();
        assembler.SendFrame(sink, GreyInfo(23, 2), blobs.Blobs, blobs.Edges);
        VDecoderUnderTest decoder;
        decoder.Feed(sink.m_Datagrams);
        ASSERT_EQ(decoder.Frames.size(), 1u);
        EXPECT_EQ(decoder.Frames[0].Trailer.FrameNumber, 23u);
        EXPECT_TRUE(decoder.Frames[0].IsComplete());
        EXPECT_EQ(decoder.Decoder.GetDroppedPartialCount(), 1u);
    }
}

TEST(CameraStreamDecoder, MalformedBytesAreCountedAndSkipped)
{
    VRecordingSink good;
    VCentroidStreamWriter writer;
    writer.SendFrame(good, Centroids(3), {}, CentroidInfo(11, false));
    const Bytes records = good.m_Datagrams[0]; // 48 bytes of three records

    VDecoderUnderTest decoder;
    // A record cut short (not a full 1400-byte piece): the rest of the datagram is skipped.
    decoder.Decoder.Feed(records.data(), 40);
    EXPECT_EQ(decoder.Decoder.GetMalformedCount(), 1u);
    EXPECT_EQ(decoder.Decoder.GetLastProblem(), "item cut short at byte 32 (8 of 16 bytes)");
    // An unknown tag.
    const Bytes unknown = {0x34, 0x12, 0, 0, 0, 0, 0, 0};
    decoder.Decoder.Feed(unknown.data(), unknown.size());
    EXPECT_EQ(decoder.Decoder.GetLastProblem(), "unknown item tag 1234 at byte 0; 8 bytes skipped");
    // A trailer whose length field lies.
    Bytes trailer = good.m_Datagrams.back();
    trailer[FrameTrailer::OffsetLength] = 40;
    decoder.Decoder.Feed(trailer.data(), trailer.size());
    EXPECT_EQ(decoder.Decoder.GetMalformedCount(), 3u);
    EXPECT_TRUE(decoder.Frames.empty());

    // Then a whole frame decodes as if nothing had happened.
    decoder.Feed(good.m_Datagrams);
    ASSERT_EQ(decoder.Frames.size(), 1u);
    EXPECT_TRUE(decoder.Frames[0].IsComplete());
    EXPECT_EQ(decoder.Frames[0].Centroids.size(), 3u);
}

TEST(CameraStreamDecoder, ArbitraryBytesNeverBreakTheDecoder)
{
    std::mt19937 random(7);
    VDecoderUnderTest decoder;
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> size(0, 3000);
    const std::uint16_t tags[] = {0xC001, 0xC002, 0xC006, 0xC007, 0xC008, 0xC009, 0xE001, 0x8001};
    for (int i = 0; i < 3000; ++i)
    {
        Bytes datagram(i % 10 == 0 ? 1400 : size(random));
        for (std::uint8_t& value : datagram)
            value = static_cast<std::uint8_t>(byte(random));
        // Plausible tags at the start make the decoder go deep into its items.
        if (datagram.size() >= 2)
        {
            const std::uint16_t tag = tags[static_cast<std::size_t>(i) % std::size(tags)];
            datagram[0] = static_cast<std::uint8_t>(tag);
            datagram[1] = static_cast<std::uint8_t>(tag >> 8);
        }
        decoder.Decoder.Feed(datagram.data(), datagram.size());
    }
    EXPECT_GT(decoder.Decoder.GetMalformedCount(), 0u);
    // After one frame to flush whatever was waiting, frames decode exactly again.
    VRecordingSink sink;
    VCentroidStreamWriter writer;
    writer.SendFrame(sink, Centroids(3), {}, CentroidInfo(11, false));
    writer.SendFrame(sink, Centroids(3), {}, CentroidInfo(12, false));
    writer.SendFrame(sink, Centroids(3), {}, CentroidInfo(13, false));
    decoder.Frames.clear();
    decoder.Feed(sink.m_Datagrams);
    ASSERT_FALSE(decoder.Frames.empty());
    EXPECT_EQ(decoder.Frames.back().Trailer.FrameNumber, 13u);
    EXPECT_TRUE(decoder.Frames.back().IsComplete());
}
