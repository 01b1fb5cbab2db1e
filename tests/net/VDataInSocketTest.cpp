#include "net/VDataInSocket.h"

#include "net/VThread.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

uint32_t Loopback(const char* dotted)
{
    return inet_addr(dotted);
}

/// A receive socket on 127.0.0.1 with its loop on a thread, collecting what it is handed.
class VCollectingReceiver
{
public:
    VCollectingReceiver()
    {
        EXPECT_TRUE(m_Socket.Create(VSocketSimple::KindDatagram));
        EXPECT_TRUE(m_Socket.BindToAddress(Loopback("127.0.0.1"), 0));
        m_Socket.SetSourceFilter(Loopback("127.0.0.1"));
        m_Socket.SetHandler(
            [this](const uint8_t* data, uint32_t length)
            {
                std::lock_guard<std::mutex> guard(m_Lock);
                m_Received.emplace_back(reinterpret_cast<const char*>(data), length);
                m_Arrived.Set();
            });
        m_Thread.Start();
    }
    ~VCollectingReceiver()
    {
        m_Socket.RequestStop();
        m_Thread.Join();
    }

    /// Waits until `count` datagrams have arrived; false after five seconds.
    bool WaitForCount(size_t count)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline)
        {
            {
                std::lock_guard<std::mutex> guard(m_Lock);
                if (m_Received.size() >= count)
                    return true;
            }
            m_Arrived.Wait(100);
        }
        return false;
    }

    std::vector<std::string> Received()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Received;
    }

    VDataInSocket m_Socket;
    int m_LoopResult = 99;
    VFunctionThread m_Thread{"receive",
                             [this](VThread&) { m_LoopResult = m_Socket.RunReceiveLoop(); }};

private:
    std::mutex m_Lock; // guards m_Received
    std::vector<std::string> m_Received;
    VEvent m_Arrived{false, false};
};

void SendFrom(const char* sourceAddress, uint16_t port, const std::string& payload)
{
    VSocketSimple sender;
    ASSERT_TRUE(sender.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(sender.BindToAddress(Loopback(sourceAddress), 0)) << sourceAddress;
    ASSERT_EQ(sender.SendTo(payload.data(), payload.size(), Loopback("127.0.0.1"), port),
              static_cast<int>(payload.size()));
}
} // namespace

TEST(DataInSocket, FilterDropsOtherSendersButPassesEmptyDatagrams)
{
    VCollectingReceiver receiver;
    const uint16_t port = receiver.m_Socket.GetLocalPort();
    ASSERT_NE(port, 0);

    SendFrom("127.0.0.2", port, "from a stranger");      // dropped: wrong sender
    SendFrom("127.0.0.2", port, "");                     // delivered: empty passes
    SendFrom("127.0.0.1", port, std::string(1500, 'x')); // dropped: longer than the buffer
    SendFrom("127.0.0.1", port, std::string(1024, 'y')); // delivered: exactly fits
    SendFrom("127.0.0.1", port, "hello");                // delivered

    ASSERT_TRUE(receiver.WaitForCount(3)) << "datagrams from the filter address never arrived";
    const std::vector<std::string> received = receiver.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[0], "");
    EXPECT_EQ(received[1], std::string(1024, 'y'));
    EXPECT_EQ(received[2], "hello");
}

TEST(DataInSocket, StopsPromptlyFromAnotherThread)
{
    VCollectingReceiver receiver;
    VThread::Sleep(20); // let the loop block in its wait; the stop must wake it from there
    const auto start = Clock::now();
    receiver.m_Socket.RequestStop();
    EXPECT_TRUE(receiver.m_Thread.Join());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
              1000);
    EXPECT_EQ(receiver.m_LoopResult, 0) << "a requested stop is not an error";
}

TEST(DataInSocket, LoopOnUnopenedSocketFailsAtOnce)
{
    VDataInSocket socket;
    EXPECT_EQ(socket.RunReceiveLoop(), -1);
}
