#include "FileIO/VDataFormatInfo.h"
#include "FileIO/VMemoryBinaryStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{
std::vector<std::uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> bytes;
    for (int value : values)
    {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}
} // namespace

TEST(BinaryStream, TypedValuesAreLittleEndianBothWays)
{
    VMemoryOutputStream out;
    out.WriteU8(0x01);
    out.WriteU16(0x0302);
    out.WriteU32(0x07060504);
    out.WriteU64(0x0F0E0D0C0B0A0908ull);
    out.WriteI32(-2);
    out.WriteI64(-3);
    out.WriteF32(1.5f);
    out.WriteF64(-0.25);
    out.WriteUnsigned(0x123456, 3);
    ASSERT_TRUE(out.IsGood());
    const std::vector<std::uint8_t>& bytes = out.GetBytes();
    ASSERT_EQ(bytes.size(), 1u + 2 + 4 + 8 + 4 + 8 + 4 + 8 + 3);
    for (int i = 0; i < 15; ++i)
    {
        EXPECT_EQ(bytes[i], i + 1) << "byte " << i;
    }
    EXPECT_EQ(bytes[15], 0xFE);
    EXPECT_EQ(bytes[18], 0xFF) << "sign-extended i32";
    EXPECT_EQ(bytes[bytes.size() - 3], 0x56) << "low byte first";

    VMemoryInputStream in(bytes);
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::uint32_t u32 = 0;
    std::uint64_t u64 = 0;
    std::int32_t i32 = 0;
    std::int64_t i64 = 0;
    float f32 = 0;
    double f64 = 0;
    ASSERT_TRUE(in.ReadU8(u8) && in.ReadU16(u16) && in.ReadU32(u32) && in.ReadU64(u64) &&
                in.ReadI32(i32) && in.ReadI64(i64) && in.ReadF32(f32) && in.ReadF64(f64));
    EXPECT_EQ(u16, 0x0302);
    EXPECT_EQ(u32, 0x07060504u);
    EXPECT_EQ(u64, 0x0F0E0D0C0B0A0908ull);
    EXPECT_EQ(i32, -2);
    EXPECT_EQ(i64, -3);
    EXPECT_EQ(f32, 1.5f);
    EXPECT_EQ(f64, -0.25);
    EXPECT_EQ(in.Remaining(), 3u);
    EXPECT_EQ(LittleEndian::LoadUnsigned(bytes.data() + bytes.size() - 3, 3), 0x123456u);
}

TEST(BinaryStream, InputNeverReadsOrSeeksPastItsBytes)
{
    const std::vector<std::uint8_t> data = Bytes({1, 2, 3});
    VMemoryInputStream in(data.data(), data.size());

    // A read longer than the rest delivers nothing, keeps the value and fails the stream.
    std::uint32_t value = 77;
    EXPECT_FALSE(in.ReadU32(value));
    EXPECT_EQ(value, 77u);
    EXPECT_FALSE(in.IsGood());
    EXPECT_EQ(in.Tell(), 0u);
    std::uint8_t byte = 0;
    EXPECT_FALSE(in.ReadU8(byte)) << "a failed stream reads nothing until cleared";
    in.ClearErrors();
    EXPECT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, 1);

    // Seeking to the very end is fine; beyond it fails and parks at the end.
    EXPECT_TRUE(in.Seek(3));
    EXPECT_TRUE(in.IsGood());
    EXPECT_FALSE(in.Seek(4));
    EXPECT_FALSE(in.IsGood());
    EXPECT_EQ(in.Tell(), 3u);

    // Skip and Require fail the stream, without overflow, for counts that are not there.
    in.ClearErrors();
    in.Seek(1);
    EXPECT_TRUE(in.Require(2));
    EXPECT_TRUE(in.IsGood());
    EXPECT_FALSE(in.Require(3));
    EXPECT_FALSE(in.IsGood());
    in.ClearErrors();
    in.Seek(2);
    EXPECT_FALSE(in.Skip(~0ull));
    EXPECT_EQ(in.Tell(), 3u);

    VMemoryInputStream empty(nullptr, 10);
    EXPECT_EQ(empty.Size(), 0u) << "a null buffer has no bytes whatever its stated size";
    EXPECT_FALSE(empty.ReadU8(byte));
}

TEST(BinaryStream, OutputSeeksBackToPatchAndExtendsAtTheEnd)
{
    VMemoryOutputStream out;
    out.WriteU32(0);
    out.WriteU16(0xBBAA);
    ASSERT_TRUE(out.Seek(0));
    out.WriteU32(0x44332211);
    ASSERT_TRUE(out.Seek(6));
    out.WriteZeros(300);
    EXPECT_TRUE(out.IsGood());
    EXPECT_EQ(out.GetBytes().size(), 306u);
    EXPECT_EQ(out.GetBytes()[0], 0x11);
    EXPECT_EQ(out.GetBytes()[5], 0xBB);
    EXPECT_FALSE(out.Seek(307));
    EXPECT_FALSE(out.IsGood());
    EXPECT_FALSE(out.WriteU8(1)) << "a failed stream writes nothing until cleared";
    EXPECT_EQ(out.GetBytes().size(), 306u);
}

TEST(DataFormatInfo, WritesAndReadsItsDiskForm)
{
    VDataFormatInfo format(0xDFAA);
    format.AddFieldWithScale(0xAA00, 3, 0.5f);
    format.AddField(0xBB00, VDataFormatField::kVariableSize);
    format.AddFieldWithU32(0xAA04, 0, 7);

    VMemoryOutputStream out;
    ASSERT_TRUE(format.Write(out));
    const std::vector<std::uint8_t> expected = Bytes({
        0xAA, 0xDF, 3,    0,    0,    0,                               // id, field count
        0x00, 0xAA, 3,    0,    0,    0,    4, 0, 0, 0, 0, 0, 0, 0x3F, // key, size, 4 bytes of 0.5f
        0x00, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0,                // variable, no parameters
        0x04, 0xAA, 0,    0,    0,    0,    4, 0, 0, 0, 7, 0, 0, 0,    // u32 parameter
    });
    EXPECT_EQ(out.GetBytes(), expected);

    VMemoryInputStream in(out.GetBytes());
    VDataFormatInfo read;
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(read, format);
    EXPECT_TRUE(read.GetFields()[1].IsVariable());
    EXPECT_EQ(in.Remaining(), 0u);
}

TEST(DataFormatInfo, RejectsCountsTheBytesCannotHoldWithoutChangingItself)
{
    VDataFormatInfo format(0x1234);
    format.AddField(1, 2);
    const VDataFormatInfo before = format;

    // A field count of 2^32 - 1 with a few bytes behind it: refused before allocating.
    VMemoryInputStream hugeCount(Bytes({0xAA, 0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}));
    EXPECT_FALSE(format.Read(hugeCount));
    EXPECT_FALSE(hugeCount.IsGood());
    EXPECT_EQ(format, before);

    // A parameter length past the end.
    VMemoryInputStream longParameters(
        Bytes({0xAA, 0xDF, 1, 0, 0, 0, 0, 0xAA, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2}));
    EXPECT_FALSE(format.Read(longParameters));
    EXPECT_FALSE(longParameters.IsGood());
    EXPECT_EQ(format, before);

    // Truncated inside the identifier.
    VMemoryInputStream truncated(Bytes({0xAA}));
    EXPECT_FALSE(format.Read(truncated));
    EXPECT_EQ(format, before);
}
