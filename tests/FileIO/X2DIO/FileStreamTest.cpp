#include "FileIO/X2DIO/VIndexTable.h"
#include "FileIO/X2DIO/ifstream64.h"
#include "FileIO/X2DIO/ofstream64.h"
#include "FileIO/VMemoryBinaryStream.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace TrialTest;

namespace
{
constexpr std::uint64_t kMiB = 1u << 20;

/// Byte i of the pattern files: distinct across buffer boundaries.
std::uint8_t PatternByte(std::uint64_t i)
{
    return static_cast<std::uint8_t>((i * 131) ^ (i >> 16));
}

std::string WritePattern(const VTempDir& dir, std::uint64_t size)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::uint64_t i = 0; i < size; ++i)
    {
        bytes[i] = PatternByte(i);
    }
    const std::string path = dir.File("pattern.bin");
    WriteBytes(path, bytes);
    return path;
}
} // namespace

TEST(FileStream, ReadsAcrossBufferRefillsAndSeeksAnywhere)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::uint64_t size = 3 * kMiB + 12345;
    const std::string path = WritePattern(dir, size);

    ifstream64 in(1);
    ASSERT_TRUE(in.Open(path));
    EXPECT_EQ(in.Size(), size);
    EXPECT_EQ(in.GetFileSize(), size);
    EXPECT_EQ(in.GetBufferSize(), kMiB);

    // Reads of odd sizes walk over every buffer boundary.
    std::vector<std::uint8_t> chunk(4093);
    std::uint64_t position = 0;
    while (position + chunk.size() <= size)
    {
        ASSERT_TRUE(in.Read(chunk.data(), chunk.size())) << "at " << position;
        for (std::size_t i = 0; i < chunk.size(); i += 509)
        {
            ASSERT_EQ(chunk[i], PatternByte(position + i)) << "at " << position + i;
        }
        position += chunk.size();
    }
    EXPECT_EQ(in.Tell(), position);

    // Back into an earlier part, inside the buffer, and a read larger than the buffer.
    ASSERT_TRUE(in.Seek(17));
    std::uint8_t byte = 0;
    ASSERT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, PatternByte(17));
    ASSERT_TRUE(in.Seek(size - 10));
    ASSERT_TRUE(in.Seek(size - 20));
    ASSERT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, PatternByte(size - 20));
    std::vector<std::uint8_t> big(2 * kMiB + 3);
    ASSERT_TRUE(in.Seek(1000));
    ASSERT_TRUE(in.Read(big.data(), big.size()));
    EXPECT_EQ(big.front(), PatternByte(1000));
    EXPECT_EQ(big.back(), PatternByte(1000 + big.size() - 1));
    EXPECT_EQ(in.Tell(), 1000 + big.size());
    ASSERT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, PatternByte(1000 + big.size()));
    EXPECT_TRUE(in.IsGood());
}

TEST(FileStream, EndOfFileRulesAndStickyFlags)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = WritePattern(dir, 100);
    ifstream64 in;
    ASSERT_TRUE(in.Open(path));

    // Seeking to the size is fine and is the end; a read from there fails at once.
    EXPECT_TRUE(in.Seek(100));
    EXPECT_TRUE(in.AtEnd());
    std::uint8_t byte = 0xEE;
    EXPECT_FALSE(in.ReadU8(byte));
    EXPECT_EQ(byte, 0xEE);
    EXPECT_EQ(in.GetErrorFlags(), fstream64::kShortReadFlag);
    in.ClearErrors();

    // A read running past the end delivers nothing and sets the short-read flag.
    ASSERT_TRUE(in.Seek(98));
    std::uint32_t value = 7;
    EXPECT_FALSE(in.ReadU32(value));
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(in.Tell(), 98u);
    EXPECT_TRUE(in.GetErrorFlags() & fstream64::kShortReadFlag);

    // Flags stay until cleared: even a read that would fit fails.
    EXPECT_FALSE(in.ReadU8(byte));
    in.ClearErrors();
    EXPECT_TRUE(in.ReadU8(byte));
    EXPECT_EQ(byte, PatternByte(98));

    // Seeking beyond the size fails, leaves the stream at the end, sets the fail flag.
    EXPECT_FALSE(in.Seek(101));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(in.GetErrorFlags(), fstream64::kFailFlag);
    EXPECT_FALSE(in.IsGood());
    in.ClearErrors();
    EXPECT_TRUE(in.Seek(0));
    EXPECT_TRUE(in.IsGood());
}

