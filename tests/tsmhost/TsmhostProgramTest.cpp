// Runs the real tsmhost program against a UDP socket of the test's own.
#include "support/VUdpReceiver.h"

#include <netinet/in.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace
{

struct VRunResult
{
    int m_ExitCode = -1;
    std::string m_Output; ///< standard output and standard error together
};

VRunResult RunTsmhost(const std::string& arguments)
{
    VRunResult result;
    const std::string command = std::string(TSMHOST_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    std::array<char, 256> buffer;
    size_t count = 0;
    while ((count = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        result.m_Output.append(buffer.data(), count);
    const int status = pclose(pipe);
    result.m_ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

TEST(TsmhostProgram, SendsTheMasterDatagramFromTheHalAddress)
{
    testsupport::VUdpReceiver receiver;
    const VRunResult run = RunTsmhost("broadcast master --device 0x02000001 --rate 100.5 --hal "
                                      "127.0.0.1 --port " +
                                      std::to_string(receiver.GetPort()));
    ASSERT_EQ(run.m_ExitCode, 0) << run.m_Output;
    EXPECT_EQ(run.m_Output, "tsmhost: sent BROADCAST_CMD_MASTER (24 bytes) to 127.0.0.1:" +
                                std::to_string(receiver.GetPort()) + "\n");

    const std::optional<testsupport::VDatagram> datagram =
        receiver.ReceiveFrom(std::chrono::seconds(5));
    ASSERT_TRUE(datagram) << "no datagram within 5 s";
    const std::vector<uint8_t> expected = {0x00, 0x03, 0x00, 0x05, 0x02, 0x00, 0x00, 0x01,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64,
                                           0x00, 0x00, 0x01, 0xF4, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(datagram->m_Bytes, expected);
    EXPECT_EQ(datagram->m_SourceAddress, INADDR_LOOPBACK);
}

TEST(TsmhostProgram, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(RunTsmhost("").m_ExitCode, 2);
    const VRunResult missing = RunTsmhost("broadcast sync");
    EXPECT_EQ(missing.m_ExitCode, 2);
    EXPECT_NE(missing.m_Output.find("tsmhost: --frame is needed for sync"), std::string::npos)
        << missing.m_Output;
    const VRunResult help = RunTsmhost("broadcast --help");
    EXPECT_EQ(help.m_ExitCode, 0);
    EXPECT_NE(help.m_Output.find("frame-number"), std::string::npos) << help.m_Output;
    const VRunResult commandHelp = RunTsmhost("broadcast master --help");
    EXPECT_EQ(commandHelp.m_ExitCode, 0);
    EXPECT_NE(commandHelp.m_Output.find("--rate HZ"), std::string::npos) << commandHelp.m_Output;
    const VRunResult version = RunTsmhost("--version");
    EXPECT_EQ(version.m_ExitCode, 0);
    EXPECT_EQ(version.m_Output.rfind("tsmhost ", 0), 0u) << version.m_Output;
    // An analogue rate that does not divide the 135 MHz clock into whole ticks.
    const VRunResult rate = RunTsmhost("run --analogue-rate 7");
    EXPECT_EQ(rate.m_ExitCode, 2);
    EXPECT_NE(rate.m_Output.find("--analogue-rate"), std::string::npos) << rate.m_Output;
    // An address the machine does not have cannot be sent from.
    EXPECT_EQ(RunTsmhost("broadcast test-sync --hal 192.0.2.1 --to 127.0.0.1 --port 9").m_ExitCode,
              1);
}
