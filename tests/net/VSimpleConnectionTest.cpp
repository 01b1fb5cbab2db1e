#include "net/VSimpleConnection.h"

#include "net/VThread.h"
#include "support/VLoopbackClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace
{
using testsupport::End;
using testsupport::VLoopbackClient;
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

/// Greets each peer with "hello", echoes each line as "echo:<line>", ends in order on "quit"
/// and aborts on "abort"; records every hook.
class VRecordingConnection : public VSimpleConnection
{
public:
    ~VRecordingConnection() override
    {
        StopListening();
        Disconnect(true, VSyncroniser::Infinite, true);
    }

    /// Waits until `hook` has been recorded `count` times; false after five seconds.
    bool WaitForHook(const std::string& hook, size_t count = 1)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline)
        {
            if (CountOf(hook) >= count)
                return true;
            m_Changed.Wait(50);
        }
        return false;
    }

    size_t CountOf(const std::string& hook)
    {
        std::lock_guard<std::mutex> guard(m_RecordLock);
        return static_cast<size_t>(std::count(m_Hooks.begin(), m_Hooks.end(), hook));
    }

    std::vector<std::string> Hooks()
    {
        std::lock_guard<std::mutex> guard(m_RecordLock);
        return m_Hooks;
    }

protected:
    int Process() override
    {
        VSocketInputStream& in = GetStream()->GetIStream();
        std::string line;
        char byte = 0;
        while (in.get(byte) && byte != '\n')
            line += byte;
        if (!in.good())
            return 0;
        if (line == "quit")
            return 1;
        if (line == "abort")
            return 2;
        Reply("echo:" + line + "\n");
        return 0;
    }

    void OnConnected() override
    {
        Record("connected");
        Reply("hello\n");
    }
    void OnDisconnecting() override { Record("disconnecting"); }
    void OnDisconnected() override { Record("disconnected"); }
    void OnClosed() override { Record("closed"); }
    void OnConnectionLost() override { Record("lost"); }

private:
    void Reply(const std::string& text)
    {
        VSocketDataStream* stream = GetStream();
        stream->WriteBytes(text.data(), text.size());
        stream->Flush();
    }

    void Record(const std::string& hook)
    {
        {
            std::lock_guard<std::mutex> guard(m_RecordLock);
            m_Hooks.push_back(hook);
        }
        m_Changed.Set();
    }

    std::mutex m_RecordLock; // guards m_Hooks
    std::vector<std::string> m_Hooks;
    VEvent m_Changed{false, false};
};

using Hooks = std::vector<std::string>;
} // namespace

TEST(SimpleConnection, NewPeerDisplacesTheAttachedOneWhenAcceptingWhileBusy)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, true));
    const uint16_t port = connection.GetListeningPort();
    ASSERT_NE(port, 0);

    VLoopbackClient first;
    ASSERT_TRUE(first.Connect(port));
    EXPECT_EQ(first.ReadLine(), "hello");
    ASSERT_TRUE(first.Send("ping\n"));
    EXPECT_EQ(first.ReadLine(), "echo:ping");

    VLoopbackClient second;
    ASSERT_TRUE(second.Connect(port));
    EXPECT_EQ(first.WaitForEnd(), End::Orderly) << "the displaced peer sees an orderly close";
    EXPECT_EQ(second.ReadLine(), "hello") << "the new peer gets the normal start";
    ASSERT_TRUE(second.Send("pong\n"));
    EXPECT_EQ(second.ReadLine(), "echo:pong");
    EXPECT_TRUE(connection.IsConnected(false));
    EXPECT_EQ(connection.Hooks(),
              (Hooks{"connected", "disconnecting", "disconnected", "closed", "connected"}));
}

TEST(SimpleConnection, WithoutAcceptWhileBusyTheNextPeerWaitsForTheFirstToLeave)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, false));
    const uint16_t port = connection.GetListeningPort();

    VLoopbackClient first;
    ASSERT_TRUE(first.Connect(port));
    EXPECT_EQ(first.ReadLine(), "hello");

    VLoopbackClient second;
    ASSERT_TRUE(second.Connect(port)) << "the system queues the peer in the backlog";
    EXPECT_TRUE(second.IsQuietFor(300)) << "not accepted while the first is attached";
    ASSERT_TRUE(first.Send("ping\n"));
    EXPECT_EQ(first.ReadLine(), "echo:ping") << "the first peer is still served";

    ASSERT_TRUE(first.Send("quit\n"));
    EXPECT_EQ(first.WaitForEnd(), End::Orderly);
    EXPECT_EQ(second.ReadLine(), "hello") << "the waiting peer is accepted once the first left";
    EXPECT_EQ(connection.Hooks(), (Hooks{"connected", "disconnected", "closed", "connected"}));
}

