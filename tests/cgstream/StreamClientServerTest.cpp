// The stream client and server on loopback (ephemeral ports): what a client asks for is what
// it gets, in order; a refused, lost or ended connection is reported once or not at all, as
// the client's contract says; every thread stops promptly.
#include "cgstream/CGStreamWire.h"
#include "cgstream/VFrameInfo.h"
#include "cgstream/VOrvanCGStreamClient.h"
#include "cgstream/VOrvanCGStreamServer.h"
#include "cgstream/VRawItem.h"
#include "cgstream/VStreamInfo.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using namespace std::chrono_literals;
namespace asio = boost::asio;
using asio::ip::tcp;

namespace
{

/// Writes down every notification as a line ("connected", "info 100000", "frame 7",
/// "unrequested 9", "lost").
class VRecordingCallback final : public IOrvanCGStreamClientCallback
{
public:
    void OnConnected() override { Add("connected"); }
    void OnUnrequestedItem(std::shared_ptr<const OrvanCGStream::VItem> item) override
    {
        Add("unrequested " + std::to_string(item->GetType()));
    }
    void OnItemReceived(std::shared_ptr<const OrvanCGStream::VItem> item) override
    {
        if (const auto* frame = dynamic_cast<const OrvanCGStream::VFrameInfo*>(item.get()))
            Add("frame " + std::to_string(frame->GetFrameNumber()));
        else if (const auto* info = dynamic_cast<const OrvanCGStream::VStreamInfo*>(item.get()))
            Add("info " + std::to_string(info->GetFrameRateMilliHz()));
        else
            Add("item " + std::to_string(item->GetType()));
    }
    void OnConnectionLost() override { Add("lost"); }

    /// Waits up to 5 s until `count` lines are there; returns the lines.
    std::vector<std::string> WaitFor(size_t count)
    {
        std::unique_lock lock(m_Lock);
        m_Changed.wait_for(lock, 5s, [&] { return m_Lines.size() >= count; });
        return m_Lines;
    }
    std::vector<std::string> Lines()
    {
        std::lock_guard lock(m_Lock);
        return m_Lines;
    }

private:
    void Add(std::string line)
    {
        std::lock_guard lock(m_Lock);
        m_Lines.push_back(std::move(line));
        m_Changed.notify_all();
    }

    std::mutex m_Lock; // guards m_Lines
    std::condition_variable m_Changed;
    std::vector<std::string> m_Lines;
};

using Lines = std::vector<std::string>;

/// A started server on a free loopback port.
std::unique_ptr<VOrvanCGStreamServer> StartServer(std::chrono::milliseconds delay = 0ms)
{
    auto server = std::make_unique<VOrvanCGStreamServer>();
    server->SetDelay(delay);
    std::string error;
    EXPECT_TRUE(server->Start("127.0.0.1", 0, error)) << error;
    return server;
}

/// Waits up to 5 s for `condition`.
bool WaitUntil(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

/// Runs `action` and returns how long it took.
std::chrono::milliseconds Timed(const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace

TEST(CGStream, AClientGetsTheStreamInformationThenTheRequestedItemsInOrder)
{
    auto server = StartServer();
    server->SetStreamInfo(std::make_shared<const OrvanCGStream::VStreamInfo>(100000, "test"));
    auto callback = std::make_shared<VRecordingCallback>();
    VOrvanCGStreamClient client(callback);
    client.SetRequestedTypes({1, 5});
    client.Connect("localhost", server->GetPort()); // a name: through the resolver
    ASSERT_EQ(callback->WaitFor(2), (Lines{"connected", "info 100000"}));
    ASSERT_TRUE(WaitUntil([&] { return server->GetClientCount() == 1; }));
    EXPECT_EQ(client.GetState(), VOrvanCGStreamClient::EState::Connected);

    // Type 9 was not asked for: the server keeps it back.
    server->Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(7));
    server->Publish(std::make_shared<const OrvanCGStream::VRawItem>(9, std::vector<uint8_t>{1}));
    server->Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(8));
    EXPECT_EQ(callback->WaitFor(4), (Lines{"connected", "info 100000", "frame 7", "frame 8"}));

    // Disconnect reports nothing, and nothing of the old connection follows it.
    client.Disconnect();
    EXPECT_EQ(client.GetState(), VOrvanCGStreamClient::EState::Unconnected);
    server->Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(9));
    ASSERT_TRUE(WaitUntil([&] { return server->GetClientCount() == 0; }))
        << "the server notices a client that left";
    EXPECT_EQ(callback->Lines().size(), 4u);
    EXPECT_EQ(server->GetCounts().ClientsAccepted, 1u);
}

