#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX1DImport.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DImport.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace TrialTest;

namespace
{
constexpr std::uint64_t kBeyond4GiB = (std::uint64_t{4} << 30) + 12345;

/// Blocks allocated to the file, to confirm it is sparse rather than 4 GiB of zeros.
std::uint64_t AllocatedBytes(const std::string& path)
{
    struct stat status = {};
    return ::stat(path.c_str(), &status) == 0 ? std::uint64_t(status.st_blocks) * 512 : 0;
}
} // namespace

TEST(LargeFile, X2DFrameStoredBeyond4GiBIsReadThroughTheIndex)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("large.x2d");
    VX2DExportSettings settings;
    settings.Cameras = {MakeCamera(3), MakeCamera(4)};
    VX2DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    VFrames near;
    FillFrames(near, 2, 1);
    ASSERT_TRUE(writer.WriteFrame(1, &near.Centroids, &near.Tracks, &near.Greyscale, &near.Edges));
    ASSERT_TRUE(writer.SkipTo(kBeyond4GiB));
    VFrames far;
    FillFrames(far, 2, 2);
    ASSERT_TRUE(writer.WriteFrame(2, &far.Centroids, &far.Tracks, &far.Greyscale, &far.Edges));
    ASSERT_TRUE(writer.Close()) << writer.GetError();
    EXPECT_EQ(writer.GetIndex().GetEntries()[1].Offset, kBeyond4GiB);
    EXPECT_LT(AllocatedBytes(path), std::uint64_t{64} << 20) << "the gap should be a hole";

    VX2DImport import(1);
    ASSERT_TRUE(import.Open(path, false));
    EXPECT_GT(import.GetImpl().GetIndexOffset(), kBeyond4GiB);
    VFrames read;
    ASSERT_TRUE(import.ReadFrame(1, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    ExpectSameContents(far, read);
    ASSERT_TRUE(import.ReadFrame(0, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    ExpectSameContents(near, read);

    // Version 2 cannot index a frame there: the writer says so instead of truncating.
    VX2DExport narrow;
    settings.Version = 2;
    ASSERT_TRUE(narrow.Open(dir.File("narrow.x2d"), settings));
    ASSERT_TRUE(narrow.SkipTo(std::uint64_t{1} << 31));
    EXPECT_FALSE(narrow.WriteFrame(1, &near.Centroids, nullptr, nullptr, nullptr));
    EXPECT_FALSE(narrow.GetError().empty());
    EXPECT_FALSE(narrow.Close());
}

TEST(LargeFile, X1DFrameStoredBeyond4GiB)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("large.x1d");
    VX1DExportSettings settings;
    settings.DeviceCount = 2;
    VX1DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    VAnalogueBlockFrame frame;
    FillAnalogue(frame, 2, 4);
    ASSERT_TRUE(writer.SkipTo(kBeyond4GiB));
    ASSERT_TRUE(writer.WriteFrame(9, &frame));
    ASSERT_TRUE(writer.Close());

    VX1DImport import;
    ASSERT_TRUE(import.Open(path));
    VAnalogueBlockFrame read;
    ASSERT_TRUE(import.ReadFrame(0, &read));
    EXPECT_EQ(BlockBytes(read, 1, 1), BlockBytes(frame, 1, 1));
}
