#include "net/TIODataStreamBinary.h"
#include "net/VSocketDataStream.h"

#include "VSocketPair.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>

using nettest::VSocketPair;

namespace
{
std::string Bytes(std::initializer_list<unsigned> values)
{
    std::string bytes;
    for (unsigned value : values)
        bytes += static_cast<char>(value);
    return bytes;
}
} // namespace

TEST(DataStream, BinaryEncodingIsLittleEndianWithCountedStrings)
{
    std::ostringstream buffer;
    TODataStreamBinary<std::ostringstream> writer(buffer);
    EXPECT_TRUE(writer.WriteUInt16(0x1234));
    EXPECT_TRUE(writer.WriteUInt32(0x01020304));
    EXPECT_TRUE(writer.WriteInt64(-2));
    EXPECT_TRUE(writer.WriteBool(true));
    EXPECT_TRUE(writer.WriteFloat(1.0f));
    EXPECT_TRUE(writer.WriteDouble(-2.5));
    EXPECT_TRUE(writer.WriteString("abc"));
    EXPECT_TRUE(writer.WriteString(""));
    EXPECT_TRUE(writer.WriteInt8(-1));
    EXPECT_TRUE(writer.WriteInt16(-32768));
    EXPECT_TRUE(writer.Flush());

    const std::string expected = Bytes({0x34, 0x12}) + Bytes({0x04, 0x03, 0x02, 0x01}) +
                                 Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) +
                                 Bytes({0x01}) + Bytes({0x00, 0x00, 0x80, 0x3F}) +
                                 Bytes({0, 0, 0, 0, 0, 0, 0x04, 0xC0}) + Bytes({3, 0, 0, 0}) +
                                 "abc" + Bytes({0, 0, 0, 0}) + Bytes({0xFF}) + Bytes({0x00, 0x80});
    EXPECT_EQ(buffer.str(), expected);

    std::istringstream input(buffer.str());
    TIDataStreamBinary<std::istringstream> reader(input);
    uint16_t u16 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    bool flag = false;
    float f = 0;
    double d = 0;
    std::string text;
    std::string empty = "not empty";
    int8_t i8 = 0;
    int16_t i16 = 0;
    EXPECT_TRUE(reader.ReadUInt16(u16) && reader.ReadUInt32(u32) && reader.ReadInt64(i64) &&
                reader.ReadBool(flag) && reader.ReadFloat(f) && reader.ReadDouble(d) &&
                reader.ReadString(text) && reader.ReadString(empty) && reader.ReadInt8(i8) &&
                reader.ReadInt16(i16));
    EXPECT_EQ(u16, 0x1234);
    EXPECT_EQ(u32, 0x01020304u);
    EXPECT_EQ(i64, -2);
    EXPECT_TRUE(flag);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(d, -2.5);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(empty, "");
    EXPECT_EQ(i8, -1);
    EXPECT_EQ(i16, -32768);
    EXPECT_TRUE(reader.good());
    char extra = 0;
    EXPECT_FALSE(reader.ReadChar(extra));
    EXPECT_TRUE(reader.eof());
}

TEST(DataStream, ShortOrFalseInputFailsAndKeepsTheTarget)
{
    {
        std::istringstream input(Bytes({1, 2}));
        TIDataStreamBinary<std::istringstream> reader(input);
        uint32_t value = 7;
        EXPECT_FALSE(reader.ReadUInt32(value));
        EXPECT_EQ(value, 7u);
        EXPECT_TRUE(reader.eof());
        EXPECT_FALSE(reader.good());
    }
    {
        // The count promises ten bytes, three arrive.
        std::istringstream input(Bytes({10, 0, 0, 0}) + "abc");
        TIDataStreamBinary<std::istringstream> reader(input);
        std::string value = "kept";
        EXPECT_FALSE(reader.ReadString(value));
        EXPECT_EQ(value, "kept");
    }
    {
        // A count of four gigabytes is refused before anything is allocated.
        std::istringstream input(Bytes({0xFF, 0xFF, 0xFF, 0xFF}) + "abc");
        TIDataStreamBinary<std::istringstream> reader(input);
        std::string value = "kept";
        EXPECT_FALSE(reader.ReadString(value));
        EXPECT_EQ(value, "kept");
        EXPECT_TRUE(reader.fail());
        EXPECT_FALSE(reader.bad());
    }
}

TEST(DataStream, SocketStreamPairRoundTripsBothWays)
{
    VSocketPair pair;
    auto server = MakeSocketDataStream(pair.m_Server);
    auto client = MakeSocketDataStream(pair.m_Client);
    EXPECT_EQ(&GetSocketOf(*server), pair.m_Server.get());

    EXPECT_TRUE(client->WriteUInt64(std::numeric_limits<uint64_t>::max()));
    EXPECT_TRUE(client->WriteString(std::string(9000, 'z')));
    EXPECT_TRUE(client->WriteDouble(0.125));
    EXPECT_TRUE(client->Flush());

    uint64_t big = 0;
    std::string text;
    double d = 0;
    EXPECT_TRUE(server->ReadUInt64(big));
    EXPECT_TRUE(server->ReadString(text));
    EXPECT_TRUE(server->ReadDouble(d));
    EXPECT_EQ(big, std::numeric_limits<uint64_t>::max());
    EXPECT_EQ(text, std::string(9000, 'z'));
    EXPECT_EQ(d, 0.125);

    EXPECT_TRUE(server->WriteUInt32(42));
    EXPECT_TRUE(server->Flush());
    uint32_t answer = 0;
    EXPECT_TRUE(client->ReadUInt32(answer));
    EXPECT_EQ(answer, 42u);
    EXPECT_TRUE(server->good());

    // A peer gone for good: the writer notices on flush, the reader at the next read.
    pair.m_Client->Close(false);
    uint8_t byte = 0;
    EXPECT_FALSE(server->ReadUInt8(byte));
    EXPECT_TRUE(server->bad());
}
