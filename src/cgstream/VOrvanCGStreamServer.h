// The host side of the data stream: listens on TCP, reads each client's request and sends it
// the items of the types it asked for, in the order they were published.
#pragma once

#include "cgstream/VItem.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace OrvanCGStream
{
class VStreamInfo;
}

/// What a server has done so far.
struct VCGStreamServerCounts
{
    std::uint64_t ClientsAccepted = 0;
    /// Connections closed at once because MaxClients were connected.
    std::uint64_t ClientsRefused = 0;
    /// Clients closed for a bad request, no request within RequestTimeout, or a send queue
    /// over MaxQueuedItems (a client that does not read).
    std::uint64_t ClientsDropped = 0;
    std::uint64_t ItemsPublished = 0;
    /// Items written to clients, counted once per client.
    std::uint64_t ItemsSent = 0;
    /// Published items dropped because more than MaxQueuedItems waited for their delay.
    std::uint64_t ItemsDelayedDropped = 0;
};

/// Serves the stream (CGStreamWire) on one TCP port. Each client sends its request first;
/// it then gets the host's preamble, the stream information when it asked for it and one has
/// been set, and from then on every published item of a requested type. Memory is bounded:
/// at most MaxClients clients, at most MaxQueuedItems items waiting per client.
///
/// Threading contract: one thread of its own runs all network work, from Start until Stop.
/// Publish, SetStreamInfo, GetCounts and GetClientCount may be called from any thread; Start,
/// SetDelay, Stop and destruction on the owner thread. Stop closes every connection, wakes and
/// joins the thread promptly. Not copyable.
class VOrvanCGStreamServer
{
public:
    static constexpr std::size_t MaxClients = 16;
    static constexpr std::size_t MaxQueuedItems = 4096;
    static constexpr std::chrono::seconds RequestTimeout{5};

    VOrvanCGStreamServer();
    ~VOrvanCGStreamServer();
    VOrvanCGStreamServer(const VOrvanCGStreamServer&) = delete;
    VOrvanCGStreamServer& operator=(const VOrvanCGStreamServer&) = delete;

    /// Listens on `address` (dotted IPv4) and `port` (0: any free port) and starts the
    /// thread. False, with the reason in `error`, when the address is not one or the port
    /// cannot be bound. Once only.
    bool Start(const std::string& address, std::uint16_t port, std::string& error);
    /// Closes the listener and every client and joins the thread. Idempotent.
    void Stop();
    /// The port listened on (useful after Start with 0); 0 before Start.
    std::uint16_t GetPort() const { return m_Port.load(); }

    /// Every published item leaves no earlier than `delay` after its Publish (0: at once).
    /// Before Start.
    void SetDelay(std::chrono::milliseconds delay) { m_Delay = delay; }
    /// The stream information sent first to each client that asks for its type; replaces an
    /// earlier one for clients that connect later. Any thread.
    void SetStreamInfo(std::shared_ptr<const OrvanCGStream::VStreamInfo> info);
    /// Sends `item` to every client that requested its type (null is ignored). Returns at
    /// once; the item is kept until sent. Any thread.
    void Publish(std::shared_ptr<const OrvanCGStream::VItem> item);

    VCGStreamServerCounts GetCounts() const;
    /// Clients whose request was read and that are still connected.
    std::size_t GetClientCount() const { return m_ReadyClients.load(); }

private:
    class VClient; // one connection; server thread only
    using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;
    using Clock = std::chrono::steady_clock;

    struct VDelayed
    {
        Clock::time_point Due;
        std::uint32_t Type = 0;
        Bytes Encoded;
    };

    // Server thread.
    void Accept();
    void ReadRequest(const std::shared_ptr<VClient>& client);
    void OnRequest(const std::shared_ptr<VClient>& client, std::set<std::uint32_t> types);
    void WatchForClose(const std::shared_ptr<VClient>& client);
    void Send(const std::shared_ptr<VClient>& client, Bytes bytes, std::uint32_t type);
    void WriteNext(const std::shared_ptr<VClient>& client);
    void Drop(const std::shared_ptr<VClient>& client, bool counted);
    void Deliver(std::uint32_t type, const Bytes& bytes);
    void ReleaseDue();
    void CloseAll();

    boost::asio::io_context m_Io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_Work;
    boost::asio::ip::tcp::acceptor m_Acceptor;
    boost::asio::steady_timer m_AcceptRetry;
    boost::asio::steady_timer m_DelayTimer;
    std::chrono::milliseconds m_Delay{0};
    std::atomic<std::uint16_t> m_Port{0};
    std::atomic<std::size_t> m_ReadyClients{0};

    // Server thread only.
    std::set<std::shared_ptr<VClient>> m_Clients;
    std::shared_ptr<const OrvanCGStream::VStreamInfo> m_StreamInfo;
    Bytes m_StreamInfoBytes;
    std::deque<VDelayed> m_Delayed;
    bool m_DelayTimerArmed = false;

    // Written on the server thread (Publish on any), read anywhere.
    std::atomic<std::uint64_t> m_ClientsAccepted{0};
    std::atomic<std::uint64_t> m_ClientsRefused{0};
    std::atomic<std::uint64_t> m_ClientsDropped{0};
    std::atomic<std::uint64_t> m_ItemsPublished{0};
    std::atomic<std::uint64_t> m_ItemsSent{0};
    std::atomic<std::uint64_t> m_ItemsDelayedDropped{0};

    std::thread m_Thread;
    bool m_Stopped = false; // owner thread
};
