#include "FileIO/VMemoryBinaryStream.h"
#include "FileIO/X2DIO/VAnalogueSourceSetHeader.h"
#include "FileIO/X2DIO/VBoundedInputStream.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "FileIO/X2DIO/VStartTimecodeHeader.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

using namespace TrialTest;

namespace
{
template <typename Header> std::vector<std::uint8_t> Encode(const Header& header)
{
    VMemoryOutputStream out;
    EXPECT_TRUE(header.Write(out));
    return out.GetBytes();
}

/// A camera information content whose camera list has the given record format and raw
/// record bytes.
std::vector<std::uint8_t> CameraContent(const VDataFormatInfo& recordFormat, std::uint32_t count,
                                        const std::vector<std::uint8_t>& records)
{
    VMemoryOutputStream out;
    VDataFormatInfo format(VCameraInfoHeader::kHeaderFormatId);
    format.AddField(VCameraInfoHeader::kKeySystemFrameRate, 8);
    format.AddField(VCameraInfoHeader::kKeyCameraList, VDataFormatField::kVariableSize);
    format.Write(out);
    out.WriteF64(250.0);
    VMemoryOutputStream list;
    recordFormat.Write(list);
    list.WriteU32(count);
    list.Write(records.data(), records.size());
    out.WriteU32(static_cast<std::uint32_t>(list.GetBytes().size() + 4));
    out.Write(list.GetBytes().data(), list.GetBytes().size());
    return out.GetBytes();
}
} // namespace

TEST(CameraInfoHeader, RoundTripsEveryFieldOfEveryCamera)
{
    VCameraInfoHeader header;
    header.SetCameras({MakeCamera(1), MakeCamera(12), CameraInfoRecord()});
    header.SetSystemFrameRate(100.0);
    const std::vector<std::uint8_t> bytes = Encode(header);

    VCameraInfoHeader read;
    VMemoryInputStream in(bytes);
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(in.Tell(), bytes.size()) << "the content is consumed exactly";
    EXPECT_EQ(read.GetCameras(), header.GetCameras());
    EXPECT_EQ(read.GetSystemFrameRate(), 100.0);
    EXPECT_EQ(read.GetCameras()[1].GroupsAA10[1][4], 4000000000u);
}

TEST(CameraInfoHeader, AbsentKeysKeepDefaultsAndUnknownKeysAreSkipped)
{
    // A record format without 0xAA11 (and most other keys), with two unknown fields.
    VDataFormatInfo format(VCameraInfoHeader::kRecordFormatId);
    format.AddField(0xAB00, 3);
    format.AddField(CameraInfoRecord::kKeyCameraId, 4);
    format.AddField(0xAB01, VDataFormatField::kVariableSize);
    format.AddField(CameraInfoRecord::kKeyTypeName, VDataFormatField::kVariableSize);
    VMemoryOutputStream records;
    for (std::uint32_t id : {5u, 6u})
    {
        records.WriteZeros(3);
        records.WriteU32(id);
        records.WriteU32(4 + 2); // unknown variable field: its length counts itself
        records.WriteU16(0xFFFF);
        records.WriteU32(4 + 3);
        records.Write("cam", 3);
    }
    const std::vector<std::uint8_t> bytes = CameraContent(format, 2, records.GetBytes());
    VCameraInfoHeader read;
    VMemoryInputStream in(bytes);
    ASSERT_TRUE(read.Read(in));
    ASSERT_EQ(read.GetCameras().size(), 2u);
    for (const CameraInfoRecord& camera : read.GetCameras())
    {
        EXPECT_EQ(camera.CameraValue, -1.0);
        EXPECT_EQ(camera.RealAA03, 1.0);
        EXPECT_EQ(camera.UnsignedAA07, 10000u);
        EXPECT_EQ(camera.SensorWidth, 0u);
        EXPECT_EQ(camera.TypeName, "cam");
    }
    EXPECT_EQ(read.GetCameras()[1].CameraId, 6u);
    EXPECT_EQ(read.GetSystemFrameRate(), 250.0);
}

