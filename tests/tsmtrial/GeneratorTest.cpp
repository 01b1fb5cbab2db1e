// The synthetic trial generators: what they write reads back as generated, the same seed
// gives the same bytes, every version opens, and the scene behaves like a capture.
#include "tsmtrial/VX1DTrialGenerator.h"
#include "tsmtrial/VX1DTrialReader.h"
#include "tsmtrial/VX2DTrialGenerator.h"
#include "tsmtrial/VX2DTrialReader.h"
#include "tsmtrial/VTrialDiff.h"

#include "TsmtrialTestSupport.h"

#include "FileIO/X2DIO/VX1DImport.h"
#include "FileIO/X2DIO/VX2DImport.h"
#include "timecode/VTimecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using testsupport::ReadBytes;
using testsupport::VTempDir;

namespace
{

VX2DGeneratorSettings SmallX2D()
{
    VX2DGeneratorSettings settings;
    settings.Cameras = 3;
    settings.Frames = 120;
    settings.Markers = 12;
    settings.Model = "CellF";
    settings.Seed = 7;
    settings.FirstFrame = 1000;
    return settings;
}

VX1DGeneratorSettings SmallX1D()
{
    VX1DGeneratorSettings settings;
    settings.Devices = 2;
    settings.Channels = 3;
    settings.Frames = 50;
    settings.SampleRate = 1200.0;
    settings.Seed = 5;
    return settings;
}

std::string Write(const VTempDir& dir, const std::string& name,
                  const VX2DGeneratorSettings& settings)
{
    std::string error;
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteX2DTrial(path, settings, error)) << error;
    return path;
}

std::string Write(const VTempDir& dir, const std::string& name,
                  const VX1DGeneratorSettings& settings)
{
    std::string error;
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteX1DTrial(path, settings, error)) << error;
    return path;
}

struct VGeneratedFrames
{
    VCentroidFrame Centroids;
    VCentroidTrackFrame Tracks;
    VGreyscaleBlobFrame Greyscale;
    VEdgePairFrame Edges;
};

} // namespace

TEST(TrialGenerator, WrittenX2DFramesReadBackExactlyAsGenerated)
{
    VTempDir dir;
    const VX2DGeneratorSettings settings = SmallX2D();
    const std::string path = Write(dir, "trial.x2d", settings);

    VX2DTrialReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    ASSERT_EQ(reader.GetFrameCount(), settings.Frames);
    VX2DTrialGenerator generator(settings);
    VGeneratedFrames generated;
    VTrialFrame read;
    for (std::uint32_t i = 0; i < settings.Frames; ++i)
    {
        SCOPED_TRACE("frame index " + std::to_string(i));
        const std::uint32_t number = generator.NextFrame(generated.Centroids, generated.Tracks,
                                                         generated.Greyscale, generated.Edges);
        ASSERT_TRUE(reader.ReadFrame(i, read));
        EXPECT_EQ(read.FrameNumber, 1000 + i);
        const VTrialFrame expected = TsmtrialTest::Snapshot(
            i, number, generated.Centroids, generated.Tracks, generated.Greyscale, generated.Edges);
        ASSERT_EQ(VTrialDiff::CompareFrames(expected, read), "");
        // A direct look at one value, independent of the comparison.
        if (!expected.Cameras[0].Centroids.empty())
        {
            EXPECT_EQ(expected.Cameras[0].Centroids[0].X, read.Cameras[0].Centroids[0].X);
            EXPECT_EQ(expected.Cameras[0].Tracks[0].Confidence,
                      read.Cameras[0].Tracks[0].Confidence);
        }
    }

    // The header describes the cameras of the model.
    const VTrialInfo info = reader.GetInfo();
    ASSERT_EQ(info.Cameras.size(), 3u);
    for (std::uint32_t c = 0; c < 3; ++c)
    {
        EXPECT_EQ(info.Cameras[c].CameraId, c + 1);
        EXPECT_EQ(info.Cameras[c].TypeName, "CellF");
        EXPECT_EQ(info.Cameras[c].SensorWidth, 2344u);
        EXPECT_EQ(info.Cameras[c].SensorHeight, 1728u);
        EXPECT_EQ(info.Cameras[c].CameraValue, generator.GetCameras()[c].CameraValue);
        EXPECT_EQ(info.CameraNames[c], "zt:" + std::to_string(c + 1));
    }
    EXPECT_EQ(info.FrameRate, 100.0);
    EXPECT_EQ(info.StartTimecode, "10:00:00:00(0) [ PAL ]");
    EXPECT_TRUE(info.Errors.empty());
}