TEST(CGStream, RefusedAndLostConnectionsAreReportedOnceAndNeverRetried)
{
    // Refused: a port nobody listens on (taken from a server that has stopped).
    uint16_t closedPort = 0;
    {
        auto server = StartServer();
        closedPort = server->GetPort();
    }
    auto callback = std::make_shared<VRecordingCallback>();
    VOrvanCGStreamClient client(callback);
    client.Connect("127.0.0.1", closedPort);
    EXPECT_EQ(callback->WaitFor(1), (Lines{"lost"}));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(callback->Lines(), (Lines{"lost"})) << "no retry, no second report";
    EXPECT_EQ(client.GetState(), VOrvanCGStreamClient::EState::Unconnected);

    // A port out of range is reported the same way.
    client.Connect("127.0.0.1", 70000);
    EXPECT_EQ(callback->WaitFor(2), (Lines{"lost", "lost"}));

    // Lost: the server goes away under a connected client.
    auto server = StartServer();
    client.SetRequestedTypes({5});
    client.Connect("127.0.0.1", server->GetPort());
    EXPECT_EQ(callback->WaitFor(3), (Lines{"lost", "lost", "connected"}));
    server->Stop();
    EXPECT_EQ(callback->WaitFor(4), (Lines{"lost", "lost", "connected", "lost"}));

    // A peer that is not a stream host (a wrong preamble) is a lost connection too.
    asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    client.Connect("127.0.0.1", acceptor.local_endpoint().port());
    tcp::socket peer(io);
    acceptor.accept(peer);
    asio::write(peer, asio::buffer(std::string("HTTP/1.1")));
    EXPECT_EQ(callback->WaitFor(5), (Lines{"lost", "lost", "connected", "lost", "lost"}));
}

TEST(CGStream, ThreadsStopPromptlyWhileConnectingOrConnected)
{
    // A listener that never answers: the client waits for the host's preamble.
    asio::io_context io;
    tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0));
    auto callback = std::make_shared<VRecordingCallback>();
    auto client = std::make_unique<VOrvanCGStreamClient>(callback);
    client->Connect("127.0.0.1", acceptor.local_endpoint().port());
    ASSERT_TRUE(WaitUntil(
        [&]
        {
            std::this_thread::sleep_for(20ms);
            return client->GetState() == VOrvanCGStreamClient::EState::Connecting;
        }));
    EXPECT_LT(Timed([&] { client.reset(); }), 1000ms);
    EXPECT_TRUE(callback->Lines().empty()) << "ending on request is not a loss";

    // A server with a connected client and a delayed item still waiting.
    auto server = StartServer(10s);
    VOrvanCGStreamClient connected(callback);
    connected.SetRequestedTypes({5});
    connected.Connect("127.0.0.1", server->GetPort());
    ASSERT_EQ(callback->WaitFor(1), (Lines{"connected"}));
    server->Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(1));
    EXPECT_LT(Timed([&] { server.reset(); }), 1000ms);
}

TEST(CGStream, TheServerDropsClientsWithABadRequestOrNone)
{
    auto server = StartServer();
    asio::io_context io;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), server->GetPort());

    // Too many types asked for: dropped at once.
    tcp::socket greedy(io);
    greedy.connect(endpoint);
    std::vector<uint8_t> request = CGStreamWire::EncodeRequest({});
    request[8] = 200;
    asio::write(greedy, asio::buffer(request));
    ASSERT_TRUE(WaitUntil([&] { return server->GetCounts().ClientsDropped == 1; }));
    uint8_t byte = 0;
    boost::system::error_code error;
    asio::read(greedy, asio::buffer(&byte, 1), error);
    EXPECT_TRUE(error) << "the server closed the connection";
    EXPECT_EQ(server->GetClientCount(), 0u);
}

TEST(CGStream, DelayedItemsLeaveNoEarlierThanTheDelayAndInOrder)
{
    auto server = StartServer(60ms);
    auto callback = std::make_shared<VRecordingCallback>();
    VOrvanCGStreamClient client(callback);
    client.SetRequestedTypes({5});
    client.Connect("127.0.0.1", server->GetPort());
    ASSERT_EQ(callback->WaitFor(1), (Lines{"connected"}));
    ASSERT_TRUE(WaitUntil([&] { return server->GetClientCount() == 1; }));

    const auto published = std::chrono::steady_clock::now();
    for (uint32_t frame = 1; frame <= 3; ++frame)
        server->Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(frame));
    EXPECT_EQ(callback->WaitFor(4), (Lines{"connected", "frame 1", "frame 2", "frame 3"}));
    EXPECT_GE(std::chrono::steady_clock::now() - published, 60ms);
}
