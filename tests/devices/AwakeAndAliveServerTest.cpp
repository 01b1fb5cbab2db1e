// The periodic timer and the awake-and-alive sender: datagram layouts byte for byte, the
// AWAKE-then-ALIVE sequence and its 100 ms rhythm on loopback, a reconnect starting afresh,
// and prompt shutdown.
#include "devices/VAwakeAndAliveServer.h"
#include "devices/VPeriodicCallback.h"

#include "support/MillisecondsOf.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

using namespace testsupport;
using Clock = std::chrono::steady_clock;

namespace
{

const uint32_t Loopback = htonl(INADDR_LOOPBACK);

/// Records the order of calls and runs an optional action inside OnTimer.
class VRecordingCallback : public ITimerCallback
{
public:
    VRecordingCallback(int id, std::vector<int>& log, std::mutex& lock,
                       std::condition_variable& signal)
        : m_Id(id), m_Log(log), m_Lock(lock), m_Signal(signal)
    {
    }
    void OnTimer() override
    {
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            m_Log.push_back(m_Id);
        }
        m_Signal.notify_all();
        if (m_Action)
            m_Action();
    }
    std::function<void()> m_Action;

private:
    int m_Id;
    std::vector<int>& m_Log;
    std::mutex& m_Lock;
    std::condition_variable& m_Signal;
};

/// Receives datagrams until one of `size` bytes arrives (others are skipped).
std::optional<Bytes> ReceiveOfSize(VUdpReceiver& receiver, size_t size)
{
    for (int skipped = 0; skipped < 100; ++skipped)
    {
        auto datagram = receiver.Receive();
        if (!datagram || datagram->size() == size)
            return datagram;
    }
    return std::nullopt;
}

} // namespace

TEST(PeriodicCallback, CallsInRegistrationOrderAndSurvivesUnregisterFromInsideATick)
{
    std::vector<int> log;
    std::mutex lock;
    std::condition_variable signal;
    VRecordingCallback first(1, log, lock, signal);
    VRecordingCallback second(2, log, lock, signal);
    VRecordingCallback third(3, log, lock, signal);

    VPeriodicCallback timer(20);
    // A gate registers all three from inside a tick, so they meet in one dispatch whatever
    // the timing. The first removes itself and the second during its own call: the third must
    // still be called in that tick, the second never.
    first.m_Action = [&]
    {
        timer.Unregister(&first);
        timer.Unregister(&second);
    };
    VRecordingCallback gate(0, log, lock, signal);
    gate.m_Action = [&]
    {
        timer.Unregister(&gate);
        timer.Register(&first);
        timer.Register(&second);
        timer.Register(&third);
    };
    timer.Register(&gate);
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(signal.wait_for(guard, std::chrono::seconds(5),
                                [&] { return std::count(log.begin(), log.end(), 3) >= 3; }))
        << "the third callback was not called three times in 5 s";
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(std::vector<int>(log.begin(), log.begin() + 5), (std::vector<int>{0, 1, 3, 3, 3}))
        << "an entry after a removed one was skipped, or a removed one was called";
    EXPECT_EQ(std::count(log.begin(), log.end(), 2), 0);
    guard.unlock();
    EXPECT_EQ(timer.GetCallbackCount(), 1u);
    EXPECT_FALSE(timer.Unregister(&second)) << "removed twice";
    timer.Unregister(&third);
}

TEST(PeriodicCallback, StopsPromptlyWhateverThePeriod)
{
    auto timer = std::make_unique<VPeriodicCallback>(60000);
    EXPECT_LT(MillisecondsOf([&] { timer.reset(); }), 1000);
}

TEST(AwakeAndAliveServer, EncodesAwakeAndAliveByteForByte)
{
    // Local address 10.1.2.3, class 2, position 3, flags 0x10, id 0x02000001.
    const uint32_t local = htonl(0x0A010203);
    Bytes awake(AwakeDatagram::Size, 0xEE);
    VAwakeAndAliveServer::EncodeAwake(awake.data(), local, 2, 3, 0x10, 0x02000001);
    const Bytes expectedAwake = {0x00, 0x04, 0x00, 0x06, 0x0A, 0x01, 0x02, 0x03, 0x00, 0x00,
                                 0x00, 0x02, 0x03, 0x00, 0x00, 0x18, 0x00, 0x00, 0x37, 0x00,
                                 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x01};
    EXPECT_EQ(awake, expectedAwake);

    Bytes alive(AliveDatagram::Size, 0xEE);
    VAwakeAndAliveServer::EncodeAlive(alive.data(), local, 2, 0x1234, 0x02000001);
    const Bytes expectedAlive = {0x00, 0x06, 0x00, 0x07, 0x0A, 0x01, 0x02, 0x03, 0x00, 0x00, 0x00,
                                 0x02, 0x12, 0x34, 0x00, 0x00, 0x00, 0x00, 0x37, 0x00, 0x00, 0x01,
                                 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x01};
    EXPECT_EQ(alive, expectedAlive);

    // Only bits 23-0 of the id make the hardware address.
    Bytes hardware(8);
    VAwakeAndAliveServer::EncodeHardwareAddress(hardware.data(), 0xAB123456);
    EXPECT_EQ(hardware, (Bytes{0x00, 0x00, 0x37, 0x12, 0x34, 0x56, 0x00, 0x00}));
}

