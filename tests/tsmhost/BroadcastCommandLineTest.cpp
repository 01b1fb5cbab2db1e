#include "tsmhost/BroadcastCommandLine.h"

#include <gtest/gtest.h>

namespace
{

VBroadcastRequest Parse(std::vector<std::string> args)
{
    VBroadcastRequest request;
    std::string error;
    EXPECT_TRUE(ParseBroadcastCommandLine(args, request, error)) << error;
    return request;
}

std::string ParseError(std::vector<std::string> args)
{
    VBroadcastRequest request;
    std::string error;
    EXPECT_FALSE(ParseBroadcastCommandLine(args, request, error)) << args.at(0);
    return error;
}

} // namespace

TEST(BroadcastCommandLine, MasterOnLoopbackGoesToTheHalAddress)
{
    const VBroadcastRequest request =
        Parse({"master", "--device", "0x02000001", "--rate", "100.5", "--hal", "127.0.0.1"});
    EXPECT_EQ(request.m_Name, "BROADCAST_CMD_MASTER");
    EXPECT_EQ(request.m_Words, (std::vector<uint32_t>{0x00030005, 0x02000001, 0, 100, 500, 0}));
    EXPECT_EQ(request.m_Source.ToString(), "127.0.0.1");
    EXPECT_EQ(request.m_Destination.ToString(), "127.0.0.1");
    EXPECT_EQ(request.m_Port, 8666);
}

TEST(BroadcastCommandLine, EveryCommandIsReachableByName)
{
    struct VCase
    {
        std::vector<std::string> m_Args;
        std::vector<uint32_t> m_Words;
    };
    const VCase cases[] = {
        {{"sync", "--frame", "42"}, {0x00010001, 42}},
        {{"reset", "--device", "all"}, {0x00020001, 0xFFFFFFFF}},
        {{"master", "--rate", "50", "--device", "none", "--surrogate"},
         {0x00030005, 0xFFFFFFFF, 1, 50, 0, 0}},
        {{"awake", "--device", "3"}, {0x00040006, 0, 3}},
        {{"preview", "--device", "3", "--on"}, {0x00050002, 3, 1}},
        {{"alive-ping", "--device", "3"}, {0x00060007, 0, 3}},
        {{"frame-number", "--frame", "0xFFFFFFFF"}, {0x00070001, 0xFFFFFFFF}},
        {{"data-disable", "--flags", "1"}, {0x00080001, 1}},
        {{"strobe-disable", "--flags", "0x2"}, {0x00090001, 2}},
        {{"test-sync"}, {0x000A0001}},
        {{"system-event", "--type", "0x10"}, {0x000B0001, 0x10}},
        {{"raw", "0x00030001", "7"}, {0x00030001, 7}},
    };
    for (const VCase& c : cases)
        EXPECT_EQ(Parse(c.m_Args).m_Words, c.m_Words) << c.m_Args[0];
}

TEST(BroadcastCommandLine, DestinationDefaultsFollowTheHalAddress)
{
    // No HAL address: local use.
    EXPECT_EQ(Parse({"test-sync"}).m_Destination.ToString(), "127.0.0.1");
    EXPECT_TRUE(Parse({"test-sync"}).m_Source.IsEmpty());
    // A HAL on a real network broadcasts.
    EXPECT_EQ(Parse({"test-sync", "--hal", "10.9.0.2"}).m_Destination.ToString(),
              "255.255.255.255");
    // An explicit destination and port win.
    const VBroadcastRequest request =
        Parse({"test-sync", "--hal", "10.9.0.2", "--to", "10.9.0.255", "--port", "9999"});
    EXPECT_EQ(request.m_Destination.ToString(), "10.9.0.255");
    EXPECT_EQ(request.m_Port, 9999);
}

TEST(BroadcastCommandLine, RejectsMissingAndMalformedValues)
{
    EXPECT_EQ(ParseError({}), "no command given");
    // Words the command line does not know are named by CLI11's own messages.
    EXPECT_NE(ParseError({"launch"}).find("launch"), std::string::npos);
    EXPECT_EQ(ParseError({"master", "--device", "1"}), "--rate is needed for master");
    EXPECT_EQ(ParseError({"master", "--rate", "1"}), "--device is needed for master");
    EXPECT_EQ(ParseError({"preview", "--device", "1"}), "--on or --off is needed for preview");
    EXPECT_EQ(ParseError({"sync"}), "--frame is needed for sync");
    EXPECT_EQ(ParseError({"raw"}), "at least one word is needed for raw");
    EXPECT_NE(ParseError({"sync", "--frame"}).find("--frame"), std::string::npos);
    EXPECT_NE(ParseError({"sync", "--speed", "1"}).find("--speed"), std::string::npos);
    // Options belong to the commands that use them, and one command goes per datagram.
    EXPECT_NE(ParseError({"sync", "--frame", "1", "--device", "2"}).find("--device"),
              std::string::npos);
    EXPECT_FALSE(ParseError({"sync", "--frame", "1", "reset", "--device", "2"}).empty());
    for (const char* bad : {"", "-1", "+1", "4294967296", "0x", "0x100000000", "12a", "1.5"})
        EXPECT_EQ(ParseError({"sync", "--frame", bad}),
                  std::string("bad value \"") + bad + "\" for --frame");
    for (const char* bad : {"-1", "1e3", "inf", "nan", "1,5", "4294967296"})
        EXPECT_EQ(ParseError({"master", "--device", "1", "--rate", bad}),
                  std::string("bad value \"") + bad + "\" for --rate");
    EXPECT_EQ(ParseError({"sync", "--frame", "1", "--hal", "1.2.3"}),
              "bad value \"1.2.3\" for --hal");
    EXPECT_EQ(ParseError({"sync", "--frame", "1", "--port", "0"}), "bad value \"0\" for --port");
    EXPECT_EQ(ParseError({"sync", "--frame", "1", "--port", "65536"}),
              "bad value \"65536\" for --port");
    EXPECT_EQ(ParseError({"raw", "0x1", "x"}), "\"x\" is not a 32-bit number");
    EXPECT_EQ(ParseError({"preview", "--device", "1", "--on", "--off"}).find("--on"), 0u);
}

TEST(BroadcastCommandLine, ValuesMayFollowAnEqualsSign)
{
    const VBroadcastRequest request =
        Parse({"master", "--device=0x02000001", "--rate=100.5", "--port=9999"});
    EXPECT_EQ(request.m_Words, (std::vector<uint32_t>{0x00030005, 0x02000001, 0, 100, 500, 0}));
    EXPECT_EQ(request.m_Port, 9999);
}
