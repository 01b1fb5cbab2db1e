#include "SourceTestSupport.h"
#include "sources/VFakeSourceCentroidX2D.h"
#include "sources/VFakeSourceGreyscaleX2D.h"

#include <gtest/gtest.h>

using namespace SourceTest;
using ETrackingMode = VFakeSourceCentroidX2D::ETrackingMode;

namespace
{
constexpr std::uint32_t kDeviceId = 7001;
constexpr std::uint64_t kFirstId = 0x8000000000000000ull;

/// One centroid frame as it arrived.
struct VCentroidFrameOnWire
{
    std::vector<VCentroidFields> Centroids;
    std::vector<VTrackFields> Tracks;
    VTrailer Trailer;
    std::uint32_t Bytes = 0;
    std::size_t Datagrams = 0;
};

VCentroidFrameOnWire SendCentroids(VFakeSource& source, VLoopbackReceiver& hal, std::uint32_t frame,
                                   std::uint32_t previous)
{
    VCentroidFrameOnWire result;
    result.Bytes = 777;
    source.SendFrame(frame, previous, result.Bytes);
    const std::vector<Datagram> datagrams = hal.ReceiveFrame(frame);
    result.Datagrams = datagrams.size();
    if (!datagrams.empty())
    {
        EXPECT_EQ(datagrams.back().size(), 36u) << "the trailer travels alone";
        result.Trailer = DecodeTrailer(datagrams.back());
        DecodeRecords(datagrams, result.Centroids, result.Tracks);
    }
    return result;
}

/// The centroids of trial frame k, camera c, as FillTrialFrame wrote them.
void ExpectTrialCentroids(const std::vector<VCentroidFields>& centroids, std::uint32_t k,
                          std::uint32_t c = 0)
{
    ASSERT_EQ(centroids.size(), 1 + (k + c) % 3) << "trial frame " << k;
    for (std::uint32_t i = 0; i < centroids.size(); ++i)
    {
        EXPECT_EQ(centroids[i].X, static_cast<std::int32_t>((100.5 + k + 40.0 * i) * 256));
        EXPECT_EQ(centroids[i].Y, static_cast<std::int32_t>((20.25 + c) * 256));
        EXPECT_EQ(centroids[i].Radius, 512);
        EXPECT_EQ(centroids[i].Fraction, 128);
    }
}

/// The file's tracks of trial frame k.
void ExpectFileTracks(const std::vector<VTrackFields>& tracks, std::uint32_t k)
{
    ASSERT_EQ(tracks.size(), 1 + k % 3) << "trial frame " << k;
    for (std::uint32_t i = 0; i < tracks.size(); ++i)
    {
        EXPECT_EQ(tracks[i].Position, i);
        EXPECT_EQ(tracks[i].Id, 1000u * k + i);
        EXPECT_EQ(tracks[i].Length, k + 1);
        EXPECT_EQ(tracks[i].Confidence, 32767);
    }
}
} // namespace