TEST(TrialGenerator, CentroidsOnlyTrialsKeepTheCentroidsAndTracksAndDropTheRest)
{
    VTempDir dir;
    VX2DGeneratorSettings full = SmallX2D();
    full.Markers = 40;
    VX2DGeneratorSettings centroidsOnly = full;
    centroidsOnly.CentroidsOnly = true;
    const std::string fullPath = Write(dir, "full.x2d", full);
    const std::string path = Write(dir, "centroids.x2d", centroidsOnly);

    // Only the centroid and track formats, and a far smaller file.
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    const std::vector<VDataFormatInfo>& formats = import.GetImpl().GetFormats();
    ASSERT_EQ(formats.size(), 2u);
    EXPECT_EQ(formats[0].GetFormatId(), 0xDFAA);
    EXPECT_EQ(formats[1].GetFormatId(), 0xDFDD);
    EXPECT_LT(ReadBytes(path).size() * 3, ReadBytes(fullPath).size());

    // Frame by frame: the full trial's centroids and tracks, no blobs, no edges.
    VX2DTrialReader fullReader(fullPath);
    VX2DTrialReader reader(path);
    ASSERT_TRUE(fullReader.IsOpen());
    ASSERT_TRUE(reader.IsOpen());
    VTrialFrame expected;
    VTrialFrame read;
    std::size_t centroids = 0;
    for (std::uint32_t i = 0; i < full.Frames; ++i)
    {
        SCOPED_TRACE("frame index " + std::to_string(i));
        ASSERT_TRUE(fullReader.ReadFrame(i, expected));
        ASSERT_TRUE(reader.ReadFrame(i, read));
        ASSERT_EQ(read.Cameras.size(), expected.Cameras.size());
        for (std::size_t c = 0; c < read.Cameras.size(); ++c)
        {
            expected.Cameras[c].Blobs.clear();
            expected.Cameras[c].Edges.clear();
            expected.Cameras[c].InfoByte = 0;
            EXPECT_TRUE(read.Cameras[c].Blobs.empty());
            EXPECT_TRUE(read.Cameras[c].Edges.empty());
            centroids += read.Cameras[c].Centroids.size();
        }
        ASSERT_EQ(VTrialDiff::CompareFrames(expected, read), "");
    }
    EXPECT_GT(centroids, full.Frames * 3u * 10u);
}

