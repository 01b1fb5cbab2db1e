#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX1DImport.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

using namespace TrialTest;

namespace
{
using Errors = std::vector<std::string>;

VX1DExportSettings Settings(std::int32_t version, std::uint32_t devices)
{
    VX1DExportSettings settings;
    settings.Version = version;
    settings.DeviceCount = devices;
    settings.DeviceIds = {0x02000001, 0x02000002, 0x02000003};
    VAnalogueSourceSetSpec set;
    set.Value = 16;
    set.FirstText.Assign("Card 1");
    set.SecondText.Assign("volts");
    set.Reals[0] = 1000.0;
    set.Sources = {{1}, {2}};
    settings.SourceSets = {set};
    return settings;
}

VIndexTable WriteTrial(const std::string& path, const VX1DExportSettings& settings,
                       std::uint32_t frameCount, std::uint64_t* frameCountPosition = nullptr,
                       std::uint64_t* indexPosition = nullptr)
{
    VX1DExport writer;
    EXPECT_TRUE(writer.Open(path, settings)) << writer.GetError();
    for (std::uint32_t f = 0; f < frameCount; ++f)
    {
        VAnalogueBlockFrame frame;
        FillAnalogue(frame, settings.DeviceCount, f);
        EXPECT_TRUE(writer.WriteFrame(500 + f, &frame)) << writer.GetError();
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

void ExpectFrame(const VAnalogueBlockFrame& read, std::uint32_t devices, std::uint32_t seed)
{
    VAnalogueBlockFrame expected;
    FillAnalogue(expected, devices, seed);
    ASSERT_EQ(read.Count(), devices);
    for (std::uint32_t d = 0; d < devices; ++d)
    {
        ASSERT_EQ(read.GetSetDirect(d)->Count(), expected.GetSetDirect(d)->Count());
        for (std::uint32_t b = 0; b < expected.GetSetDirect(d)->Count(); ++b)
        {
            EXPECT_EQ(BlockBytes(read, d, b), BlockBytes(expected, d, b))
                << "device " << d << " block " << b;
        }
    }
}

/// An analogue frame that is not a Direct implementation.
class VPlainAnalogueFrame : public IAnalogueBlockFrame
{
public:
    void CopyTo(IAnalogueBlockFrame& target) const override { m_Frame.CopyTo(target); }
    std::uint32_t Count() const override { return m_Frame.Count(); }
    void Resize(std::uint32_t count) override { m_Frame.Resize(count); }
    bool GetSet(std::uint32_t index, IAnalogueBlockSet& out) const override
    {
        return m_Frame.GetSet(index, out);
    }
    bool SetSet(std::uint32_t index, const IAnalogueBlockSet& in) override
    {
        return m_Frame.SetSet(index, in);
    }

    VAnalogueBlockFrame m_Frame;
};
} // namespace

TEST(X1DImport, ReadsBackVersions1And2WithAndWithoutTheHeaderValue)
{
    for (const std::int32_t version : {1, 2})
    {
        for (const bool withValue : {false, true})
        {
            SCOPED_TRACE("version " + std::to_string(version) + (withValue ? " with" : " without") +
                         " value");
            VTempDir dir;
            ASSERT_TRUE(dir.IsValid());
            const std::string path = dir.File("trial.x1d");
            VX1DExportSettings settings = Settings(version, 3);
            if (withValue)
            {
                settings.HeaderValue = -1234567890123;
            }
            std::uint64_t indexPosition = 0;
            WriteTrial(path, settings, 4, nullptr, &indexPosition);
            EXPECT_EQ(ReadBytes(path).size(), indexPosition + 4 + 4 * (version >= 2 ? 12 : 8));

            VX1DImport import;
            ASSERT_TRUE(import.Open(path));
            EXPECT_TRUE(import.GetErrors().empty());
            EXPECT_EQ(import.GetDeviceCount(), 3u);
            EXPECT_EQ(import.GetFrameCount(), 4u);
            EXPECT_EQ(import.GetHeaderValue(), withValue ? -1234567890123 : 0);
            std::vector<std::uint32_t> numbers;
            EXPECT_EQ(import.GetFrameNumbers(numbers), 4u);
            EXPECT_EQ(numbers.back(), 503u);
            EXPECT_EQ(import.GetFrameNumber(1), 501u);
            std::uint32_t first = 0;
            std::uint32_t second = 1;
            std::vector<VAnalogueSourceSetSpec> sets;
            import.GetAnalogueSourceSets(first, second, sets);
            EXPECT_EQ(first, 135000000u);
            EXPECT_EQ(second, 0u);
            EXPECT_EQ(sets, settings.SourceSets);

            VAnalogueBlockFrame read;
            for (std::uint32_t f : {2u, 0u, 3u})
            {
                ASSERT_TRUE(import.ReadFrame(f, &read));
                ExpectFrame(read, 3, f);
            }
            EXPECT_EQ(import.GetImpl().GetCurrentDeviceId(), 0x02000003u);
            VPlainAnalogueFrame plain;
            ASSERT_TRUE(import.ReadFrameByNumber(501, &plain));
            ExpectFrame(plain.m_Frame, 3, 1);
            EXPECT_FALSE(import.ReadFrameByNumber(499, &plain));
            EXPECT_TRUE(import.ReadFrame(1, nullptr));
        }
    }
}

TEST(X1DImport, TheHeaderValueIsRecognisedOnlyByItsTag)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    VX1DExportSettings settings = Settings(2, 1);
    settings.HeaderValue = 77;
    std::uint64_t frameCountPosition = 0;
    WriteTrial(path, settings, 1, &frameCountPosition);
    // The value's item header follows FrameCount; any other tag makes that item header the
    // one of FormatCount, so the value's bytes are taken for FormatCount and beyond.
    EXPECT_EQ(LoadFile(path, frameCountPosition + 4, 2), 0x00FFu);
    PatchFile(path, frameCountPosition + 4, 0x00FE, 2);
    VX1DImport import;
    EXPECT_FALSE(import.Open(path));
    EXPECT_EQ(import.GetHeaderValue(), 0);
}

TEST(X1DImport, RefusesVersion3AndInvalidDataOffset)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    VX1DExport writer;
    ASSERT_TRUE(writer.Open(path, Settings(2, 1)));
    ASSERT_TRUE(writer.Close());