TEST(X2DCentroidSource, MapsSystemFramesOntoTheTrialAndSkipsWraps)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 100);
    ASSERT_NE(trial, nullptr);
    VLoopbackReceiver hal;
    VFakeSourceCentroidX2D source(hal.Target(kDeviceId), trial, 0);
    EXPECT_EQ(source.GetTrackingMode(), ETrackingMode::Off);

    // Tracking off: system frame 250 replays trial frame 50, with its centroid count in the
    // trailer and no tracks.
    VCentroidFrameOnWire f = SendCentroids(source, hal, 250, 249);
    ExpectTrialCentroids(f.Centroids, 50);
    EXPECT_TRUE(f.Tracks.empty());
    EXPECT_EQ(f.Trailer.StreamKind, 2u);
    EXPECT_EQ(f.Trailer.DeviceId, kDeviceId);
    EXPECT_EQ(f.Trailer.FrameNumber, 250u);
    EXPECT_EQ(f.Trailer.PreviousFrame, 249u);
    EXPECT_EQ(f.Trailer.CentroidCount, 3u);
    EXPECT_EQ(f.Trailer.ByteCount, 48u);
    EXPECT_EQ(f.Trailer.Tracking, 0u);
    EXPECT_EQ(f.Bytes, 48u + 36);

    // 300 after 299 goes back to trial frame 0: a wrap, sent without centroids.
    f = SendCentroids(source, hal, 300, 299);
    EXPECT_TRUE(f.Centroids.empty());
    EXPECT_EQ(f.Trailer.CentroidCount, 0u);
    EXPECT_EQ(f.Trailer.ByteCount, 0u);
    EXPECT_EQ(f.Datagrams, 1u);
    f = SendCentroids(source, hal, 301, 300);
    ExpectTrialCentroids(f.Centroids, 1);

    // Generate: the same wrap sends neither centroids nor tracks, but says tracking is on.
    source.SetTrackingMode(ETrackingMode::Generate);
    f = SendCentroids(source, hal, 300, 299);
    EXPECT_TRUE(f.Centroids.empty());
    EXPECT_TRUE(f.Tracks.empty());
    EXPECT_EQ(f.Trailer.Tracking, 8u);

    // Read: the wrap still sends trial frame 0's centroids, and the file's tracks.
    source.SetTrackingMode(ETrackingMode::Read);
    f = SendCentroids(source, hal, 300, 299);
    ExpectTrialCentroids(f.Centroids, 0);
    ExpectFileTracks(f.Tracks, 0);
    EXPECT_EQ(f.Trailer.CentroidCount, 1u);
    EXPECT_EQ(f.Trailer.ByteCount, 32u);
    EXPECT_EQ(f.Trailer.Tracking, 8u);
    f = SendCentroids(source, hal, 302, 301);
    ExpectTrialCentroids(f.Centroids, 2);
    ExpectFileTracks(f.Tracks, 2);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(X2DCentroidSource, GeneratedTracksAndTheirResets)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 100);
    ASSERT_NE(trial, nullptr);
    VLoopbackReceiver hal;
    VFakeSourceCentroidX2D source(hal.Target(kDeviceId), trial, 0);
    EXPECT_EQ(source.GetResetCount(), 1u);
    source.SetTrackingMode(ETrackingMode::Generate);
    EXPECT_EQ(source.GetResetCount(), 2u);
    source.SetTrackingMode(ETrackingMode::Generate); // unchanged: no reset
    EXPECT_EQ(source.GetResetCount(), 2u);
    EXPECT_EQ(source.GetTracker()->GetName(), "zt:7001");

    // Trial frame 10 has two centroids: two new tracks. Frame 11 moves them by one pixel and
    // adds a third: the first two keep their ids, now seen twice.
    VCentroidFrameOnWire f = SendCentroids(source, hal, 10, 9);
    ExpectTrialCentroids(f.Centroids, 10);
    ASSERT_EQ(f.Tracks.size(), 2u);
    EXPECT_EQ(f.Tracks[0].Id, kFirstId);
    EXPECT_EQ(f.Tracks[1].Id, kFirstId + 1);
    EXPECT_EQ(f.Tracks[1].Position, 1);
    EXPECT_EQ(f.Tracks[0].Length, 1);
    EXPECT_EQ(f.Tracks[0].Confidence, 0);
    EXPECT_EQ(f.Trailer.Tracking, 8u);
    EXPECT_EQ(f.Bytes, 4u * 16 + 36);

    f = SendCentroids(source, hal, 11, 10);
    ASSERT_EQ(f.Tracks.size(), 3u);
    EXPECT_EQ(f.Tracks[0].Id, kFirstId);
    EXPECT_EQ(f.Tracks[0].Length, 2);
    EXPECT_EQ(f.Tracks[1].Id, kFirstId + 1);
    EXPECT_EQ(f.Tracks[2].Id, kFirstId + 2);
    EXPECT_EQ(f.Tracks[2].Length, 1);

    // Switching "Tracking" to Read and back resets the tracker before the next frame: ids
    // start again and every track is new.
    const auto tracker = source.GetTracker();
    source.SetTrackingMode(ETrackingMode::Read);
    EXPECT_NE(source.GetTracker(), tracker);
    EXPECT_EQ(source.GetResetCount(), 3u);
    source.SetTrackingMode(ETrackingMode::Generate);
    f = SendCentroids(source, hal, 12, 11);
    ASSERT_EQ(f.Tracks.size(), 1u);
    EXPECT_EQ(f.Tracks[0].Id, kFirstId);
    EXPECT_EQ(f.Tracks[0].Length, 1);
    f = SendCentroids(source, hal, 13, 12);
    ASSERT_EQ(f.Tracks.size(), 2u);
    EXPECT_EQ(f.Tracks[0].Id, kFirstId);
    EXPECT_EQ(f.Tracks[0].Length, 2);

    // The same frame number twice (a "setframe" to the current number): the second is an
    // empty frame and the tracker starts again; so it does after a step backwards.
    const std::uint64_t resets = source.GetResetCount();
    f = SendCentroids(source, hal, 13, 13);
    EXPECT_TRUE(f.Centroids.empty());
    EXPECT_TRUE(f.Tracks.empty());
    EXPECT_EQ(source.GetResetCount(), resets + 1);
    f = SendCentroids(source, hal, 14, 13);
    ExpectTrialCentroids(f.Centroids, 14);
    ASSERT_EQ(f.Tracks.size(), 3u);
    EXPECT_EQ(f.Tracks[0].Id, kFirstId);
    EXPECT_EQ(f.Tracks[0].Length, 1);
    f = SendCentroids(source, hal, 5, 14);
    EXPECT_TRUE(f.Centroids.empty());
    EXPECT_EQ(source.GetResetCount(), resets + 2);

    // A wrap in Generate calls no tracker: the tracks of frame 99 continue at frame 1 of the
    // next round only when the centroids are near; here they are 98 pixels away, so new ids
    // follow on from those already given out.
    f = SendCentroids(source, hal, 199, 198);
    ASSERT_EQ(f.Tracks.size(), 1u);
    const std::uint64_t lastId = f.Tracks[0].Id;
    f = SendCentroids(source, hal, 200, 199);
    EXPECT_TRUE(f.Tracks.empty());
    f = SendCentroids(source, hal, 201, 200);
    ASSERT_EQ(f.Tracks.size(), 2u);
    EXPECT_GT(f.Tracks[0].Id, lastId);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(X2DCentroidSource, TrialsWithoutFramesOrCameraSendTrailersAlone)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> empty = MakeTrial(dir, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->GetFrameCount(), 0u);
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 4);
    VLoopbackReceiver hal;

    VFakeSourceCentroidX2D noFrames(hal.Target(kDeviceId), empty, 0);
    VFakeSourceCentroidX2D noCamera(hal.Target(kDeviceId), trial, 5);
    VFakeSourceCentroidX2D noTrial(hal.Target(kDeviceId), nullptr, 0);
    for (VFakeSourceCentroidX2D* source : {&noFrames, &noCamera, &noTrial})
    {
        for (ETrackingMode mode :
             {ETrackingMode::Off, ETrackingMode::Generate, ETrackingMode::Read})
        {
            source->SetTrackingMode(mode);
            for (std::uint32_t frame = 1; frame <= 3; ++frame)
            {
                const VCentroidFrameOnWire f = SendCentroids(*source, hal, frame, frame - 1);
                EXPECT_EQ(f.Datagrams, 1u);
                EXPECT_TRUE(f.Centroids.empty());
                EXPECT_EQ(f.Trailer.ByteCount, 0u);
                EXPECT_EQ(f.Trailer.Tracking, mode == ETrackingMode::Off ? 0u : 8u);
                EXPECT_EQ(f.Bytes, 36u);
            }
        }
    }
    EXPECT_TRUE(hal.IsDrained());
}