TEST(CameraInfoHeader, HostileCountsAndLengthsAreBounded)
{
    VDataFormatInfo format(VCameraInfoHeader::kRecordFormatId);
    format.AddField(CameraInfoRecord::kKeyTypeName, VDataFormatField::kVariableSize);

    // A count far beyond the bytes: refused before allocating, the old list kept.
    {
        VCameraInfoHeader read;
        read.SetCameras({MakeCamera(3)});
        const std::vector<std::uint8_t> bytes = CameraContent(format, 0xFFFFFFFF, {0, 0, 0, 0});
        VMemoryInputStream in(bytes);
        EXPECT_FALSE(read.Read(in));
        EXPECT_EQ(read.GetCameras().size(), 1u);
    }
    // A record format of no bytes at all: the count is still held to the bytes left.
    {
        VCameraInfoHeader read;
        const std::vector<std::uint8_t> bytes =
            CameraContent(VDataFormatInfo(VCameraInfoHeader::kRecordFormatId), 1000000, {});
        VMemoryInputStream in(bytes);
        EXPECT_FALSE(read.Read(in));
        EXPECT_TRUE(read.GetCameras().empty());
    }
    // A text length below 4 is an empty text; one beyond the bytes fails.
    {
        VMemoryOutputStream records;
        records.WriteU32(2);
        records.WriteU32(1000);
        records.Write("abc", 3);
        VCameraInfoHeader read;
        const std::vector<std::uint8_t> bytes = CameraContent(format, 2, records.GetBytes());
        VMemoryInputStream in(bytes);
        EXPECT_FALSE(read.Read(in));
        // The records read whole are kept; the one cut short is not.
        ASSERT_EQ(read.GetCameras().size(), 1u);
        EXPECT_EQ(read.GetCameras()[0].TypeName, "");
    }
    // Within a bounded view a text may not reach past the block.
    {
        VMemoryOutputStream records;
        records.WriteU32(4 + 8);
        records.Write("12345678", 8);
        const std::vector<std::uint8_t> bytes = CameraContent(format, 1, records.GetBytes());
        VMemoryInputStream whole(bytes);
        VBoundedInputStream block(whole, bytes.size() - 1);
        VCameraInfoHeader read;
        EXPECT_FALSE(read.Read(block));
        EXPECT_TRUE(read.GetCameras().empty());
        EXPECT_TRUE(whole.IsGood()) << "only the view failed";
    }
}

TEST(CameraInfoHeader, GroupTextIsReadUpToItsCountAndItsNumbers)
{
    VDataFormatInfo format(VCameraInfoHeader::kRecordFormatId);
    format.AddField(CameraInfoRecord::kKeyGroupsAA10, VDataFormatField::kVariableSize);
    const std::string texts[] = {"2 1 2 3 4 5\t6 7 8 9 10 11", "9 1 2 3 4 5 6 7", "x 1 2 3 4 5",
                                 "1 1 2 3 4 99999999999", ""};
    const std::size_t expected[] = {2, 1, 0, 0, 0};
    for (std::size_t t = 0; t < std::size(texts); ++t)
    {
        SCOPED_TRACE(texts[t]);
        VMemoryOutputStream records;
        records.WriteU32(static_cast<std::uint32_t>(texts[t].size() + 4));
        records.Write(texts[t].data(), texts[t].size());
        const std::vector<std::uint8_t> bytes = CameraContent(format, 1, records.GetBytes());
        VMemoryInputStream in(bytes);
        VCameraInfoHeader read;
        ASSERT_TRUE(read.Read(in));
        ASSERT_EQ(read.GetCameras().size(), 1u);
        EXPECT_EQ(read.GetCameras()[0].GroupsAA10.size(), expected[t]);
    }
}

