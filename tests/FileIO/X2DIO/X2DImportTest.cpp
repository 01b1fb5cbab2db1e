#include "FileIO/DefaultFormats.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DImport.h"
#include "TrialTestSupport.h"
#include "lumen/Log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace TrialTest;

namespace
{
using Errors = std::vector<std::string>;

/// Settings of a trial of the given cameras with a start timecode.
VX2DExportSettings Settings(std::int32_t version, std::vector<std::uint32_t> cameraIds)
{
    VX2DExportSettings settings;
    settings.Version = version;
    for (std::uint32_t id : cameraIds)
    {
        settings.Cameras.push_back(MakeCamera(id));
    }
    settings.SystemFrameRate = 100.0;
    settings.StartTimecode = "10 0 0 0 0 0 1 4";
    return settings;
}

/// Writes frames numbered first, first + 1, ... with contents from FillFrames; returns the
/// writer's view of the file (positions) by copy of its index.
VIndexTable WriteTrial(const std::string& path, const VX2DExportSettings& settings,
                       std::uint32_t frameCount, std::uint32_t first = 100,
                       std::uint64_t* frameCountPosition = nullptr,
                       std::uint64_t* indexPosition = nullptr)
{
    VX2DExport writer;
    EXPECT_TRUE(writer.Open(path, settings)) << writer.GetError();
    const std::uint32_t devices =
        settings.DeviceCount.value_or(static_cast<std::uint32_t>(settings.Cameras.size()));
    for (std::uint32_t f = 0; f < frameCount; ++f)
    {
        VFrames frames;
        FillFrames(frames, devices, f);
        EXPECT_TRUE(writer.WriteFrame(first + f, &frames.Centroids, &frames.Tracks,
                                      &frames.Greyscale, &frames.Edges))
            << writer.GetError();
    }
    EXPECT_TRUE(writer.Close()) << writer.GetError();
    if (frameCountPosition != nullptr)
    {
        *frameCountPosition = writer.GetFrameCountPosition();
    }
    if (indexPosition != nullptr)
    {
        *indexPosition = writer.GetIndexPosition();
    }
    return writer.GetIndex();
}

/// A centroid frame that is not a Direct implementation: the reader must fill it through
/// its internal frame and the copy protocol.
class VPlainCentroidFrame : public ICentroidFrame
{
public:
    void CopyTo(ICentroidFrame& target) const override { m_Frame.CopyTo(target); }
    std::uint32_t Count() const override { return m_Frame.Count(); }
    void Resize(std::uint32_t count) override { m_Frame.Resize(count); }
    bool GetSet(std::uint32_t index, ICentroidSet& out) const override
    {
        return m_Frame.GetSet(index, out);
    }
    bool SetSet(std::uint32_t index, const ICentroidSet& in) override
    {
        return m_Frame.SetSet(index, in);
    }
    void Erase(std::uint32_t index) override { m_Frame.Erase(index); }

    VCentroidFrame m_Frame;
};

std::string NameOf(const VCentroidFrame& frame, std::uint32_t d)
{
    return frame.GetSetDirect(d)->Name().Str();
}
} // namespace