TEST(TrialGenerator, SceneBehavesLikeACapture)
{
    VX2DGeneratorSettings settings;
    settings.Markers = 15;
    VX2DTrialGenerator generator(settings);
    VGeneratedFrames frames;
    // Per camera: track id -> length in the previous frame, and ids that have ended.
    std::vector<std::map<std::int64_t, std::uint32_t>> running(settings.Cameras);
    std::vector<std::set<std::int64_t>> ended(settings.Cameras);
    std::vector<std::map<std::int64_t, ICentroidData>> lastPosition(settings.Cameras);
    for (std::uint32_t i = 0; i < settings.Frames; ++i)
    {
        generator.NextFrame(frames.Centroids, frames.Tracks, frames.Greyscale, frames.Edges);
        for (std::uint32_t c = 0; c < settings.Cameras; ++c)
        {
            const VTrialFrame snapshot = TsmtrialTest::Snapshot(
                i, 0, frames.Centroids, frames.Tracks, frames.Greyscale, frames.Edges);
            const VTrialCameraFrame& camera = snapshot.Cameras[c];
            ASSERT_EQ(camera.Tracks.size(), camera.Centroids.size());
            ASSERT_EQ(camera.Blobs.size(), camera.Centroids.size());
            EXPECT_EQ(camera.InfoByte, camera.Centroids.size());
            std::size_t lines = 0;
            std::map<std::int64_t, std::uint32_t> now;
            std::map<std::int64_t, ICentroidData> positions;
            for (std::size_t k = 0; k < camera.Centroids.size(); ++k)
            {
                const ICentroidData& centroid = camera.Centroids[k];
                // On the sensor, with a plausible size.
                EXPECT_GE(centroid.X - centroid.Radius, 0.0);
                EXPECT_LT(centroid.X + centroid.Radius, 2352.0);
                EXPECT_GE(centroid.Y - centroid.Radius, 0.0);
                EXPECT_LT(centroid.Y + centroid.Radius, 1728.0);
                EXPECT_GE(centroid.Radius, 1.0);
                EXPECT_GE(centroid.Fraction, 0.0);
                EXPECT_LT(centroid.Fraction, 1.0);
                // The blob is a run of consecutive lines around the centroid.
                const VTrialBlob& blob = camera.Blobs[k];
                ASSERT_FALSE(blob.Lines.empty());
                for (std::size_t l = 0; l < blob.Lines.size(); ++l)
                {
                    const VTrialLine& line = blob.Lines[l];
                    EXPECT_FALSE(line.Pixels.empty());
                    EXPECT_EQ(line.Line, blob.Lines[0].Line + l);
                    EXPECT_LE(std::abs(line.Line - centroid.Y), centroid.Radius + 1.0);
                    // One edge per line: first column, line, column after the last.
                    ASSERT_LT(lines, camera.Edges.size());
                    const IEdgePairData& edge = camera.Edges[lines++];
                    EXPECT_EQ(edge.Coord0, line.Column);
                    EXPECT_EQ(edge.Coord1, line.Line);
                    EXPECT_EQ(edge.Coord2, line.Column + line.Pixels.size());
                }
                // Tracks: a running track grows by one frame, a new one starts at 1 with an
                // id never used before, and the marker moves only a little between frames.
                const ICentroidTrackData& track = camera.Tracks[k];
                const auto previous = running[c].find(track.Id);
                if (previous != running[c].end())
                {
                    EXPECT_EQ(track.Length, previous->second + 1);
                    EXPECT_LT(std::hypot(centroid.X - lastPosition[c][track.Id].X,
                                         centroid.Y - lastPosition[c][track.Id].Y),
                              20.0);
                }
                else
                {
                    EXPECT_EQ(track.Length, 1u);
                    EXPECT_EQ(ended[c].count(track.Id), 0u) << "track id used twice";
                }
                EXPECT_FLOAT_EQ(track.Confidence, std::min(1.0f, track.Length / 20.0f));
                now[track.Id] = track.Length;
                positions[track.Id] = centroid;
            }
            EXPECT_EQ(lines, camera.Edges.size());
            for (const auto& [id, length] : running[c])
            {
                if (now.count(id) == 0)
                {
                    ended[c].insert(id);
                }
            }
            running[c] = now;
            lastPosition[c] = positions;
        }
    }
    // Occlusions and markers leaving the view break tracks now and then.
    std::size_t breaks = 0;
    for (const auto& ids : ended)
    {
        breaks += ids.size();
    }
    EXPECT_GT(breaks, 0u);
}

TEST(TrialGenerator, SameSeedGivesIdenticalFilesAndAnotherSeedDoesNot)
{
    VTempDir dir;
    const std::vector<std::uint8_t> first = ReadBytes(Write(dir, "a.x2d", SmallX2D()));
    const std::vector<std::uint8_t> second = ReadBytes(Write(dir, "b.x2d", SmallX2D()));
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    VX2DGeneratorSettings reseeded = SmallX2D();
    reseeded.Seed = 8;
    EXPECT_NE(first, ReadBytes(Write(dir, "c.x2d", reseeded)));

    const std::vector<std::uint8_t> analogue = ReadBytes(Write(dir, "a.x1d", SmallX1D()));
    ASSERT_FALSE(analogue.empty());
    EXPECT_EQ(analogue, ReadBytes(Write(dir, "b.x1d", SmallX1D())));
    VX1DGeneratorSettings reseededAnalogue = SmallX1D();
    reseededAnalogue.Seed = 6;
    EXPECT_NE(analogue, ReadBytes(Write(dir, "c.x1d", reseededAnalogue)));

    // Nothing but the finished files is left in the folder.
    EXPECT_EQ(dir.Names().size(), 6u);
}

