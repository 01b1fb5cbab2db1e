// Comparison of a trial with a recording of its replay: the wire's fixed point, tracks only
// where recorded, blobs without segments, protocol-2 line order, wraps sent empty, and the
// mapping of frame numbers onto the trial.
#include "tsmtrial/VReplayDiff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

namespace
{

/// Frames held in memory, for both sides of a comparison.
class VMemoryTrialReader : public ITrialReader
{
public:
    VMemoryTrialReader(std::vector<CameraInfoRecord> cameras, std::vector<VTrialFrame> frames)
        : m_Frames(std::move(frames))
    {
        m_Info.Opened = true;
        m_Info.Cameras = std::move(cameras);
        m_Info.FrameCount = static_cast<std::uint32_t>(m_Frames.size());
    }
    TrialKind GetKind() const override { return TrialKind::X2D; }
    bool IsOpen() const override { return true; }
    VTrialInfo GetInfo() const override { return m_Info; }
    std::uint32_t GetFrameCount() const override
    {
        return static_cast<std::uint32_t>(m_Frames.size());
    }
    bool ReadFrame(std::uint32_t index, VTrialFrame& frame) override
    {
        if (index >= m_Frames.size())
            return false;
        frame = m_Frames[index];
        return true;
    }
    const std::vector<std::string>& GetErrors() const override { return m_Errors; }

private:
    VTrialInfo m_Info;
    std::vector<VTrialFrame> m_Frames;
    std::vector<std::string> m_Errors;
};

CameraInfoRecord Camera(std::uint32_t id, const std::string& type = "Zt-M4")
{
    CameraInfoRecord camera;
    camera.CameraId = id;
    camera.TypeName = type;
    return camera;
}

/// A source camera frame of trial frame `index`: values that the wire cuts short.
VTrialCameraFrame SourceCamera(std::uint32_t index)
{
    VTrialCameraFrame camera;
    camera.Centroids = {{10.5 + index + 1.0 / 1024, 3.25, 2.003, 0.7}, {20.0, 30.0, 1.5, 0.2}};
    camera.Tracks = {{1, 70000, 0.3f}, {2, 3, 1.0f}};
    camera.Blobs = {{0, {{9, 19, {1, 2, 3}}}}, {1, {}}, {1, {{8, 5, {4}}, {7, 6, {5}}}}};
    camera.Edges = {{9, 19, 12}, {8, 5, 9}};
    return camera;
}

/// What a protocol-1 camera's stream carries of `source`, as a recording stores it.
VTrialCameraFrame OverTheWire(const VTrialCameraFrame& source, bool withTracks)
{
    VTrialCameraFrame camera;
    for (const ICentroidData& c : source.Centroids)
        camera.Centroids.push_back({std::trunc(c.X * 256) / 256, std::trunc(c.Y * 256) / 256,
                                    std::trunc(c.Radius * 256) / 256,
                                    std::trunc(c.Fraction * 256) / 256});
    if (withTracks)
    {
        for (const ICentroidTrackData& t : source.Tracks)
            camera.Tracks.push_back(
                {t.Id, t.Length & 0xFFFFu,
                 static_cast<float>(std::trunc(t.Confidence * 65535.0) / 65535.0)});
    }
    for (const VTrialBlob& blob : source.Blobs)
    {
        if (!blob.Lines.empty())
            camera.Blobs.push_back(blob);
    }
    camera.Edges = source.Edges;
    return camera;
}

VTrialFrame Frame(std::uint32_t number, std::vector<VTrialCameraFrame> cameras)
{
    VTrialFrame frame;
    frame.FrameNumber = number;
    frame.Ok = true;
    frame.Cameras = std::move(cameras);
    return frame;
}

} // namespace

