// The manager's log line for every broadcast command, and the datagrams it drops.
#include "devices/VFakeDeviceManager.h"

#include "support/BroadcastDatagrams.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

std::string LineFor(const std::vector<uint8_t>& datagram)
{
    // An exact-size heap copy, so that a sanitizer build catches any read past the end.
    const std::vector<uint8_t> exact(datagram.begin(), datagram.end());
    return VFakeDeviceManager::FormatBroadcastLogLine(exact.data(), exact.size());
}

std::string DropLineFor(const std::vector<uint8_t>& datagram)
{
    const std::vector<uint8_t> exact(datagram.begin(), datagram.end());
    return VFakeDeviceManager::FormatBroadcastDropLine(exact.data(), exact.size());
}

std::vector<uint8_t> Cut(std::vector<uint8_t> datagram, size_t length)
{
    datagram.resize(length);
    return datagram;
}

} // namespace

TEST(BroadcastLogLine, EveryCommandHasItsExactLine)
{
    const std::pair<std::vector<uint8_t>, std::string> cases[] = {
        {Datagram({0x00010001, 1000}),
         "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 1000)\n"},
        {Datagram({0x00020001, 0xFFFFFFFF}),
         "Received broadcast command: 00020001 (BROADCAST_CMD_RESET, device = -1)\n"},
        {Datagram({0x00030005, 0x02000001, 1, 100, 500, 0}),
         "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)\n"},
        {Datagram({0x00040006, 7, 3}),
         "Received broadcast command: 00040006 (BROADCAST_CMD_AWAKE, device = 3)\n"},
        {Datagram({0x00050002, 4, 1}),
         "Received broadcast command: 00050002 (BROADCAST_CMD_PREVIEW, device = 4)\n"},
        {Datagram({0x00060007, 7, 5}),
         "Received broadcast command: 00060007 (BROADCAST_CMD_ALIVE_PING, device = 5)\n"},
        {Datagram({0x00070001, 0x80000000}),
         "Received broadcast command: 00070001 (BROADCAST_CMD_FRAME_NUMBER, frame = "
         "-2147483648)\n"},
        {Datagram({0x00080001, 1}),
         "Received broadcast command: 00080001 (BROADCAST_CMD_DATA_DISABLE, flags = "
         "0x00000001)\n"},
        {Datagram({0x00090001, 0xABCDEF01}),
         "Received broadcast command: 00090001 (BROADCAST_CMD_STROBE_DISABLE, flags = "
         "0xABCDEF01)\n"},
        {Datagram({0x000A0001}),
         "Received broadcast command: 000A0001 (BROADCAST_CMD_TEST_SYNC)\n"},
        {Datagram({0x000B0001, 0x10}),
         "Received broadcast command: 000B0001 (BROADCAST_CMD_SYSTEM_EVENT, type = 0x00000010)\n"},
        // The log names the full code: an unexpected low half is unknown.
        {Datagram({0x00030001, 0x02000001, 0, 100, 0, 0}),
         "Received broadcast command: 00030001 (unknown)\n"},
        {Datagram({0x00000000}), "Received broadcast command: 00000000 (unknown)\n"},
        {Datagram({0xDEADBEEF}), "Received broadcast command: DEADBEEF (unknown)\n"},
        // Trailing bytes beyond the command's words change nothing.
        {Datagram({0x00010001, 5, 0xFFFFFFFF, 9}),
         "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, frame = 5)\n"},
    };
    for (const auto& [datagram, line] : cases)
        EXPECT_EQ(LineFor(datagram), line);
}

TEST(BroadcastLogLine, DatagramsShortOfTheirFamilysWordsAreShownThenDropped)
{
    // Empty, or not even a whole code word: no log line, at most the drop line.
    EXPECT_EQ(LineFor({}), "");
    EXPECT_EQ(LineFor({0x00, 0x0A, 0x00}), "");
    EXPECT_EQ(VFakeDeviceManager::FormatBroadcastLogLine(nullptr, 8), "");
    EXPECT_EQ(DropLineFor({0x00, 0x0A, 0x00}),
              "Dropped a broadcast datagram of 3 bytes: too short for a command\n");
    EXPECT_EQ(DropLineFor({}), "") << "empty datagrams come from any sender: not a word";

    // A known family short of its words: the log line with 0 for what is missing, then
    // the drop line; at its minimum, the log line alone.
    EXPECT_EQ(LineFor(Datagram({0x00070001})),
              "Received broadcast command: 00070001 (BROADCAST_CMD_FRAME_NUMBER, frame = 0)\n");
    EXPECT_EQ(DropLineFor(Datagram({0x00070001})),
              "Dropped broadcast command 00070001: 4 bytes is too short, the command needs 8\n");
    EXPECT_EQ(LineFor(Cut(Datagram({0x00040006, 0, 9}), 10)),
              "Received broadcast command: 00040006 (BROADCAST_CMD_AWAKE, device = 0)\n");
    const std::pair<std::vector<uint8_t>, size_t> minimums[] = {
        {Datagram({0x00010001, 1}), 8},
        {Datagram({0x00020001, 1}), 8},
        {Datagram({0x00030005, 1, 0, 100, 0, 0}), 24},
        {Datagram({0x00040006, 0, 1}), 12},
        {Datagram({0x00050002, 1, 1}), 12},
        {Datagram({0x00060007, 0, 1}), 12},
        {Datagram({0x00070001, 1}), 8},
        {Datagram({0x00080001, 1}), 8},
        {Datagram({0x00090001, 1}), 8},
        {Datagram({0x000B0001, 1}), 8},
        // Devices act on the family, so an unknown low half still needs the family's words.
        {Datagram({0x00030001, 1, 0, 100, 0, 0}), 24},
        {Datagram({0x00010002, 1}), 8},
    };
    for (const auto& [datagram, minimum] : minimums)
    {
        SCOPED_TRACE("family " + std::to_string(int{datagram[1]}));
        EXPECT_NE(LineFor(Cut(datagram, minimum)), "");
        EXPECT_EQ(DropLineFor(Cut(datagram, minimum)), "");
        for (const size_t length : {minimum - 1, size_t{4}})
        {
            EXPECT_NE(LineFor(Cut(datagram, length)), "");
            EXPECT_NE(DropLineFor(Cut(datagram, length))
                          .find(": " + std::to_string(length) +
                                " bytes is too short, the command needs " +
                                std::to_string(minimum) + "\n"),
                      std::string::npos);
        }
    }
}