TEST(TrialGenerator, EveryVersionOpensWithTheReadersAndHoldsTheSameTrial)
{
    VTempDir dir;
    const std::string newest = Write(dir, "v3.x2d", SmallX2D());
    for (std::int32_t version = 1; version <= 3; ++version)
    {
        SCOPED_TRACE("X2D version " + std::to_string(version));
        VX2DGeneratorSettings settings = SmallX2D();
        settings.Version = version;
        const std::string path = Write(dir, "v" + std::to_string(version) + "-copy.x2d", settings);
        VX2DImport import;
        ASSERT_TRUE(import.Open(path, false));
        EXPECT_EQ(import.GetImpl().GetVersion(), version);
        EXPECT_EQ(import.GetFrameCount(), settings.Frames);
        EXPECT_TRUE(import.GetErrors().empty());
        VX2DTrialReader a(newest);
        VX2DTrialReader b(path);
        const VTrialDiffResult result = VTrialDiff::Compare(a, b);
        EXPECT_TRUE(result.IsEqual()) << result.FrameDifference;
        EXPECT_EQ(result.FramesCompared, settings.Frames);
    }
    const std::string newestAnalogue = Write(dir, "v2.x1d", SmallX1D());
    for (std::int32_t version = 1; version <= 2; ++version)
    {
        SCOPED_TRACE("X1D version " + std::to_string(version));
        VX1DGeneratorSettings settings = SmallX1D();
        settings.Version = version;
        const std::string path = Write(dir, "v" + std::to_string(version) + "-copy.x1d", settings);
        VX1DImport import;
        ASSERT_TRUE(import.Open(path));
        EXPECT_EQ(import.GetImpl().GetVersion(), version);
        EXPECT_EQ(import.GetFrameCount(), settings.Frames);
        EXPECT_TRUE(import.GetErrors().empty());
        VX1DTrialReader a(newestAnalogue);
        VX1DTrialReader b(path);
        EXPECT_TRUE(VTrialDiff::Compare(a, b).IsEqual());
    }
}

TEST(TrialGenerator, WrittenX1DFramesHoldTheChannelSines)
{
    VTempDir dir;
    const VX1DGeneratorSettings settings = SmallX1D();
    const std::string path = Write(dir, "trial.x1d", settings);
    VX1DTrialGenerator generator(settings);
    ASSERT_EQ(generator.GetSamplesPerFrame(), 12u);

    VX1DTrialReader reader(path);
    ASSERT_TRUE(reader.IsOpen());
    VTrialFrame frame;
    for (std::uint32_t i = 0; i < settings.Frames; ++i)
    {
        ASSERT_TRUE(reader.ReadFrame(i, frame));
        EXPECT_EQ(frame.FrameNumber, i + 1);
        ASSERT_EQ(frame.Devices.size(), 2u);
        for (std::uint32_t d = 0; d < 2; ++d)
        {
            ASSERT_EQ(frame.Devices[d].Blocks.size(), 3u);
            for (std::uint32_t c = 0; c < 3; ++c)
            {
                const std::vector<std::uint8_t>& block = frame.Devices[d].Blocks[c];
                ASSERT_EQ(block.size(), 24u);
                for (std::uint32_t s = 0; s < 12; ++s)
                {
                    const auto sample =
                        static_cast<std::int16_t>(LittleEndian::LoadUnsigned(&block[2 * s], 2));
                    ASSERT_EQ(sample, generator.SampleAt(d, c, std::uint64_t{i} * 12 + s));
                }
            }
        }
    }
    // The sines are continuous across frame boundaries and within their amplitude.
    for (std::uint64_t s = 1; s < 600; ++s)
    {
        EXPECT_LT(std::abs(generator.SampleAt(1, 2, s) - generator.SampleAt(1, 2, s - 1)), 700);
    }

    const VTrialInfo info = reader.GetInfo();
    EXPECT_EQ(info.HeaderValue, 1350000);
    ASSERT_EQ(info.SourceSets.size(), 2u);
    EXPECT_EQ(info.SourceSets[1].Value, 1u);
    EXPECT_EQ(info.SourceSets[1].FirstText.Str(), "Analogue 1");
    EXPECT_EQ(info.SourceSets[1].SecondText.Str(), "sine");
    EXPECT_EQ(info.SourceSets[1].Reals[0], 1200.0);
    EXPECT_EQ(info.SourceSets[1].Reals[1], 100.0);
    EXPECT_EQ(info.SourceSets[1].Reals[2], 12.0);
    ASSERT_EQ(info.SourceSets[1].Sources.size(), 3u);
    EXPECT_EQ(info.SourceSets[1].Sources[2].Value, 2u);

    // Without a header value the reader reports 0.
    VX1DGeneratorSettings without = settings;
    without.WriteHeaderValue = false;
    VX1DImport import;
    ASSERT_TRUE(import.Open(Write(dir, "plain.x1d", without)));
    EXPECT_EQ(import.GetHeaderValue(), 0);
}

