// Comparison of trials: every kind of frame item is looked at, header differences are
// named, and container-only differences are notes.
#include "tsmtrial/VTrialDiff.h"
#include "tsmtrial/VX2DTrialGenerator.h"
#include "tsmtrial/VX2DTrialReader.h"

#include "TsmtrialTestSupport.h"

#include <gtest/gtest.h>

namespace
{

VTrialFrame CameraFrame()
{
    VTrialFrame frame;
    frame.FrameNumber = 7;
    frame.Ok = true;
    VTrialCameraFrame camera;
    camera.Name = "zt:1";
    camera.CameraValue = 2.5;
    camera.Centroids = {{10.0, 20.0, 3.0, 0.5}, {30.0, 40.0, 4.0, 0.25}};
    camera.Tracks = {{1, 5, 0.25f}, {2, 1, 0.05f}};
    camera.Blobs = {{1, {{9, 19, {1, 2, 3}}, {8, 20, {4, 5}}}}};
    camera.Edges = {{9, 19, 12}, {8, 20, 10}};
    camera.InfoByte = 2;
    frame.Cameras = {camera, camera};
    frame.Cameras[1].Name = "zt:2";
    return frame;
}

} // namespace

TEST(TrialDiff, FindsTheFirstDifferenceOfEveryItemKind)
{
    const VTrialFrame base = CameraFrame();
    EXPECT_EQ(VTrialDiff::CompareFrames(base, base), "");

    const auto differs = [&](auto change, const std::string& expected)
    {
        VTrialFrame changed = base;
        change(changed);
        EXPECT_EQ(VTrialDiff::CompareFrames(base, changed), expected);
    };
    differs([](VTrialFrame& f) { f.FrameNumber = 8; }, "frame number: 7 vs 8");
    differs([](VTrialFrame& f) { f.Ok = false; }, "read result: ok vs failed");
    differs([](VTrialFrame& f) { f.Cameras.pop_back(); }, "number of cameras: 2 vs 1");
    differs([](VTrialFrame& f) { f.Cameras[1].Name = "zt:9"; },
            "camera 1 (zt:2): name: zt:2 vs zt:9");
    differs([](VTrialFrame& f) { f.Cameras[0].CameraValue = 3.0; },
            "camera 0 (zt:1): camera value: 2.5 vs 3");
    differs([](VTrialFrame& f) { f.Cameras[0].InfoByte = 9; },
            "camera 0 (zt:1): info byte: 2 vs 9");
    differs([](VTrialFrame& f) { f.Cameras[1].Centroids[1].Y = 40.5; },
            "camera 1 (zt:2): centroid 1 y: 40 vs 40.5");
    differs([](VTrialFrame& f) { f.Cameras[0].Centroids[0].Fraction = 0.75; },
            "camera 0 (zt:1): centroid 0 fraction: 0.5 vs 0.75");
    differs([](VTrialFrame& f) { f.Cameras[0].Centroids.pop_back(); },
            "camera 0 (zt:1): number of centroids: 2 vs 1");
    differs([](VTrialFrame& f) { f.Cameras[0].Tracks[1].Id = 3; },
            "camera 0 (zt:1): track 1 id: 2 vs 3");
    differs([](VTrialFrame& f) { f.Cameras[0].Tracks[0].Length = 6; },
            "camera 0 (zt:1): track 0 length: 5 vs 6");
    differs([](VTrialFrame& f) { f.Cameras[0].Tracks[1].Confidence = 0.1f; },
            "camera 0 (zt:1): track 1 confidence: 0.05 vs 0.1");
    differs([](VTrialFrame& f) { f.Cameras[0].Blobs[0].Flag = 0; },
            "camera 0 (zt:1): blob 0 flag: 1 vs 0");
    differs([](VTrialFrame& f) { f.Cameras[0].Blobs[0].Lines[1].Line = 21; },
            "camera 0 (zt:1): blob 0 line 1 line: 20 vs 21");
    differs([](VTrialFrame& f) { f.Cameras[0].Blobs[0].Lines[0].Pixels[2] = 7; },
            "camera 0 (zt:1): blob 0 line 0 pixel 2: 3 vs 7");
    differs([](VTrialFrame& f) { f.Cameras[0].Blobs[0].Lines[0].Pixels.push_back(1); },
            "camera 0 (zt:1): blob 0 line 0 pixel count: 3 vs 4");
    differs([](VTrialFrame& f) { f.Cameras[0].Edges[1].Coord2 = 11; },
            "camera 0 (zt:1): edge 1 c2: 10 vs 11");

    // Analogue devices: block count, size and bytes.
    VTrialFrame analogue;
    analogue.Devices = {{"analogue:0", {{1, 2, 3}, {}}}};
    EXPECT_EQ(VTrialDiff::CompareFrames(analogue, analogue), "");
    VTrialFrame changed = analogue;
    changed.Devices[0].Blocks[0][1] = 9;
    EXPECT_EQ(VTrialDiff::CompareFrames(analogue, changed), "device 0: block 0 byte 1: 2 vs 9");
    changed = analogue;
    changed.Devices[0].Blocks[1].push_back(0);
    EXPECT_EQ(VTrialDiff::CompareFrames(analogue, changed), "device 0: block 1 size: 0 vs 1");
}

