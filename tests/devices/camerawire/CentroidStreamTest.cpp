// The centroid stream: records cut into datagrams of 87, tracks in datagrams of their own,
// the trailer alone; and the replay of prepared byte strings in 1400-byte pieces.
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/PreparedStream.h"
#include "devices/camerawire/VCentroidStreamWriter.h"

#include "support/VRecordingSink.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace testsupport;

namespace
{

/// Centroid i sits at x = i, so a record tells which centroid it is.
std::vector<ICentroidData> Centroids(std::size_t count)
{
    std::vector<ICentroidData> centroids(count);
    for (std::size_t i = 0; i < count; ++i)
        centroids[i] = ICentroidData{static_cast<double>(i), 1.0, 2.0, 0.25};
    return centroids;
}

std::vector<ICentroidTrackData> Tracks(std::size_t count)
{
    std::vector<ICentroidTrackData> tracks(count);
    for (std::size_t i = 0; i < count; ++i)
        tracks[i] = ICentroidTrackData{static_cast<std::int64_t>(100 + i), 5, 0.5f};
    return tracks;
}

CentroidFrameInfo TrialInfo(bool tracking)
{
    CentroidFrameInfo info;
    info.DeviceId = 42;
    info.FrameNumber = 11;
    info.PreviousFrame = 10;
    info.ReportCentroidCount = true;
    info.TrackingOn = tracking;
    return info;
}

} // namespace

TEST(CentroidStream, TwoHundredCentroidsWithoutTracking)
{
    VRecordingSink sink;
    VCentroidStreamWriter writer;
    const auto centroids = Centroids(200);
    const std::uint32_t sent = writer.SendFrame(sink, centroids, {}, TrialInfo(false));

    EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{1392, 1392, 416, 36}));
    EXPECT_EQ(sent, 3200u + 36u);
    // Records 0, 87 and 174 open the three datagrams.
    EXPECT_EQ(U16(sink.m_Datagrams[0], 0), CameraData::TagCentroid);
    EXPECT_EQ(I32(sink.m_Datagrams[1], CentroidRecord::OffsetX), 87 * 256);
    EXPECT_EQ(I32(sink.m_Datagrams[2], CentroidRecord::OffsetX), 174 * 256);
    EXPECT_EQ(I32(sink.m_Datagrams[2], 416 - 16 + CentroidRecord::OffsetX), 199 * 256);

    const Bytes& trailer = sink.m_Datagrams[3];
    EXPECT_EQ(U16(trailer, FrameTrailer::OffsetTag), CameraData::TagFrameTrailer);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetStreamKind), CameraData::StreamKindCentroid);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetDeviceId), 42u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetFrameNumber), 11u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetByteCount), 3200u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetCentroidCount), 200u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetPreviousFrame), 10u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetTracking), 0u);
}

TEST(CentroidStream, DatagramBoundaries)
{
    VCentroidStreamWriter writer;
    // No centroids: the trailer alone, with zero counts.
    {
        VRecordingSink sink;
        EXPECT_EQ(writer.SendFrame(sink, {}, {}, TrialInfo(false)), 36u);
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{36}));
        EXPECT_EQ(U32(sink.m_Datagrams[0], FrameTrailer::OffsetByteCount), 0u);
        EXPECT_EQ(U32(sink.m_Datagrams[0], FrameTrailer::OffsetCentroidCount), 0u);
    }
    // Exactly 87 and 174 records: full datagrams and no empty one behind them.
    {
        VRecordingSink sink;
        writer.SendFrame(sink, Centroids(87), {}, TrialInfo(false));
        EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{1392, 36}));
    }
    {
        VRecordingSink sink;
        writer.SendFrame(sink, Centroids(174), {}, TrialInfo(false));
        EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{1392, 1392, 36}));
    }
}