TEST(AwakeAndAliveServer, SequenceWrapsAt65536AndKeepsTheLowerHalf)
{
    Bytes alive(AliveDatagram::Size);
    VAwakeAndAliveServer::EncodeAlive(alive.data(), Loopback, 0, 0, 7);
    EXPECT_EQ(BigEndian32(alive, AliveDatagram::OffsetSequence), 0u);
    VAwakeAndAliveServer::SetAliveSequence(alive.data(), 65535);
    EXPECT_EQ(BigEndian32(alive, AliveDatagram::OffsetSequence), 0xFFFF0000u);
    // The 65537th ALIVE of a connection (tick 65536) carries sequence 0 again.
    VAwakeAndAliveServer::SetAliveSequence(alive.data(), 65536);
    EXPECT_EQ(BigEndian32(alive, AliveDatagram::OffsetSequence), 0u);
    VAwakeAndAliveServer::SetAliveSequence(alive.data(), 65537);
    EXPECT_EQ(BigEndian32(alive, AliveDatagram::OffsetSequence), 0x00010000u);
    // Whatever sits in the lower half stays there.
    alive[AliveDatagram::OffsetSequence + 3] = 0x5A;
    VAwakeAndAliveServer::SetAliveSequence(alive.data(), 2);
    EXPECT_EQ(BigEndian32(alive, AliveDatagram::OffsetSequence), 0x0002005Au);
}

TEST(AwakeAndAliveServer, SendsAwakeThenAliveEvery100MsAndStartsAfreshOnReconnect)
{
    VUdpReceiver host;
    ASSERT_TRUE(host.IsOpen());
    const uint32_t id = 0x02000001;
    for (int connection = 0; connection < 2; ++connection)
    {
        host.Drain();
        auto server =
            std::make_unique<VAwakeAndAliveServer>(Loopback, Loopback, id, 1, 2, 0, host.GetPort());
        const auto awake = host.Receive();
        ASSERT_TRUE(awake.has_value()) << "no AWAKE within 5 s";
        ASSERT_EQ(awake->size(), AwakeDatagram::Size);
        EXPECT_EQ(BigEndian32(*awake, 0), 0x00040006u);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetLocalAddress), 0x7F000001u);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetClassCode), 2u);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetPlace), 0x01000008u);
        EXPECT_EQ(Bytes(awake->begin() + 16, awake->begin() + 24),
                  (Bytes{0x00, 0x00, 0x37, 0x00, 0x00, 0x01, 0x00, 0x00}));
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetDeviceId), id);

        const auto firstAlive = host.Receive();
        ASSERT_TRUE(firstAlive.has_value());
        ASSERT_EQ(firstAlive->size(), AliveDatagram::Size);
        EXPECT_EQ(BigEndian32(*firstAlive, 0), 0x00060007u);
        EXPECT_EQ(BigEndian32(*firstAlive, AliveDatagram::OffsetSequence), 0u);
        EXPECT_EQ(BigEndian32(*firstAlive, AliveDatagram::OffsetDeviceId), id);
        const auto start = Clock::now();

        if (connection == 0)
        {
            // Twenty more ALIVEs, numbered 1 to 20, the twentieth 2 s (±10 %) after the first.
            for (uint32_t sequence = 1; sequence <= 20; ++sequence)
            {
                const auto alive = host.Receive();
                ASSERT_TRUE(alive.has_value()) << "ALIVE " << sequence << " missing";
                ASSERT_EQ(alive->size(), AliveDatagram::Size) << "a second AWAKE came";
                EXPECT_EQ(BigEndian32(*alive, AliveDatagram::OffsetSequence), sequence << 16);
            }
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            EXPECT_GE(elapsed.count(), 1800);
            EXPECT_LE(elapsed.count(), 2200);
        }
        // Closing returns at once, and nothing follows it.
        EXPECT_LT(MillisecondsOf([&] { server.reset(); }), 1000);
        host.Drain();
        EXPECT_FALSE(host.Receive(std::chrono::milliseconds(300)).has_value())
            << "a datagram after destruction";
    }
}

TEST(AwakeAndAliveServer, UnreachableHostNeitherBlocksTheTimerNorTheClose)
{
    // A host that is not there (10.0.0.254, discard port): each send goes out or fails at
    // once, and the shared timer keeps ticking for the other servers.
    VUdpReceiver host;
    VAwakeAndAliveServer dead(Loopback, htonl(0x0A0000FE), 5, 1, 0, 0, 9);
    VAwakeAndAliveServer live(Loopback, Loopback, 6, 2, 0, 0, host.GetPort());
    ASSERT_TRUE(ReceiveOfSize(host, AwakeDatagram::Size).has_value());
    for (int tick = 0; tick < 5; ++tick)
        ASSERT_TRUE(ReceiveOfSize(host, AliveDatagram::Size).has_value())
            << "the live server stopped ticking";
    EXPECT_GE(dead.GetTickCount(), 4u);
}
