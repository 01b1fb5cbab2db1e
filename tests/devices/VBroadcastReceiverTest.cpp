// The receive thread and its HAL filter, on an ephemeral loopback port.
#include "devices/VBroadcastReceiver.h"

#include "support/BroadcastDatagrams.h"
#include "support/VDatagramLog.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <thread>

using namespace testsupport;

namespace
{

class VRecordingReceiver : public VBroadcastReceiver
{
public:
    explicit VRecordingReceiver(uint32_t local = kLoopback)
        : VBroadcastReceiver(htonl(local), htonl(kLoopback))
    {
    }
    ~VRecordingReceiver() override { Stop(); }

    VDatagramLog m_Log;

protected:
    void OnBroadcastCommand(const uint8_t* data, size_t length) override
    {
        m_Log.Add(data, length);
    }
};

} // namespace

TEST(BroadcastReceiver, DeliversOnlyTheHalsDatagramsIntact)
{
    VRecordingReceiver receiver;
    ASSERT_TRUE(receiver.Start(0));
    const uint16_t port = receiver.GetPort();
    ASSERT_NE(port, 0);

    const std::vector<uint8_t> fromOther = Datagram({0x00010001, 1});
    const std::vector<uint8_t> fromHal = Datagram({0x00030005, 0x02000001, 1, 100, 500, 0});
    ASSERT_TRUE(SendFrom(kOtherLoopback, port, fromOther));
    ASSERT_TRUE(SendFrom(kLoopback, port, fromHal));
    ASSERT_TRUE(receiver.m_Log.WaitFor(1)) << "the HAL's datagram did not arrive within 5 s";

    // Loopback keeps the order, so the other host's datagram was seen and dropped.
    EXPECT_EQ(receiver.m_Log.Datagrams(), std::vector<std::vector<uint8_t>>{fromHal});
}

TEST(BroadcastReceiver, StopsPromptlyAndCanStartAgain)
{
    VRecordingReceiver receiver;
    ASSERT_TRUE(receiver.Start(0));
    // Give the thread time to block in its receive: the stop must wake it there.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const auto before = std::chrono::steady_clock::now();
    receiver.Stop();
    const auto took = std::chrono::steady_clock::now() - before;
    EXPECT_LT(took, std::chrono::seconds(1)) << "Stop() must wake the blocked receive thread";
    EXPECT_EQ(receiver.GetPort(), 0) << "the socket is closed after Stop()";
    receiver.Stop(); // a second stop is harmless

    ASSERT_TRUE(receiver.Start(0));
    ASSERT_TRUE(receiver.Start(0)) << "starting while running does nothing";
    ASSERT_TRUE(SendFrom(kLoopback, receiver.GetPort(), Datagram({0x000A0001})));
    EXPECT_TRUE(receiver.m_Log.WaitFor(1)) << "a restarted receiver delivers again";
}

TEST(BroadcastReceiver, ReportsAPortItCannotBind)
{
    VRecordingReceiver first;
    ASSERT_TRUE(first.Start(0));
    // Reuse-address lets two UDP sockets share a port, but not a port that a
    // socket without it holds.
    const int blocker = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    ASSERT_EQ(getsockname(blocker, reinterpret_cast<sockaddr*>(&address), &length), 0);

    VRecordingReceiver second;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.Start(ntohs(address.sin_port)));
    const std::string warning = testing::internal::GetCapturedStderr();
    EXPECT_NE(warning.find("cannot receive broadcast commands on UDP port"), std::string::npos)
        << warning;
    EXPECT_EQ(second.GetPort(), 0);
    second.Stop();
    close(blocker);
}

TEST(BroadcastReceiver, RigsOnTwoAddressesShareThePortEachWithItsOwnCommands)
{
    // Two rigs on one machine, on 127.0.0.1 and 127.0.0.2, both on one port.
    VRecordingReceiver rigA(kLoopback);
    VRecordingReceiver rigB(kOtherLoopback);
    ASSERT_TRUE(rigA.Start(0));
    const uint16_t port = rigA.GetPort();
    ASSERT_TRUE(rigB.Start(port));

    // Sent to an address no rig lives on: the broadcast sockets see it and let it go.
    const std::vector<uint8_t> toNobody = Datagram({0x00070001, 1});
    ASSERT_TRUE(SendFromTo(kLoopback, 0x7F000009u, port, toNobody));
    const std::vector<uint8_t> toA = Datagram({0x00070001, 2});
    const std::vector<uint8_t> toB = Datagram({0x00070001, 3});
    ASSERT_TRUE(SendFromTo(kLoopback, kLoopback, port, toA));
    ASSERT_TRUE(SendFromTo(kLoopback, kOtherLoopback, port, toB));
    ASSERT_TRUE(rigA.m_Log.WaitFor(1)) << "rig A did not receive its command";
    ASSERT_TRUE(rigB.m_Log.WaitFor(1)) << "rig B did not receive its command";
    // Anything misrouted would have been delivered by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(rigA.m_Log.Datagrams(), std::vector<std::vector<uint8_t>>{toA});
    EXPECT_EQ(rigB.m_Log.Datagrams(), std::vector<std::vector<uint8_t>>{toB});
}

TEST(BroadcastReceiver, ARigWhoseAddressLiesElsewhereReceivesOnEveryAddress)
{
    // 10.0.1.5 is none of this machine's addresses: as before, one socket on every address.
    VRecordingReceiver receiver(0x0A000105u);
    ASSERT_TRUE(receiver.Start(0));
    ASSERT_TRUE(SendFrom(kLoopback, receiver.GetPort(), Datagram({0x000A0001})));
    EXPECT_TRUE(receiver.m_Log.WaitFor(1));
}