TEST(X2DImport, ReadsBackEveryKindInEveryVersion)
{
    for (const std::int32_t version : {1, 2, 3})
    {
        SCOPED_TRACE("version " + std::to_string(version));
        VTempDir dir;
        ASSERT_TRUE(dir.IsValid());
        const std::string path = dir.File("trial.x2d");
        const VX2DExportSettings settings = Settings(version, {12, 7, 30});
        WriteTrial(path, settings, 5, 100);

        VX2DImport import;
        ASSERT_TRUE(import.Open(path, false));
        EXPECT_TRUE(import.GetErrors().empty());
        EXPECT_EQ(import.GetImpl().GetVersion(), version);
        EXPECT_EQ(import.GetDeviceCount(), 3u);
        EXPECT_EQ(import.GetFrameCount(), 5u);
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        import.GetFrameRange(first, last);
        EXPECT_EQ(first, 100u);
        EXPECT_EQ(last, 104u);
        std::vector<std::uint32_t> numbers;
        EXPECT_EQ(import.GetFrameNumbers(numbers), 5u);
        EXPECT_EQ(numbers, (std::vector<std::uint32_t>{100, 101, 102, 103, 104}));
        EXPECT_EQ(import.GetFrameNumber(2), 102u);
        EXPECT_EQ(import.GetFrameNumber(5), 0u);

        std::vector<CameraInfoRecord> cameras;
        double rate = 0.0;
        import.GetCameraInfo(cameras, rate);
        EXPECT_EQ(cameras, settings.Cameras);
        EXPECT_EQ(rate, 100.0);
        EXPECT_EQ(import.GetFrameRate(), 100.0);
        EXPECT_EQ(import.GetCameraNames(), (Errors{"zt:12", "zt:7", "zt:30"}));
        VTimecode start;
        ASSERT_TRUE(import.GetStartTimecode(start));
        EXPECT_EQ(start.GetHours(), 10);

        // Frames in any order, filled in place, named after their cameras.
        VFrames read;
        for (std::uint32_t f : {3u, 0u, 4u, 1u})
        {
            SCOPED_TRACE("frame " + std::to_string(f));
            ASSERT_TRUE(
                import.ReadFrame(f, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
            VFrames expected;
            FillFrames(expected, 3, f);
            ExpectSameContents(expected, read);
            EXPECT_EQ(import.GetImpl().GetCurrentFrameNumber(), 100 + f);
        }
        EXPECT_EQ(NameOf(read.Centroids, 0), "zt:12");
        EXPECT_EQ(read.Centroids.GetSetDirect(1)->GetCameraValue(), 0.125 * 7);
        EXPECT_EQ(read.Tracks.GetSetDirect(2)->Name(), "zt:30");
        EXPECT_EQ(read.Greyscale.GetSetDirect(1)->Name().Str(), "zt:7");
        EXPECT_EQ(read.Edges.GetSetDirect(0)->Name().Str(), "zt:12");

        ASSERT_TRUE(import.ReadFrameByNumber(102, &read.Centroids, nullptr, nullptr, nullptr));
        VFrames expected;
        FillFrames(expected, 3, 2);
        EXPECT_EQ(read.Centroids.GetSetDirect(0)->Count(),
                  expected.Centroids.GetSetDirect(0)->Count());
        EXPECT_FALSE(import.ReadFrameByNumber(99, &read.Centroids, nullptr, nullptr, nullptr));
        std::uint32_t index = 0;
        EXPECT_TRUE(import.FindFrameIndex(104, index));
        EXPECT_EQ(index, 4u);
    }
}

TEST(X2DImport, OffsetsOfVersion2AreWidenedWithTheirSign)
{
    // In version 2 the DataOffset field is 32-bit: 0xFFFFFFFF is -1, widened to all bits set,
    // which is the invalid data offset. In version 3 the same four bytes are just a number.
    for (const std::int32_t version : {2, 3})
    {
        SCOPED_TRACE("version " + std::to_string(version));
        VTempDir dir;
        ASSERT_TRUE(dir.IsValid());
        const std::string path = dir.File("trial.x2d");
        VX2DExport writer;
        ASSERT_TRUE(writer.Open(path, Settings(version, {1})));
        ASSERT_TRUE(writer.Close());
        // DataOffset's field follows IndexOffset's item and its own item header.
        const std::uint64_t dataOffsetField =
            writer.GetIndexOffsetPosition() + (version >= 3 ? 8 : 4) + 6;
        EXPECT_EQ(LoadFile(path, dataOffsetField, version >= 3 ? 8 : 4), writer.GetDataOffset());
        PatchFile(path, dataOffsetField, 0xFFFFFFFF, 4);
        VX2DImport import;
        EXPECT_FALSE(import.Open(path, true));
        const bool invalid =
            std::find(import.GetErrors().begin(), import.GetErrors().end(),
                      "Invalid file header (data offset).") != import.GetErrors().end();
        EXPECT_EQ(invalid, version == 2);
    }

    // Index entry offsets of version 2 are 32-bit too: a negative one cannot be read.
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    std::uint64_t indexPosition = 0;
    WriteTrial(path, Settings(2, {1}), 2, 100, nullptr, &indexPosition);
    EXPECT_EQ(ReadBytes(path).size(), indexPosition + 4 + 2 * 8) << "8 bytes per entry";
    PatchFile(path, indexPosition + 4 + 8 + 4, 0xFFFFFFFE, 4);
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    EXPECT_TRUE(import.ReadFrame(0, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_FALSE(import.ReadFrame(1, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_EQ(import.GetErrors(), (Errors{"Could not read frame."}));
}

TEST(X2DImport, FrameCountMustMatchTheIndex)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());

    // No frames and an index of no entries: opens after the message.
    const std::string empty = dir.File("empty.x2d");
    WriteTrial(empty, Settings(3, {1, 2}), 0);
    VX2DImport import;
    ASSERT_TRUE(import.Open(empty, false));
    EXPECT_EQ(import.GetErrors(), (Errors{"Invalid file header (number of frames)."}));
    EXPECT_EQ(import.GetFrameCount(), 0u);
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    import.GetFrameRange(first, last);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(last, 0u);
    VFrames read;
    EXPECT_FALSE(import.ReadFrame(0, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_EQ(import.GetErrors().back(), "There is no frame index 0 in the file.");

    // FrameCount 0 but an index of 5 entries: refused.
    const std::string five = dir.File("five.x2d");
    std::uint64_t frameCountPosition = 0;
    WriteTrial(five, Settings(3, {1}), 5, 1, &frameCountPosition);
    PatchFile(five, frameCountPosition, 0, 4);
    VX2DImport corrupt;
    EXPECT_FALSE(corrupt.Open(five, true));
    EXPECT_EQ(corrupt.GetErrors(), (Errors{"Invalid file header (number of frames).",
                                           "Corrupt file (index table wrong length)."}));
    EXPECT_EQ(corrupt.GetCameraNames(), (Errors{"zt:1"})) << "names are built whatever the result";
}

TEST(X2DImport, MissingIndexIsRebuiltOnlyWhenAllowed)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("noindex.x2d");
    VX2DExportSettings settings = Settings(3, {4, 5});
    settings.WriteIndex = false;
    const VIndexTable written = WriteTrial(path, settings, 4, 50);

    VX2DImport refused;
    EXPECT_FALSE(refused.Open(path, false));
    EXPECT_EQ(refused.GetErrors(), (Errors{"Could not find the index table in the file."}));

    // Rebuilt: every record up to the end of the file.
    VX2DImport rebuilt;
    ASSERT_TRUE(rebuilt.Open(path, true));
    EXPECT_EQ(rebuilt.GetErrors(), (Errors{"Could not find the index table in the file."}));
    EXPECT_TRUE(rebuilt.GetImpl().WasIndexRebuilt());
    EXPECT_EQ(rebuilt.GetFrameCount(), 4u);
    EXPECT_EQ(rebuilt.GetImpl().GetIndexTable().GetEntries(), written.GetEntries());
    VFrames read;
    ASSERT_TRUE(rebuilt.ReadFrame(3, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    VFrames expected;
    FillFrames(expected, 2, 3);
    ExpectSameContents(expected, read);

    // The scan stops at the first record whose tag is below 0xFFFF; FrameCount follows it.
    PatchFile(path, written.GetEntries()[2].Offset, 0xFFFE, 2);
    VX2DImport stopped;
    ASSERT_TRUE(stopped.Open(path, true));
    EXPECT_EQ(stopped.GetFrameCount(), 2u);

    // ... and at a record with a negative length, which would lead backwards.
    PatchFile(path, written.GetEntries()[2].Offset, 0xFFFF, 2);
    PatchFile(path, written.GetEntries()[1].Offset + 2, 0xFFFFFFF0, 4);
    VX2DImport negative;
    ASSERT_TRUE(negative.Open(path, true));
    EXPECT_EQ(negative.GetFrameCount(), 1u);
}

TEST(X2DImport, IndexOffsetAtTheEndCountsAsMissing)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExport writer;
    ASSERT_TRUE(writer.Open(path, Settings(3, {1})));
    VFrames frames;
    FillFrames(frames, 1, 0);
    ASSERT_TRUE(writer.WriteFrame(1, &frames.Centroids, nullptr, nullptr, nullptr));
    ASSERT_TRUE(writer.Close());
    const std::uint64_t size = ReadBytes(path).size();
    for (const std::uint64_t offset : {size, size + 1000, std::uint64_t{0x7FFFFFFFFFFF}})
    {
        PatchFile(path, writer.GetIndexOffsetPosition(), offset, 8);
        VX2DImport import;
        EXPECT_FALSE(import.Open(path, false));
        EXPECT_EQ(import.GetErrors(), (Errors{"Could not find the index table in the file."}));
        VX2DImport rebuilt;
        EXPECT_TRUE(rebuilt.Open(path, true));
        EXPECT_EQ(rebuilt.GetFrameCount(), 1u);
    }
}

TEST(X2DImport, CustomHeadersUnknownSkippedAndCameraDefaults)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings = Settings(3, {12, 13});
    settings.StartTimecode.clear();
    // The camera block comes after an unknown one, written without 0xAA11.
    VCameraInfoHeader cameraInfo;
    cameraInfo.SetCameras(settings.Cameras);
    cameraInfo.SetSystemFrameRate(120.0);
    VDataFormatInfo recordFormat(VCameraInfoHeader::kRecordFormatId);
    recordFormat.AddField(CameraInfoRecord::kKeyCameraId, 4);
    recordFormat.AddField(CameraInfoRecord::kKeySensorWidth, 4);
    cameraInfo.SetRecordFormat(recordFormat);
    VMemoryOutputStream content;
    ASSERT_TRUE(cameraInfo.Write(content));
    settings.WriteCameraInfo = false;
    settings.ExtraHeaderBlocks = {{0x4242, {1, 2, 3, 4, 5, 6, 7}},
                                  {VCameraInfoHeader::kHeaderId, content.GetBytes()}};
    WriteTrial(path, settings, 1);

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    EXPECT_TRUE(import.GetErrors().empty());
    const std::vector<VCustomHeaderBlock>& blocks = import.GetImpl().GetCustomHeaderBlocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], (VCustomHeaderBlock{0x4242, 7}));
    EXPECT_EQ(blocks[1].HeaderId, 0);
    std::vector<CameraInfoRecord> cameras;
    double rate = 0.0;
    import.GetCameraInfo(cameras, rate);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(rate, 120.0);
    EXPECT_EQ(cameras[0].CameraId, 12u);
    EXPECT_EQ(cameras[1].SensorWidth, kSensorWidth);
    EXPECT_EQ(cameras[0].CameraValue, -1.0);
    EXPECT_EQ(cameras[1].CameraValue, -1.0);
    EXPECT_EQ(import.GetCameraNames(), (Errors{"zt:12", "zt:13"}));

    VFrames read;
    ASSERT_TRUE(import.ReadFrame(0, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_EQ(read.Centroids.GetSetDirect(1)->GetCameraValue(), -1.0);
    EXPECT_EQ(NameOf(read.Centroids, 0), "zt:12");

    VTimecode start;
    EXPECT_FALSE(import.GetStartTimecode(start)) << "no start timecode block";
}

TEST(X2DImport, StartTimecodeMustBeValid)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings = Settings(3, {1});
    settings.StartTimecode = "25 0 0 0 0 0 1 4"; // hour 25
    WriteTrial(path, settings, 1);
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VTimecode start;
    EXPECT_FALSE(import.GetStartTimecode(start));
}

TEST(X2DImport, FirstBlockClaimingTooMuchLeavesTheRecordAtItsEnd)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    const VIndexTable written = WriteTrial(path, Settings(3, {1, 2}), 2);
    // Frame header (10 bytes), device record header (10), then the first block's FormatId
    // and Length.
    const std::uint64_t firstBlockLength = written.GetEntries()[1].Offset + 10 + 10 + 2;
    PatchFile(path, firstBlockLength, 0x7FFF0000, 4);

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    FillFrames(read, 2, 9); // stale contents that the reader must clear
    ASSERT_TRUE(import.ReadFrame(1, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    EXPECT_EQ(read.Centroids.GetSetDirect(0)->Count(), 0u);
    EXPECT_EQ(read.Tracks.GetSetDirect(0)->Count(), 0u);
    EXPECT_EQ(read.Greyscale.GetSetDirect(0)->Count(), 0u);
    EXPECT_EQ(read.Edges.GetSetDirect(0)->Count(), 0u);
    EXPECT_EQ(import.GetImpl().GetCurrentDeviceId(), 2u);
    // The second camera's record is read whole from the first one's end.
    VFrames expected;
    FillFrames(expected, 2, 1);
    EXPECT_EQ(read.Centroids.GetSetDirect(1)->Count(), expected.Centroids.GetSetDirect(1)->Count());
    EXPECT_EQ(read.Edges.GetSetDirect(1)->Count(), expected.Edges.GetSetDirect(1)->Count());
    EXPECT_EQ(read.Greyscale.GetSetDirect(1)->GetInfoByte(),
              expected.Greyscale.GetSetDirect(1)->GetInfoByte());
}

TEST(X2DImport, WithoutFrameInfoFormatFramesAreFilledButNotNamed)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings = Settings(3, {21, 22});
    settings.WriteFrameInfoFormat = false;
    WriteTrial(path, settings, 2);

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    EXPECT_FALSE(import.GetImpl().HasFrameInfoFormat());
    VPlainCentroidFrame plain; // filled through the copy from the internal frame
    VFrames read;
    EXPECT_FALSE(import.ReadFrame(1, &plain, &read.Tracks, &read.Greyscale, &read.Edges));
    EXPECT_TRUE(import.GetErrors().empty());
    VFrames expected;
    FillFrames(expected, 2, 1);
    read.Centroids = plain.m_Frame;
    ExpectSameContents(expected, read);
    for (std::uint32_t d = 0; d < 2; ++d)
    {
        EXPECT_EQ(NameOf(read.Centroids, d), "");
        EXPECT_EQ(read.Centroids.GetSetDirect(d)->GetCameraValue(), 0.0);
        EXPECT_EQ(read.Tracks.GetSetDirect(d)->Name(), "");
        EXPECT_EQ(read.Greyscale.GetSetDirect(d)->Name().Str(), "");
    }
}

TEST(X2DImport, NullFramesAreDecodedAndDropped)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    WriteTrial(path, Settings(3, {1, 2, 3}), 3);
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));

    // Without a greyscale frame its blocks go to the holder's scratch blob, and the blocks
    // behind them still decode.
    VFrames read;
    ASSERT_TRUE(import.ReadFrame(2, &read.Centroids, &read.Tracks, nullptr, &read.Edges));
    EXPECT_EQ(read.Greyscale.Count(), 0u) << "no InfoByte anywhere";
    VFrames expected;
    FillFrames(expected, 3, 2);
    read.Greyscale = expected.Greyscale;
    ExpectSameContents(expected, read);
    ASSERT_TRUE(import.ReadFrame(0, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(import.ReadFrame(1, nullptr, nullptr, &read.Greyscale, nullptr));
    EXPECT_EQ(read.Greyscale.GetSetDirect(2)->GetInfoByte(), 0x40 + 1 + 2);
}

TEST(X2DImport, InfoBytePassesOnWhenARecordHasNoCameraFrameInfo)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    const VIndexTable written = WriteTrial(path, Settings(3, {1, 2}), 1);
    // Rename device 1's camera frame info block (the fourth) to an unknown format: the block
    // is skipped and device 1's set gets device 0's byte.
    VX2DImport probe;
    ASSERT_TRUE(probe.Open(path, false));
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    std::uint64_t position = written.GetEntries()[0].Offset + 10;
    position += 10 + LittleEndian::LoadU32(bytes.data() + position + 2); // skip device 0
    position += 10;                                                      // device 1 header
    for (int block = 0; block < 3; ++block)
    {
        position += 10 + LittleEndian::LoadU32(bytes.data() + position + 2);
    }
    ASSERT_EQ(LittleEndian::LoadU16(bytes.data() + position),
              DefaultFormats::kCameraFrameInfoFormatId);
    PatchFile(path, position, 0x1234, 2);

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    ASSERT_TRUE(import.ReadFrame(0, &read.Centroids, nullptr, &read.Greyscale, &read.Edges));
    EXPECT_EQ(read.Greyscale.GetSetDirect(0)->GetInfoByte(), 0x40);
    EXPECT_EQ(read.Greyscale.GetSetDirect(1)->GetInfoByte(), 0x40);
    VFrames expected;
    FillFrames(expected, 2, 0);
    EXPECT_EQ(read.Edges.GetSetDirect(1)->Count(), expected.Edges.GetSetDirect(1)->Count())
        << "the block after the skipped one is read";
}

TEST(X2DImport, RejectsOldSignatureAndNewerVersions)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    WriteTrial(path, Settings(3, {1}), 1);

    PatchFile(path, 0, 0x6176724F, 4); // "Orva"
    EXPECT_EQ(ReadBytes(path)[0], 'O');
    VX2DImport old;
    EXPECT_FALSE(old.Open(path, true));
    EXPECT_TRUE(old.GetErrors().empty());

    PatchFile(path, 0, 4, 4);
    VX2DImport newer;
    EXPECT_FALSE(newer.Open(path, true));
    EXPECT_EQ(newer.GetErrors(), (Errors{"Cannot read X2D files of version 4."}));

    VX2DImport missing;
    EXPECT_FALSE(missing.Open(dir.File("missing.x2d"), true));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_TRUE(missing.GetErrors().empty());
    EXPECT_TRUE(missing.GetCameraNames().empty());

    WriteBytes(path, {3, 0, 0, 0, 1, 0});
    VX2DImport truncated;
    EXPECT_FALSE(truncated.Open(path, true));
    EXPECT_EQ(truncated.GetErrors().back(), "Invalid file header (the file ends inside it).");
}

TEST(X2DImport, BadFramesFailWithoutSpoilingLaterReads)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    const VIndexTable written = WriteTrial(path, Settings(3, {1, 2}), 3);
    PatchFile(path, written.GetEntries()[0].Offset, 0xFFFE, 2); // bad tag
    PatchFile(path, written.GetEntries()[1].Offset + 2, 0, 4);  // Length 0
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    EXPECT_FALSE(import.ReadFrame(0, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_FALSE(import.ReadFrame(1, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_FALSE(import.ReadFrame(7, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_TRUE(import.ReadFrame(2, &read.Centroids, nullptr, nullptr, nullptr));
    EXPECT_EQ(import.GetErrors(), (Errors{"Could not read frame.", "Could not read frame.",
                                          "There is no frame index 7 in the file."}));
}

TEST(X2DImport, FileCutInsideAFrame)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    const VIndexTable written = WriteTrial(path, Settings(3, {1, 2}), 3);
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    bytes.resize(written.GetEntries()[2].Offset + 60);
    WriteBytes(path, bytes);

    // The index went with the cut: the rebuild finds all three records, the last one short.
    VX2DImport cut;
    ASSERT_TRUE(cut.Open(path, true));
    EXPECT_EQ(cut.GetFrameCount(), 3u);
    VFrames read;
    EXPECT_FALSE(cut.ReadFrame(2, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    EXPECT_EQ(read.Centroids.Count(), 2u);
    EXPECT_EQ(read.Edges.GetSetDirect(1)->Count(), 0u) << "the unread device is cleared";
    // The stream recovers for the frames before it.
    ASSERT_TRUE(cut.ReadFrame(1, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    VFrames expected;
    FillFrames(expected, 2, 1);
    ExpectSameContents(expected, read);
}

TEST(X2DImport, HostileCountsAreBounded)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    std::uint64_t frameCountPosition = 0;
    WriteTrial(path, Settings(3, {1, 2}), 2, 1, &frameCountPosition);

    // DeviceCount far beyond what a frame record holds: the frame is refused before any
    // set is allocated.
    const std::uint64_t deviceCountField = 4 + 6;
    PatchFile(path, deviceCountField, 0xFFFFFFFF, 4);
    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    EXPECT_FALSE(import.ReadFrame(0, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
    EXPECT_EQ(import.GetErrors(), (Errors{"Could not read frame."}));
    EXPECT_LE(read.Centroids.PoolSize(), 2u);

    // FormatCount far beyond the header: reading stops when the formats run out.
    PatchFile(path, deviceCountField, 2, 4);
    PatchFile(path, frameCountPosition + 4 + 6, 0xFFFFFFFF, 4);
    VX2DImport formats;
    EXPECT_FALSE(formats.Open(path, true));
}

TEST(X2DImport, FormatWhoseItemsTakeNoBytesEndsTheBlock)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings = Settings(3, {1});
    VDataFormatInfo empty(DefaultFormats::kCentroidFormatId);
    empty.AddField(0xAA00, 0);
    settings.Formats = {empty, DefaultFormats::EdgePairs()};
    VX2DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    VFrames frames;
    FillFrames(frames, 1, 0);
    ASSERT_TRUE(writer.WriteFrame(1, &frames.Centroids, nullptr, nullptr, &frames.Edges));
    ASSERT_TRUE(writer.Close());

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    VFrames read;
    ASSERT_TRUE(import.ReadFrame(0, &read.Centroids, nullptr, nullptr, &read.Edges));
    EXPECT_EQ(read.Centroids.GetSetDirect(0)->Count(), 0u);
    EXPECT_EQ(read.Edges.GetSetDirect(0)->Count(), frames.Edges.GetSetDirect(0)->Count());
}

TEST(X2DImport, MessagesGoToTheLog)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string log = dir.File("log.txt");
    ZEL::GlobalLog().SetLevel("X2DImport", 4);
    ASSERT_TRUE(ZEL::GlobalLog().SetOutput(log));
    const std::string path = dir.File("trial.x2d");
    WriteTrial(path, Settings(3, {1}), 1);
    PatchFile(path, 0, 9, 4);
    VX2DImport import;
    EXPECT_FALSE(import.Open(path, true));
    ZEL::GlobalLog().SetOutput("");
    ZEL::GlobalLog().SetLevel("X2DImport", 0);
    std::ifstream in(log);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Cannot read X2D files of version 9."), std::string::npos)
        << text.str();
}

TEST(X2DImport, FrameInfoItemWithFieldsIsReadPast)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings = Settings(3, {1, 2});
    settings.FrameInfoFormat.AddField(0x0101, 3);
    settings.FrameInfoFormat.AddField(0x0102, VDataFormatField::kVariableSize);
    WriteTrial(path, settings, 3);

    VX2DImport import;
    ASSERT_TRUE(import.Open(path, false));
    ASSERT_TRUE(import.GetImpl().HasFrameInfoFormat());
    EXPECT_EQ(import.GetImpl().GetFrameInfoFormat(), settings.FrameInfoFormat);
    VFrames read;
    for (std::uint32_t f = 0; f < 3; ++f)
    {
        ASSERT_TRUE(
            import.ReadFrame(f, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges));
        VFrames expected;
        FillFrames(expected, 2, f);
        ExpectSameContents(expected, read);
    }
    EXPECT_EQ(NameOf(read.Centroids, 1), "zt:2");
}