TEST(FileStream, OpenRefusesMissingFilesAndFolders)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    ifstream64 in;
    EXPECT_FALSE(in.Open(dir.File("missing.x2d")));
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.GetFileSize(), fstream64::kUnknownSize);
    ::mkdir(dir.File("folder").c_str(), 0700);
    EXPECT_FALSE(in.Open(dir.File("folder")));
    std::uint8_t byte = 0;
    EXPECT_FALSE(in.ReadU8(byte));
    EXPECT_FALSE(in.Seek(0));

    // An empty file opens and is at its end.
    WriteBytes(dir.File("empty"), {});
    ASSERT_TRUE(in.Open(dir.File("empty")));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_TRUE(in.IsGood());
    EXPECT_FALSE(in.ReadU8(byte));
}

TEST(FileStream, WriterPatchesBackwardsAndExtendsWithAHole)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("out.bin");
    ofstream64 out(1);
    ASSERT_TRUE(out.Open(path));
    out.WriteU32(0);
    std::vector<std::uint8_t> large(kMiB + 5, 0xAB); // larger than the buffer
    out.Write(large.data(), large.size());
    out.WriteU16(0x1234);
    const std::uint64_t end = out.Tell();
    EXPECT_EQ(end, 4 + large.size() + 2);
    ASSERT_TRUE(out.Seek(0));
    out.WriteU32(0xCAFEF00D);
    ASSERT_TRUE(out.Seek(end));
    EXPECT_FALSE(out.Seek(end + 1)) << "seeking past the bytes written fails";
    out.ClearErrors();
    ASSERT_TRUE(out.Extend(end + 3 * kMiB));
    ASSERT_TRUE(out.Seek(end + 3 * kMiB));
    out.WriteU8(0x77);
    ASSERT_TRUE(out.Finish());

    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    ASSERT_EQ(bytes.size(), end + 3 * kMiB + 1);
    EXPECT_EQ(LittleEndian::LoadU32(bytes.data()), 0xCAFEF00Du);
    EXPECT_EQ(bytes[4 + large.size() - 1], 0xAB);
    EXPECT_EQ(LittleEndian::LoadU16(bytes.data() + end - 2), 0x1234);
    EXPECT_EQ(bytes[end + 100], 0) << "the hole reads as zeros";
    EXPECT_EQ(bytes.back(), 0x77);

    EXPECT_FALSE(out.Write(bytes.data(), 1)) << "a closed writer refuses";
    EXPECT_FALSE(out.Open(dir.File("no/such/folder/file")));
}

TEST(IndexTable, RoundTripsBothOffsetWidthsAndFindsTheFirstEntry)
{
    for (const bool offsets64 : {true, false})
    {
        SCOPED_TRACE(offsets64 ? "64-bit" : "32-bit");
        VIndexTable table;
        table.Set64BitOffsets(offsets64);
        table.Add(10, 100);
        table.Add(11, 0x7FFFFFFF);
        table.Add(10, 300);
        VMemoryOutputStream out;
        ASSERT_TRUE(table.Write(out));
        EXPECT_EQ(out.GetBytes().size(), table.DiskSize());
        EXPECT_EQ(table.DiskSize(), offsets64 ? 4u + 3 * 12 : 4u + 3 * 8);

        VIndexTable read;
        read.Set64BitOffsets(offsets64);
        VMemoryInputStream in(out.GetBytes());
        ASSERT_TRUE(read.Read(in));
        EXPECT_EQ(read.GetEntries(), table.GetEntries());
        std::uint32_t index = 99;
        ASSERT_TRUE(read.FindByFrameNumber(10, index));
        EXPECT_EQ(index, 0u);
        EXPECT_FALSE(read.FindByFrameNumber(12, index));
        std::vector<std::uint32_t> numbers;
        read.GetFrameNumbers(numbers);
        EXPECT_EQ(numbers, (std::vector<std::uint32_t>{10, 11, 10}));
        VIndexEntry entry;
        EXPECT_FALSE(read.GetEntry(3, entry));
    }

    // A 32-bit offset is widened with its sign; one that does not fit is not written.
    VMemoryOutputStream narrow;
    narrow.WriteU32(1);
    narrow.WriteU32(5);
    narrow.WriteI32(-2);
    VIndexTable read;
    read.Set64BitOffsets(false);
    VMemoryInputStream in(narrow.GetBytes());
    ASSERT_TRUE(read.Read(in));
    EXPECT_EQ(read.GetEntries()[0].Offset, 0xFFFFFFFFFFFFFFFEull);
    VIndexTable tooFar;
    tooFar.Set64BitOffsets(false);
    tooFar.Add(1, 0x80000000ull);
    VMemoryOutputStream out;
    EXPECT_FALSE(tooFar.Write(out));
}

TEST(IndexTable, CountBeyondTheDataFailsWithoutAllocating)
{
    VMemoryOutputStream out;
    out.WriteU32(0xFFFFFFFF);
    out.WriteU32(1);
    out.WriteU64(2);
    VIndexTable table;
    table.Add(1, 1);
    VMemoryInputStream in(out.GetBytes());
    EXPECT_FALSE(table.Read(in));
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_FALSE(in.IsGood());
}