TEST(CentroidStream, TracksTravelInDatagramsOfTheirOwn)
{
    VRecordingSink sink;
    VCentroidStreamWriter writer;
    const auto centroids = Centroids(90);
    const auto tracks = Tracks(90);
    const std::uint32_t sent = writer.SendFrame(sink, centroids, tracks, TrialInfo(true));

    EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{1392, 48, 1392, 48, 36}));
    EXPECT_EQ(sent, 180u * 16u + 36u);
    EXPECT_EQ(U16(sink.m_Datagrams[1], 32), CameraData::TagCentroid) << "last centroid";
    EXPECT_EQ(U16(sink.m_Datagrams[2], 0), CameraData::TagTrack) << "tracks start afresh";
    // Each track names its centroid by position; position 88 is in the last datagram.
    EXPECT_EQ(U16(sink.m_Datagrams[3], 16 + TrackRecord::OffsetPosition), 88);
    EXPECT_EQ(U32(sink.m_Datagrams[3], 16 + TrackRecord::OffsetIdLow), 188u);

    const Bytes& trailer = sink.m_Datagrams[4];
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetByteCount), 2880u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetCentroidCount), 90u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetTracking), 8u);
}

TEST(CentroidStream, StepwiseFramesAndTheSyntheticTrailer)
{
    VRecordingSink sink;
    VCentroidStreamWriter writer;
    EXPECT_FALSE(writer.AddCentroid(1, 2, 3, 4)) << "no frame begun";
    EXPECT_EQ(writer.EndFrame({}), 0u);

    // The synthetic generator: its fourth value is 100 and offset 20 stays 0.
    writer.BeginFrame(sink);
    EXPECT_TRUE(writer.AddCentroid(92.0, 51.0, 9.0, 100.0));
    EXPECT_TRUE(writer.AddTrack(0, ICentroidTrackData{}));
    EXPECT_FALSE(writer.AddCentroid(1, 2, 3, 4)) << "centroids after tracks would mix them";
    CentroidFrameInfo info;
    info.DeviceId = 7;
    info.FrameNumber = 5;
    info.PreviousFrame = 4;
    EXPECT_EQ(writer.EndFrame(info), 16u + 16u + 36u);
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{16, 16, 36}));
    EXPECT_EQ(U16(sink.m_Datagrams[0], CentroidRecord::OffsetFraction), 25600);
    EXPECT_EQ(U32(sink.m_Datagrams[2], FrameTrailer::OffsetByteCount), 32u);
    EXPECT_EQ(U32(sink.m_Datagrams[2], FrameTrailer::OffsetCentroidCount), 0u);
    EXPECT_EQ(writer.GetCentroidCount(), 1u);
    EXPECT_EQ(writer.GetTrackCount(), 1u);
}

TEST(CentroidStream, DroppedDatagramsAreLeftOutOfTheSentBytesOnly)
{
    VRecordingSink sink;
    sink.m_FailAt = {0};
    VCentroidStreamWriter writer;
    const std::uint32_t sent = writer.SendFrame(sink, Centroids(100), {}, TrialInfo(false));
    EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{208, 36}));
    EXPECT_EQ(sent, 208u + 36u);
    // The trailer still describes the whole frame.
    EXPECT_EQ(U32(sink.m_Datagrams[1], FrameTrailer::OffsetByteCount), 1600u);
}

TEST(PreparedStream, CutsThePartBeforeTheTrailerIntoPieces)
{
    const auto run = [](std::size_t bodyLength)
    {
        Bytes bytes(bodyLength + FrameTrailer::Size);
        std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
        VRecordingSink sink;
        const std::uint32_t sent = PreparedStream::Send(sink, bytes.data(), bytes.size());
        // Whatever the cut, the datagrams put together give the string back.
        Bytes joined;
        for (const Bytes& datagram : sink.m_Datagrams)
            joined.insert(joined.end(), datagram.begin(), datagram.end());
        EXPECT_EQ(joined, bytes);
        EXPECT_EQ(sent, bytes.size());
        return sink.Sizes();
    };
    using Sizes = std::vector<std::size_t>;
    EXPECT_EQ(run(0), (Sizes{36})) << "only the trailer";
    EXPECT_EQ(run(100), (Sizes{100, 36}));
    EXPECT_EQ(run(3000), (Sizes{1400, 1400, 200, 36})) << "records may be split";
    EXPECT_EQ(run(2800), (Sizes{1400, 1400, 0, 36})) << "a whole multiple ends with length 0";

    // Shorter than a trailer: not a prepared stream, nothing goes out.
    VRecordingSink sink;
    const Bytes stub(35);
    EXPECT_EQ(PreparedStream::Send(sink, stub.data(), stub.size()), 0u);
    EXPECT_EQ(PreparedStream::Send(sink, nullptr, 100), 0u);
    EXPECT_TRUE(sink.m_Datagrams.empty());
}