TEST(X2DCentroidSource, TrackingModeTexts)
{
    EXPECT_EQ(VFakeSourceCentroidX2D::TrackingModeFromText("Off"), ETrackingMode::Off);
    EXPECT_EQ(VFakeSourceCentroidX2D::TrackingModeFromText("Generate"), ETrackingMode::Generate);
    EXPECT_EQ(VFakeSourceCentroidX2D::TrackingModeFromText("Read"), ETrackingMode::Read);
    EXPECT_FALSE(VFakeSourceCentroidX2D::TrackingModeFromText("read"));
    EXPECT_FALSE(VFakeSourceCentroidX2D::TrackingModeFromText(""));
}

namespace
{
/// The camera parameters the greyscale source reads.
void SetGreyscaleParams(VParamTable& params, int protocol)
{
    params.Set("GreyMode", "all");
    params.Set("CoordMode", "all");
    params.Set("ProtocolVersion", protocol);
    params.Set("Threshold", 300);
    params.Set("MinRatio", 7);
    params.Set("MaxPixelsPerLine", 9);
    params.Set("SystemFrameRate", "100");
}

/// Bytes of the protocol-1 items of trial frame k (FillTrialFrame): the blob's two segments
/// with their blob word, then the two edges.
std::vector<std::uint8_t> Protocol1Items(std::uint32_t k, bool segments, bool edges)
{
    std::vector<std::uint8_t> bytes;
    auto put16 = [&](std::uint32_t value)
    {
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    if (segments)
    {
        put16(0x8000); // blob 0, flag 1
        put16(4);
        put16(k);
        put16(3);
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(k), 7, 9});
        put16(0x8000);
        put16(5);
        put16(k + 1);
        put16(2);
        bytes.insert(bytes.end(), {static_cast<std::uint8_t>(k), 7});
    }
    if (edges)
    {
        for (std::uint32_t line : {3u, 6u})
        {
            put16(0xC002);
            put16(line);
            put16(k);
            put16(line == 3 ? 11 : 12);
        }
    }
    return bytes;
}
} // namespace