    PatchFile(path, writer.GetIndexOffsetPosition() + 8 + 6, ~std::uint64_t{0}, 8);
    VX1DImport invalid;
    EXPECT_FALSE(invalid.Open(path));
    EXPECT_EQ(invalid.GetErrors(), (Errors{"Invalid file header (number of frames).",
                                           "Invalid file header (data offset)."}));

    PatchFile(path, 0, 3, 4);
    VX1DImport newer;
    EXPECT_FALSE(newer.Open(path));
    EXPECT_EQ(newer.GetErrors(), (Errors{"Cannot read X1D files of version 3."}));

    VX1DImport missing;
    EXPECT_FALSE(missing.Open(dir.File("missing.x1d")));
}

TEST(X1DImport, MissingIndexIsAlwaysRebuilt)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    VX1DExportSettings settings = Settings(1, 2);
    settings.WriteIndex = false;
    const VIndexTable written = WriteTrial(path, settings, 5);
    VX1DImport import;
    ASSERT_TRUE(import.Open(path));
    EXPECT_EQ(import.GetErrors(), (Errors{"Could not find the index table in the file."}));
    EXPECT_EQ(import.GetFrameCount(), 5u);
    EXPECT_EQ(import.GetImpl().GetIndexTable().GetEntries(), written.GetEntries());
    VAnalogueBlockFrame read;
    ASSERT_TRUE(import.ReadFrame(4, &read));
    ExpectFrame(read, 2, 4);
}

TEST(X1DImport, FrameCountIsNotCheckedAgainstTheIndex)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    std::uint64_t frameCountPosition = 0;
    WriteTrial(path, Settings(2, 1), 3, &frameCountPosition);
    PatchFile(path, frameCountPosition, 7, 4);
    VX1DImport import;
    ASSERT_TRUE(import.Open(path));
    EXPECT_EQ(import.GetFrameCount(), 7u);
    VAnalogueBlockFrame read;
    EXPECT_FALSE(import.ReadFrame(5, &read));
    EXPECT_EQ(import.GetErrors(), (Errors{"There is no frame index 5 in the file."}));
}

TEST(X1DImport, EmptyBlockHasNoBytes)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    WriteTrial(path, Settings(2, 2), 1);
    VX1DImport import;
    ASSERT_TRUE(import.Open(path));
    VAnalogueBlockFrame read;
    ASSERT_TRUE(import.ReadFrame(0, &read));
    // FillAnalogue's first block of every device holds 0 bytes.
    const IAnalogueBlockData* block = nullptr;
    ASSERT_TRUE(read.GetSetDirect(1)->GetItemData(0, &block));
    EXPECT_EQ(block->Size, 0u);
    EXPECT_EQ(block->Data, nullptr);
    ASSERT_TRUE(read.GetSetDirect(1)->GetItemData(1, &block));
    EXPECT_EQ(block->Size, 3u);
}

TEST(X1DImport, TruncatedFrameFailsAndBadHeadersAreReported)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    const VIndexTable written = WriteTrial(path, Settings(2, 3), 2);
    PatchFile(path, written.GetEntries()[0].Offset, 0x0001, 2);
    std::vector<std::uint8_t> bytes = ReadBytes(path);
    bytes.resize(written.GetEntries()[1].Offset + 30);
    WriteBytes(path, bytes);

    VX1DImport import;
    ASSERT_TRUE(import.Open(path)); // the index is gone: rebuilt, stopping at the bad tag
    EXPECT_EQ(import.GetFrameCount(), 0u);
    // Reading a cut frame through an index that still points at it.
    PatchFile(path, written.GetEntries()[0].Offset, 0xFFFF, 2);
    VX1DImport cut;
    ASSERT_TRUE(cut.Open(path));
    ASSERT_EQ(cut.GetFrameCount(), 2u);
    VAnalogueBlockFrame read;
    ASSERT_TRUE(cut.ReadFrame(0, &read));
    EXPECT_FALSE(cut.ReadFrame(1, &read)) << "a frame cut short is not a success";
    ASSERT_TRUE(cut.ReadFrame(0, &read));
    ExpectFrame(read, 3, 0);
}