TEST(StartTimecodeHeader, RoundTripsAndSkipsOtherKeys)
{
    VStartTimecodeHeader header;
    header.SetText("10 0 0 0 0 0 1 4");
    const std::vector<std::uint8_t> bytes = Encode(header);
    VStartTimecodeHeader read;
    VMemoryInputStream in(bytes);
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(read.GetText(), header.GetText());

    VMemoryOutputStream other;
    VDataFormatInfo format(VStartTimecodeHeader::kFormatId);
    format.AddField(0x5C02, 2);
    format.AddField(VStartTimecodeHeader::kKeyTimecodeText, VDataFormatField::kVariableSize);
    format.Write(other);
    other.WriteU16(0xAAAA);
    other.WriteU32(4 + 2);
    other.Write("12", 2);
    VMemoryInputStream in2(other.GetBytes());
    VStartTimecodeHeader read2;
    ASSERT_TRUE(read2.Read(in2));
    EXPECT_EQ(read2.GetText(), "12");
}

TEST(AnalogueSourceSetHeader, RoundTripsSetsAndSources)
{
    VAnalogueSourceSetSpec first;
    first.Value = 3;
    first.FirstText.Assign("first");
    first.SecondText.Assign("second");
    first.Reals[0] = 1.5;
    first.Reals[1] = -2.0;
    first.Reals[2] = 1e9;
    first.Sources = {{1}, {2}, {0xFFFFFFFF}};
    VAnalogueSourceSetSpec second;
    second.Value = 4;
    VAnalogueSourceSetHeader header;
    header.SetSets({first, second});
    const std::vector<std::uint8_t> bytes = Encode(header);

    VAnalogueSourceSetHeader read;
    VMemoryInputStream in(bytes);
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(in.Tell(), bytes.size());
    EXPECT_EQ(read.GetSets(), header.GetSets());
    EXPECT_EQ(read.GetFirstValue(), 135000000u);
    EXPECT_EQ(read.GetSecondValue(), 0u);
}

TEST(AnalogueSourceSetHeader, MissingKeysGiveEmptyListsAndZeroValues)
{
    // Sets written without 0xAA03; sources written without 0xAA05 (an unknown key instead).
    VAnalogueSourceSetSpec set;
    set.Value = 8;
    set.Sources = {{5}};
    VAnalogueSourceSetHeader noSources;
    VDataFormatInfo setFormat(VAnalogueSourceSetHeader::kSetFormatId);
    setFormat.AddField(VAnalogueSourceSetSpec::kKeyValue, 4);
    noSources.SetRecordFormat(setFormat);
    noSources.SetSets({set});
    VAnalogueSourceSetHeader read;
    {
        const std::vector<std::uint8_t> bytes = Encode(noSources);
        VMemoryInputStream in(bytes);
        ASSERT_TRUE(read.Read(in));
        ASSERT_EQ(read.GetSets().size(), 1u);
        EXPECT_EQ(read.GetSets()[0].Value, 8u);
        EXPECT_TRUE(read.GetSets()[0].Sources.empty());
        EXPECT_TRUE(read.GetSets()[0].FirstText.Str().empty());
    }
    VAnalogueSourceSetHeader noValue;
    VDataFormatInfo sourceFormat(VAnalogueSourceSetHeader::kSourceFormatId);
    sourceFormat.AddField(0xAA06, 4);
    noValue.SetSourceFormat(sourceFormat);
    noValue.SetSets({set});
    {
        const std::vector<std::uint8_t> bytes = Encode(noValue);
        VMemoryInputStream in(bytes);
        ASSERT_TRUE(read.Read(in));
        ASSERT_EQ(read.GetSets().size(), 1u);
        ASSERT_EQ(read.GetSets()[0].Sources.size(), 1u);
        EXPECT_EQ(read.GetSets()[0].Sources[0].Value, 0u);
    }
}

TEST(AnalogueSourceSetHeader, HugeCountsAreRefused)
{
    VMemoryOutputStream out;
    VDataFormatInfo format(VAnalogueSourceSetHeader::kHeaderFormatId);
    format.AddField(VAnalogueSourceSetHeader::kKeySets, VDataFormatField::kVariableSize);
    format.Write(out);
    out.WriteU32(12);
    out.WriteU32(0x7FFFFFFF);
    out.WriteU32(0);
    VAnalogueSourceSetHeader read;
    VMemoryInputStream in(out.GetBytes());
    EXPECT_FALSE(read.Read(in));
    EXPECT_TRUE(read.GetSets().empty());
}