TEST(X2DGreyscaleSource, Protocol1FramesAndTheirEncodings)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 100);
    ASSERT_NE(trial, nullptr);
    VLoopbackReceiver hal;
    VParamTable params;
    SetGreyscaleParams(params, 1);
    VFakeSourceGreyscaleX2D source(params, hal.Target(kDeviceId), trial, 0);

    struct Case
    {
        const char* What;
        const char* GreyMode;
        const char* CoordMode;
        std::uint32_t Frame;
        std::uint32_t Previous;
        bool Segments;
        bool Edges;
    };
    const Case cases[] = {
        {"system frame 251 replays trial frame 51", "all", "all", 251, 250, true, true},
        {"no greyscale", "none", "all", 252, 251, false, true},
        {"no edges", "some", "none", 253, 252, true, false},
        {"a wrap sends no data", "all", "all", 300, 299, false, false},
        {"a repeated frame sends no data", "all", "all", 301, 301, false, false},
        {"a backward frame sends no data", "all", "all", 250, 301, false, false},
        {"a skip within the trial sends data", "all", "all", 260, 250, true, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.What);
        params.Set("GreyMode", c.GreyMode);
        params.Set("CoordMode", c.CoordMode);
        std::uint32_t bytes = 0;
        source.SendFrame(c.Frame, c.Previous, bytes);
        const std::vector<Datagram> datagrams = hal.ReceiveFrame(c.Frame);
        ASSERT_EQ(datagrams.size(), 1u); // items and trailer share one datagram
        const Datagram& datagram = datagrams[0];
        const std::vector<std::uint8_t> items = Protocol1Items(c.Frame % 100, c.Segments, c.Edges);
        ASSERT_EQ(datagram.size(), items.size() + 36);
        EXPECT_TRUE(std::equal(items.begin(), items.end(), datagram.begin()));
        const VTrailer trailer = DecodeTrailer(datagram);
        EXPECT_EQ(trailer.StreamKind, 0x00010002u);
        EXPECT_EQ(trailer.DeviceId, kDeviceId);
        EXPECT_EQ(trailer.ByteCount, items.size());
        EXPECT_EQ(trailer.PreviousFrame, c.Previous);
        EXPECT_EQ(bytes, datagram.size());
    }
    EXPECT_TRUE(hal.IsDrained());
}

