// The client side of the host's data stream: one connection thread that connects, sends the
// request for item types and delivers the items it reads.
#pragma once

#include "cgstream/IOrvanCGStreamClientCallback.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/executor_work_guard.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

/// Connects to a host's stream (CGStreamWire), requests item types and hands every item to
/// its callback. It never connects again by itself: a lost or refused connection is
/// reported once (OnConnectionLost) and the client stays unconnected until the next Connect.
///
/// Threading contract: one connection thread of its own, started by the constructor and
/// joined by the destructor, runs all network work and every callback. SetRequestedTypes,
/// Connect, Disconnect and GetState may be called from any thread, the destructor from any
/// but the connection thread (so not from a callback). m_StateLock guards the state and the
/// serial number that tells a current connection from a superseded one; it is never held
/// while a callback runs. Not copyable.
class VOrvanCGStreamClient
{
public:
    enum class EState
    {
        Unconnected, ///< never connected, disconnected, or the connection was lost
        Connecting,  ///< resolving the host, connecting, or exchanging the preambles
        Connected,   ///< the request went out and the host answered; items arrive
    };

    /// A connection attempt that takes longer than this is given up and reported lost.
    static constexpr std::chrono::seconds ConnectTimeout{5};

    /// `callback` is shared with the client; null gets a callback that does nothing.
    explicit VOrvanCGStreamClient(std::shared_ptr<IOrvanCGStreamClientCallback> callback);
    /// Closes any connection without reporting it and joins the connection thread.
    ~VOrvanCGStreamClient();
    VOrvanCGStreamClient(const VOrvanCGStreamClient&) = delete;
    VOrvanCGStreamClient& operator=(const VOrvanCGStreamClient&) = delete;

    /// The item types the next Connect asks for (at most CGStreamWire::MaxRequestedTypes).
    void SetRequestedTypes(std::set<std::uint32_t> types);

    /// Ends the current connection, if any, without reporting it, and starts connecting to
    /// `host` (a name or a dotted address) on TCP `port`. Returns at once; the outcome
    /// arrives as OnConnected or OnConnectionLost. A port outside 1 to 65535 is reported
    /// lost like a refused connection.
    void Connect(const std::string& host, std::int32_t port);
    /// Ends the current connection, if any, without reporting it. Returns once the
    /// connection thread has closed it: no item of it is delivered afterwards.
    void Disconnect();

    EState GetState() const;

private:
    class VConnection; // the socket and buffers of one attempt; connection thread only

    /// Connection thread: closes the current connection and opens the one of `serial`
    /// unless a later Connect or Disconnect superseded it.
    void Open(std::uint64_t serial, const std::string& host, std::int32_t port,
              const std::set<std::uint32_t>& types);
    void CloseCurrent();
    /// Connection thread: `connection` has reached `state`; false when it was superseded.
    bool Advance(const VConnection& connection, EState state);
    /// Connection thread: `connection` failed; reports the loss unless superseded.
    void Fail(VConnection& connection);
    /// Connection thread: the host's preamble, then items until the connection ends.
    void ReadPreamble(const std::shared_ptr<VConnection>& connection);
    void ReadHeader(const std::shared_ptr<VConnection>& connection);
    void ReadPayload(const std::shared_ptr<VConnection>& connection, std::uint32_t type,
                     std::uint32_t length);

    const std::shared_ptr<IOrvanCGStreamClientCallback> m_Callback;

    mutable std::mutex m_StateLock; // guards m_Serial, m_State, m_RequestedTypes
    std::uint64_t m_Serial = 0;
    EState m_State = EState::Unconnected;
    std::set<std::uint32_t> m_RequestedTypes;

    boost::asio::io_context m_Io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_Work;
    std::shared_ptr<VConnection> m_Current; // connection thread only
    std::thread m_Thread;
};