TEST(SimpleConnection, OrderlyEndsCallOnClosedAndFailuresOnConnectionLost)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, true));
    const uint16_t port = connection.GetListeningPort();

    // The peer closes its side.
    VLoopbackClient closing;
    ASSERT_TRUE(closing.Connect(port));
    EXPECT_EQ(closing.ReadLine(), "hello");
    closing.Close();
    ASSERT_TRUE(connection.WaitForHook("closed", 1));
    EXPECT_EQ(connection.CountOf("lost"), 0u);

    // The peer resets the connection: a receive error.
    VLoopbackClient resetting;
    ASSERT_TRUE(resetting.Connect(port));
    EXPECT_EQ(resetting.ReadLine(), "hello");
    resetting.Abort();
    ASSERT_TRUE(connection.WaitForHook("lost", 1));

    // Process asks for an orderly close: the peer sees the end of the stream.
    VLoopbackClient quitting;
    ASSERT_TRUE(quitting.Connect(port));
    EXPECT_EQ(quitting.ReadLine(), "hello");
    ASSERT_TRUE(quitting.Send("quit\n"));
    EXPECT_EQ(quitting.WaitForEnd(), End::Orderly);
    ASSERT_TRUE(connection.WaitForHook("closed", 2));

    // Process aborts.
    VLoopbackClient aborting;
    ASSERT_TRUE(aborting.Connect(port));
    EXPECT_EQ(aborting.ReadLine(), "hello");
    ASSERT_TRUE(aborting.Send("abort\n"));
    ASSERT_TRUE(connection.WaitForHook("lost", 2));
    EXPECT_TRUE(connection.WaitForIdle(5000));
    EXPECT_EQ(connection.CountOf("closed"), 2u);
    EXPECT_EQ(connection.CountOf("disconnected"), 4u) << "OnDisconnected precedes every end";
}

TEST(SimpleConnection, PeerSilentPastTheReceiveTimeOutIsLost)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 100, true));
    VLoopbackClient peer;
    ASSERT_TRUE(peer.Connect(connection.GetListeningPort()));
    EXPECT_EQ(peer.ReadLine(), "hello");
    ASSERT_TRUE(peer.Send("ping\n"));
    EXPECT_EQ(peer.ReadLine(), "echo:ping");
    ASSERT_TRUE(connection.WaitForHook("lost")) << "the time-out must end the connection";
    EXPECT_EQ(connection.CountOf("closed"), 0u);
}

TEST(SimpleConnection, LocalDisconnectIsOrderlyOrAbortive)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, true));
    const uint16_t port = connection.GetListeningPort();

    VLoopbackClient graceful;
    ASSERT_TRUE(graceful.Connect(port));
    EXPECT_EQ(graceful.ReadLine(), "hello");
    EXPECT_TRUE(connection.Disconnect(true, 5000, true));
    EXPECT_FALSE(connection.IsConnected(false));
    EXPECT_EQ(graceful.WaitForEnd(), End::Orderly);

    VLoopbackClient abortive;
    ASSERT_TRUE(abortive.Connect(port));
    EXPECT_EQ(abortive.ReadLine(), "hello");
    EXPECT_TRUE(connection.Disconnect(true, 5000, false));
    EXPECT_EQ(abortive.WaitForEnd(), End::Reset);
    EXPECT_EQ(connection.Hooks(), (Hooks{"connected", "disconnecting", "disconnected", "closed",
                                         "connected", "disconnecting", "disconnected", "closed"}))
        << "a local disconnect is a requested close in both forms";
}