TEST(X2DGreyscaleSource, Protocol2SourceSendsToThePortItIsGiven)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 100);
    ASSERT_NE(trial, nullptr);
    // The camera passes its data port + 5000; the source sends exactly where it is aimed.
    VLoopbackReceiver hal;
    VParamTable params;
    SetGreyscaleParams(params, 2);
    VFakeSourceGreyscaleX2D source(params, hal.Target(kDeviceId), trial, 0);
    EXPECT_EQ(source.GetDestinationPort(), hal.GetPort());

    std::uint32_t bytes = 0;
    source.SendFrame(251, 250, bytes);
    const std::vector<Datagram> datagrams = hal.ReceiveFrame(251);
    ASSERT_EQ(datagrams.size(), 1u);
    const Datagram& d = datagrams[0];
    // Header: index 0, frame, payload 0 so far, device, clock, 1350000 ticks kept to 16 bits,
    // previous - frame = 0xFFFF, last-datagram flag.
    ASSERT_GE(d.size(), 32u + 16 + 36);
    EXPECT_EQ(LittleEndian::LoadU16(d.data()), 0xC009);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 2), 0);
    EXPECT_EQ(LittleEndian::LoadU32(d.data() + 4), 251u);
    EXPECT_EQ(LittleEndian::LoadU32(d.data() + 12), kDeviceId);
    EXPECT_EQ(LittleEndian::LoadU32(d.data() + 16), 135000000u);
    EXPECT_EQ(LittleEndian::LoadU32(d.data() + 20), 39280u);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 26), 0xFFFF);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 30) & 1, 1);
    // Settings item: threshold 300, ratio 7, pixels 9, flags of "all".
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 32), 0xE001);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 36), 300);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 38), 7);
    EXPECT_EQ(LittleEndian::LoadU16(d.data() + 40), 9);
    EXPECT_EQ(LittleEndian::LoadU32(d.data() + 44), 0x0Eu);
    // Items sorted by line: edge on line 3, segments on lines 4 and 5, edge on line 6.
    const std::uint8_t* item = d.data() + 48;
    EXPECT_EQ(LittleEndian::LoadU16(item), 0xC002);
    EXPECT_EQ(LittleEndian::LoadU16(item + 2), 3);
    item += 8;
    EXPECT_EQ(LittleEndian::LoadU16(item), 0xC008);
    EXPECT_EQ(LittleEndian::LoadU16(item + 2), 4);
    EXPECT_EQ(LittleEndian::LoadU16(item + 4), 51);
    item += 8 + 3;
    EXPECT_EQ(LittleEndian::LoadU16(item), 0xC008);
    EXPECT_EQ(LittleEndian::LoadU16(item + 2), 5);
    item += 8 + 2;
    EXPECT_EQ(LittleEndian::LoadU16(item), 0xC002);
    EXPECT_EQ(LittleEndian::LoadU16(item + 2), 6);
    const VTrailer trailer = DecodeTrailer(d);
    EXPECT_EQ(trailer.ByteCount, 8u + 11 + 10 + 8);
    EXPECT_EQ(bytes, d.size());

    // A repeated frame number: header, settings and trailer only.
    source.SendFrame(251, 251, bytes);
    const std::vector<Datagram> repeated = hal.ReceiveFrame(251);
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated[0].size(), 32u + 16 + 36);
    EXPECT_EQ(DecodeTrailer(repeated[0]).ByteCount, 0u);
    EXPECT_TRUE(hal.IsDrained());
}

TEST(X2DGreyscaleSource, TrialWithoutFramesSendsEmptyFrames)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> empty = MakeTrial(dir, 0);
    ASSERT_NE(empty, nullptr);
    VLoopbackReceiver hal;
    VParamTable params; // no parameters at all: the defaults, protocol 1
    VFakeSourceGreyscaleX2D source(params, hal.Target(kDeviceId), empty, 0);
    for (std::uint32_t frame = 1; frame <= 3; ++frame)
    {
        std::uint32_t bytes = 0;
        source.SendFrame(frame, frame - 1, bytes);
        const std::vector<Datagram> datagrams = hal.ReceiveFrame(frame);
        ASSERT_EQ(datagrams.size(), 1u);
        EXPECT_EQ(datagrams[0].size(), 36u);
        EXPECT_EQ(bytes, 36u);
    }
    EXPECT_TRUE(hal.IsDrained());
}