TEST(TrialDiff, NamesHeaderDifferencesAndKeepsContainerOnesAsNotes)
{
    VTrialInfo a;
    a.Version = 3;
    a.DeviceCount = 2;
    a.FrameCount = 10;
    a.FrameRate = 100.0;
    a.StartTimecodeText = "10 0 0 0 0 0 0 4";
    a.Formats = {{0xDFAA, 5}};
    CameraInfoRecord camera;
    camera.CameraId = 1;
    camera.TypeName = "Zt-M4";
    a.Cameras = {camera, camera};

    std::vector<std::string> notes;
    EXPECT_TRUE(VTrialDiff::CompareInfo(a, a, notes).empty());
    EXPECT_TRUE(notes.empty());

    VTrialInfo b = a;
    b.Version = 2;
    b.Formats = {{0xDFAA, 4}};
    EXPECT_TRUE(VTrialDiff::CompareInfo(a, b, notes).empty());
    EXPECT_EQ(notes, (std::vector<std::string>{"version: 3 vs 2", "header formats differ"}));

    b = a;
    b.FrameCount = 11;
    b.FrameRate = 120.0;
    b.Cameras[1].TypeName = "CellF";
    b.StartTimecodeText.clear();
    notes.clear();
    EXPECT_EQ(VTrialDiff::CompareInfo(a, b, notes),
              (std::vector<std::string>{"frames: 10 vs 11", "frame rate: 100 vs 120",
                                        "start timecode: 10 0 0 0 0 0 0 4 vs (none)",
                                        "camera 1 type: Zt-M4 vs CellF"}));

    b = a;
    b.Kind = TrialKind::X1D;
    EXPECT_EQ(VTrialDiff::CompareInfo(a, b, notes), std::vector<std::string>{"kind: x2d vs x1d"});
}

TEST(TrialDiff, StopsAtTheFrameWithTheMovedCentroid)
{
    testsupport::VTempDir dir;
    VX2DGeneratorSettings settings;
    settings.Frames = 40;
    std::string error;
    const std::string original = dir.File("original.x2d");
    ASSERT_TRUE(WriteX2DTrial(original, settings, error)) << error;
    const std::string moved = dir.File("moved.x2d");
    ASSERT_TRUE(TsmtrialTest::CopyX2DWithMovedCentroid(original, moved, 23, 2, 1, 0.5));

    VX2DTrialReader a(original);
    VX2DTrialReader b(moved);
    const VTrialDiffResult result = VTrialDiff::Compare(a, b);
    EXPECT_FALSE(result.IsEqual());
    EXPECT_TRUE(result.HeaderDifferences.empty());
    ASSERT_TRUE(result.FirstFrameIndex.has_value());
    EXPECT_EQ(*result.FirstFrameIndex, 23u);
    EXPECT_EQ(result.FramesCompared, 24u);
    EXPECT_EQ(result.FrameDifference.rfind("camera 2 (zt:3): centroid 1 x: ", 0), 0u)
        << result.FrameDifference;
}