TEST(SimpleConnection, StoppingListenerAndReceiverIsPrompt)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, true));
    VLoopbackClient peer;
    ASSERT_TRUE(peer.Connect(connection.GetListeningPort()));
    EXPECT_EQ(peer.ReadLine(), "hello");
    ASSERT_TRUE(connection.WaitForConnected(5000));

    // The listener is blocked in accept, the receiver in a read of the silent peer.
    auto start = Clock::now();
    connection.StopListening();
    EXPECT_LT(ElapsedMs(start), 1000) << "stopping the listener must end a blocked accept";
    EXPECT_FALSE(connection.IsListening());
    EXPECT_TRUE(connection.IsConnected(false)) << "stopping to listen keeps the peer";

    start = Clock::now();
    EXPECT_TRUE(connection.Disconnect(true, 3000, true)) << "the receiver did not finish";
    EXPECT_LT(ElapsedMs(start), 1000) << "disconnecting must end a blocked read";
}

TEST(SimpleConnection, ListenerRecreatedOnTheSamePortBindsRightAfterADisconnect)
{
    VRecordingConnection connection;
    ASSERT_TRUE(connection.StartListening(0, 0, true));
    const uint16_t port = connection.GetListeningPort();

    VLoopbackClient peer;
    ASSERT_TRUE(peer.Connect(port));
    EXPECT_EQ(peer.ReadLine(), "hello");
    // Closing from this side first leaves the port's connection in TIME_WAIT here.
    ASSERT_TRUE(connection.Disconnect(true, 5000, true));
    EXPECT_EQ(peer.WaitForEnd(), End::Orderly);
    peer.Close();

    connection.StopListening();
    EXPECT_TRUE(connection.StartListening(port, 0, true)) << "bind refused on port " << port;
    EXPECT_EQ(connection.GetListeningPort(), port);
    VLoopbackClient again;
    ASSERT_TRUE(again.Connect(port));
    EXPECT_EQ(again.ReadLine(), "hello");
}

TEST(SimpleConnection, ConnectsOutwardsOnlyWhileNotListening)
{
    VSocketSimple server;
    ASSERT_TRUE(server.Create(VSocketSimple::KindStream));
    ASSERT_TRUE(server.BindTo("127.0.0.1", 0));
    ASSERT_TRUE(server.Listen(1));

    VRecordingConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", server.GetLocalPort(), 2000, 0));
    EXPECT_TRUE(connection.IsConnected(false));
    VLoopbackClient accepted;
    ASSERT_TRUE(server.Accept(accepted.Socket()));
    accepted.Socket().SetReceiveTimeout(5000);
    EXPECT_EQ(accepted.ReadLine(), "hello");
    ASSERT_TRUE(accepted.Send("out\n"));
    EXPECT_EQ(accepted.ReadLine(), "echo:out");
    EXPECT_TRUE(connection.Disconnect(true, 5000, true));
    EXPECT_EQ(accepted.WaitForEnd(), End::Orderly);

    // A refused connection attaches nothing.
    VSocketSimple unused;
    ASSERT_TRUE(unused.Create(VSocketSimple::KindStream));
    ASSERT_TRUE(unused.BindTo("127.0.0.1", 0));
    const uint16_t closedPort = unused.GetLocalPort();
    EXPECT_FALSE(connection.Connect("127.0.0.1", closedPort, 2000, 0));
    EXPECT_FALSE(connection.IsConnected(false));

    ASSERT_TRUE(connection.StartListening(0, 0, true));
    EXPECT_FALSE(connection.Connect("127.0.0.1", server.GetLocalPort(), 2000, 0))
        << "refused while listening";
}

TEST(SimpleConnection, ListenerOnABusyPortKeepsTryingWithoutSpinning)
{
    VSocketSimple holder;
    ASSERT_TRUE(holder.Create(VSocketSimple::KindStream));
    ASSERT_TRUE(holder.Bind(0));
    ASSERT_TRUE(holder.Listen(1));
    const uint16_t port = holder.GetLocalPort();

    VRecordingConnection connection;
    EXPECT_FALSE(connection.StartListening(port, 0, true)) << "the port is taken";
    EXPECT_TRUE(connection.IsListening());
    EXPECT_EQ(connection.GetListeningPort(), 0);

    holder.Close();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (connection.GetListeningPort() != port && Clock::now() < deadline)
        VThread::Sleep(20);
    EXPECT_EQ(connection.GetListeningPort(), port) << "binds once the port is free";
    VLoopbackClient peer;
    ASSERT_TRUE(peer.Connect(port));
    EXPECT_EQ(peer.ReadLine(), "hello");

    const auto start = Clock::now();
    connection.StopListening();
    EXPECT_LT(ElapsedMs(start), 1000);
}