TEST(ReplayDiff, ComparesWhatTheWireCarries)
{
    const VTrialCameraFrame source = SourceCamera(3);
    VTrialCameraFrame received = OverTheWire(source, false);
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false), "");
    // Tracks count only where the recording has them, then to the wire's precision.
    received = OverTheWire(source, true);
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false), "");
    received.Tracks[0].Confidence += 1.0f / 65535.0f;
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false),
              "track 0 confidence: 19660 vs 19661 (1/65535)");

    received = OverTheWire(source, false);
    received.Centroids[0].X += 1.0 / 256;
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false),
              "centroid 0 x: 3456 vs 3457 (1/256)");
    received = OverTheWire(source, false);
    received.Blobs[1].Flag = 0;
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false), "blob 1 flag: 1 vs 0");
    received = OverTheWire(source, false);
    received.Blobs[0].Lines[0].Pixels[1] = 9;
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false),
              "blob 0 segment 0 pixels differ");
    received = OverTheWire(source, false);
    received.Edges.pop_back();
    EXPECT_EQ(VReplayDiff::CompareCamera(source, received, false), "number of edges: 2 vs 1");

    // Protocol 2: no blobs on the wire, segments and edges in line-then-column order.
    VTrialCameraFrame lineOrdered = OverTheWire(source, false);
    lineOrdered.Blobs = {{0, {{8, 5, {4}}}}, {0, {{7, 6, {5}}}}, {0, {{9, 19, {1, 2, 3}}}}};
    lineOrdered.Edges = {{8, 5, 9}, {9, 19, 12}};
    EXPECT_EQ(VReplayDiff::CompareCamera(source, lineOrdered, true), "");
    EXPECT_NE(VReplayDiff::CompareCamera(source, lineOrdered, false), "");
    EXPECT_TRUE(VReplayDiff::IsLineOrderedGreyscale("WREN_2_VIDEO_1MP_C"));
    EXPECT_FALSE(VReplayDiff::IsLineOrderedGreyscale("Zt-M4"));
}

TEST(ReplayDiff, MapsFrameNumbersOntoTheTrialAndSkipsWraps)
{
    // A trial of 10 frames and two cameras; the recording of frames 5 to 27 went through
    // two wraps (frames 10 and 20), which the replay sent empty.
    std::vector<VTrialFrame> trial;
    for (std::uint32_t i = 0; i < 10; ++i)
        trial.push_back(Frame(100 + i, {SourceCamera(i), SourceCamera(i + 50)}));
    std::vector<VTrialFrame> recording;
    for (std::uint32_t n = 5; n <= 27; ++n)
    {
        const std::uint32_t i = n % 10;
        if (i == 0)
            recording.push_back(Frame(n, {VTrialCameraFrame{}}));
        else
            recording.push_back(Frame(n, {OverTheWire(SourceCamera(i + 50), false)}));
    }
    VMemoryTrialReader source({Camera(1), Camera(2)}, trial);
    // Only the second camera was recorded.
    VMemoryTrialReader recorded({Camera(2)}, recording);
    VReplayDiffResult result = VReplayDiff::Compare(source, recorded);
    EXPECT_TRUE(result.IsEqual()) << result.FirstDifference;
    EXPECT_EQ(result.FramesRecorded, 23u);
    EXPECT_EQ(result.FramesCompared, 21u);
    EXPECT_EQ(result.FramesSkipped, 2u);
    EXPECT_EQ(result.Notes, std::vector<std::string>{"source camera 1 was not recorded"});

    // A frame empty where the replay does not wrap is a difference, not a skip.
    recording[3].Cameras[0] = VTrialCameraFrame{};
    VMemoryTrialReader gap({Camera(2)}, recording);
    result = VReplayDiff::Compare(source, gap);
    EXPECT_FALSE(result.IsEqual());
    EXPECT_EQ(result.FramesDifferent, 1u);
    ASSERT_TRUE(result.FirstIndex);
    EXPECT_EQ(*result.FirstIndex, 3u);
    EXPECT_EQ(result.FirstFrameNumber, 8u);
    EXPECT_EQ(result.FirstSourceIndex, 8u);
    EXPECT_EQ(result.FirstDifference, "camera 2: number of centroids: 2 vs 0");

    // A recorded camera the trial does not have: nothing is compared.
    VMemoryTrialReader stranger({Camera(9)}, recording);
    result = VReplayDiff::Compare(source, stranger);
    EXPECT_FALSE(result.IsEqual());
    EXPECT_EQ(result.Problems,
              std::vector<std::string>{"recorded camera 9 is not in the source trial"});

    // The report and exit status of "tsmtrial diff --replay".
    std::ostringstream out;
    std::ostringstream err;
    const VTsmtrialConsole console{out, err};
    VMemoryTrialReader recordedAgain(
        {Camera(2)}, std::vector<VTrialFrame>(recording.begin(), recording.begin() + 3));
    EXPECT_EQ(RunReplayDiff(source, recordedAgain, "trial.x2d", "rec.x2d", console),
              Tsmtrial::kExitOk);
    EXPECT_EQ(out.str(), "Note: source camera 1 was not recorded\n"
                         "3 recorded frames: 3 compared, 0 skipped (sent empty at a wrap of the "
                         "replay), 0 different.\n"
                         "The recording matches the replay of trial.x2d.\n");
}
