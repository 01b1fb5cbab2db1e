// Runs the real tsmhost program against a UDP socket of the test's own.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
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

/// A UDP socket on 127.0.0.1 and a port the system picks.
class VLoopbackReceiver
{
public:
    VLoopbackReceiver()
    {
        m_Fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_Fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        socklen_t length = sizeof(address);
        getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_Port = ntohs(address.sin_port);
    }
    ~VLoopbackReceiver() { close(m_Fd); }
    VLoopbackReceiver(const VLoopbackReceiver&) = delete;
    VLoopbackReceiver& operator=(const VLoopbackReceiver&) = delete;

    uint16_t GetPort() const { return m_Port; }

    /// One datagram, or nothing after five seconds.
    bool Receive(std::vector<uint8_t>& datagram, sockaddr_in& source)
    {
        pollfd entry = {m_Fd, POLLIN, 0};
        if (poll(&entry, 1, 5000) != 1)
            return false;
        datagram.resize(1024);
        socklen_t length = sizeof(source);
        const ssize_t count = recvfrom(m_Fd, datagram.data(), datagram.size(), 0,
                                       reinterpret_cast<sockaddr*>(&source), &length);
        if (count < 0)
            return false;
        datagram.resize(static_cast<size_t>(count));
        return true;
    }

private:
    int m_Fd = -1;
    uint16_t m_Port = 0;
};

} // namespace

TEST(TsmhostProgram, SendsTheMasterDatagramFromTheHalAddress)
{
    VLoopbackReceiver receiver;
    const VRunResult run = RunTsmhost("broadcast master --device 0x02000001 --rate 100.5 --hal "
                                      "127.0.0.1 --port " +
                                      std::to_string(receiver.GetPort()));
    ASSERT_EQ(run.m_ExitCode, 0) << run.m_Output;
    EXPECT_EQ(run.m_Output, "tsmhost: sent BROADCAST_CMD_MASTER (24 bytes) to 127.0.0.1:" +
                                std::to_string(receiver.GetPort()) + "\n");

    std::vector<uint8_t> datagram;
    sockaddr_in source = {};
    ASSERT_TRUE(receiver.Receive(datagram, source)) << "no datagram within 5 s";
    const std::vector<uint8_t> expected = {0x00, 0x03, 0x00, 0x05, 0x02, 0x00, 0x00, 0x01,
                                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64,
                                           0x00, 0x00, 0x01, 0xF4, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(datagram, expected);
    EXPECT_EQ(ntohl(source.sin_addr.s_addr), INADDR_LOOPBACK);
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