TEST(TrialGenerator, StartTimecodeFollowsTheRate)
{
    VTempDir dir;
    VX2DGeneratorSettings settings = SmallX2D();
    settings.Frames = 2;
    settings.Rate = 60.0;
    settings.StartTimecode = "01:00:00;02";
    VX2DImport ntsc;
    ASSERT_TRUE(ntsc.Open(Write(dir, "ntsc.x2d", settings), false));
    VTimecode timecode;
    ASSERT_TRUE(ntsc.GetStartTimecode(timecode));
    EXPECT_EQ(timecode.ToString(true, true), "01:00:00;02(0) [ NTSC Drop ]");
    EXPECT_EQ(timecode.GetSubFramesPerFrame(), 2);

    settings.StartTimecode.clear();
    VX2DImport none;
    ASSERT_TRUE(none.Open(Write(dir, "none.x2d", settings), false));
    EXPECT_FALSE(none.GetStartTimecode(timecode));
}

TEST(TrialGenerator, RefusesSettingsThatCannotMakeATrial)
{
    const auto refused = [](auto change, const std::string& expected)
    {
        VX2DGeneratorSettings settings;
        change(settings);
        std::string error;
        EXPECT_FALSE(VX2DTrialGenerator::Validate(settings, error));
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    };
    refused([](VX2DGeneratorSettings& s) { s.Cameras = 0; }, "cameras");
    refused([](VX2DGeneratorSettings& s) { s.Frames = 0; }, "frames");
    refused([](VX2DGeneratorSettings& s) { s.Rate = 0.5; }, "frame rate");
    refused([](VX2DGeneratorSettings& s) { s.Rate = std::nan(""); }, "frame rate");
    refused([](VX2DGeneratorSettings& s) { s.Markers = 2001; }, "markers");
    refused([](VX2DGeneratorSettings& s) { s.Model = "Zt-M9"; }, "Unknown camera model");
    refused([](VX2DGeneratorSettings& s) { s.Version = 4; }, "versions 1 to 3");
    refused([](VX2DGeneratorSettings& s) { s.StartTimecode = "10:00:00"; }, "HH:MM:SS:FF");
    refused([](VX2DGeneratorSettings& s) { s.StartTimecode = "10:00:00:0a"; }, "HH:MM:SS:FF");
    refused([](VX2DGeneratorSettings& s) { s.StartTimecode = "25:00:00:00"; }, "cannot be used");
    refused([](VX2DGeneratorSettings& s) { s.Rate = 97.0; }, "cannot be used at 97 Hz");
    refused([](VX2DGeneratorSettings& s) { s.FirstFrame = 4294967200u; }, "run past");
    std::string error;
    VX2DGeneratorSettings fine;
    fine.Rate = 97.0;
    fine.StartTimecode.clear();
    EXPECT_TRUE(VX2DTrialGenerator::Validate(fine, error)) << error;

    const auto refusedAnalogue = [](auto change, const std::string& expected)
    {
        VX1DGeneratorSettings settings;
        change(settings);
        std::string error;
        EXPECT_FALSE(VX1DTrialGenerator::Validate(settings, error));
        EXPECT_NE(error.find(expected), std::string::npos) << error;
    };
    refusedAnalogue([](VX1DGeneratorSettings& s) { s.Devices = 65; }, "analogue devices");
    refusedAnalogue([](VX1DGeneratorSettings& s) { s.Channels = 0; }, "channels");
    refusedAnalogue([](VX1DGeneratorSettings& s) { s.SampleRate = 10.0; }, "sample rate");
    refusedAnalogue([](VX1DGeneratorSettings& s) { s.Version = 3; }, "versions 1 and 2");
}

TEST(TrialGenerator, FailedWritesLeaveNoPartialFile)
{
    VTempDir dir;
    std::string error;
    // A folder that does not exist.
    EXPECT_FALSE(WriteX2DTrial(dir.File("missing/trial.x2d"), SmallX2D(), error));
    EXPECT_FALSE(error.empty());
    // A folder stands where the file should go: the finished file cannot be moved there,
    // and the temporary one is removed.
    std::filesystem::create_directory(dir.File("taken.x1d"));
    error.clear();
    EXPECT_FALSE(WriteX1DTrial(dir.File("taken.x1d"), SmallX1D(), error));
    EXPECT_NE(error.find("Cannot move"), std::string::npos) << error;
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"taken.x1d"});
}
