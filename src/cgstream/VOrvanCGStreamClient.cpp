#include "cgstream/VOrvanCGStreamClient.h"

#include "cgstream/CGStreamWire.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>

#include <pthread.h>

#include <array>
#include <future>
#include <utility>
#include <vector>

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

class VOrvanCGStreamClient::VConnection
{
public:
    VConnection(asio::io_context& io, std::uint64_t serial, std::set<std::uint32_t> types)
        : m_Serial(serial), m_Types(std::move(types)), m_Socket(io), m_Resolver(io), m_Timer(io)
    {
    }

    /// Cancels everything outstanding; their handlers see `m_Closed` and do nothing more.
    void Close()
    {
        m_Closed = true;
        error_code ignored;
        m_Socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_Socket.close(ignored);
        m_Resolver.cancel();
        m_Timer.cancel();
    }

    const std::uint64_t m_Serial;
    const std::set<std::uint32_t> m_Types;
    tcp::socket m_Socket;
    tcp::resolver m_Resolver;
    asio::steady_timer m_Timer;
    bool m_Closed = false;
    std::vector<std::uint8_t> m_Request;
    std::array<std::uint8_t, CGStreamWire::ItemHeaderSize> m_Header{};
    std::vector<std::uint8_t> m_Payload;
};

namespace
{

/// A callback for clients made without one.
class VSilentCallback final : public IOrvanCGStreamClientCallback
{
};

} // namespace

VOrvanCGStreamClient::VOrvanCGStreamClient(std::shared_ptr<IOrvanCGStreamClientCallback> callback)
    : m_Callback(callback != nullptr ? std::move(callback) : std::make_shared<VSilentCallback>()),
      m_Work(asio::make_work_guard(m_Io))
{
    m_Thread = std::thread(
        [this]
        {
            pthread_setname_np(pthread_self(), "cgstream");
            m_Io.run();
        });
}

VOrvanCGStreamClient::~VOrvanCGStreamClient()
{
    {
        std::lock_guard lock(m_StateLock);
        ++m_Serial;
        m_State = EState::Unconnected;
    }
    // stop() rather than letting the work run out: a name look-up in progress would
    // otherwise hold the thread until it completes. Handlers left over are destroyed with
    // the io_context, without running.
    m_Work.reset();
    m_Io.stop();
    m_Thread.join();
    if (m_Current != nullptr)
        m_Current->Close();
}

void VOrvanCGStreamClient::SetRequestedTypes(std::set<std::uint32_t> types)
{
    std::lock_guard lock(m_StateLock);
    m_RequestedTypes = std::move(types);
}

void VOrvanCGStreamClient::Connect(const std::string& host, std::int32_t port)
{
    std::uint64_t serial = 0;
    std::set<std::uint32_t> types;
    {
        std::lock_guard lock(m_StateLock);
        serial = ++m_Serial;
        m_State = EState::Connecting;
        types = m_RequestedTypes;
    }
    asio::post(m_Io, [this, serial, host, port, types = std::move(types)]
               { Open(serial, host, port, types); });
}

void VOrvanCGStreamClient::Disconnect()
{
    {
        std::lock_guard lock(m_StateLock);
        ++m_Serial;
        m_State = EState::Unconnected;
    }
    if (std::this_thread::get_id() == m_Thread.get_id())
    {
        CloseCurrent();
        return;
    }
    // Waits for the connection thread, so no item of the old connection follows.
    std::promise<void> closed;
    std::future<void> done = closed.get_future();
    asio::post(m_Io,
               [this, &closed]
               {
                   CloseCurrent();
                   closed.set_value();
               });
    done.wait();
}

VOrvanCGStreamClient::EState VOrvanCGStreamClient::GetState() const
{
    std::lock_guard lock(m_StateLock);
    return m_State;
}

void VOrvanCGStreamClient::CloseCurrent()
{
    if (m_Current != nullptr)
        m_Current->Close();
    m_Current.reset();
}

bool VOrvanCGStreamClient::Advance(const VConnection& connection, EState state)
{
    std::lock_guard lock(m_StateLock);
    if (connection.m_Closed || connection.m_Serial != m_Serial)
        return false;
    m_State = state;
    return true;
}

void VOrvanCGStreamClient::Fail(VConnection& connection)
{
    if (connection.m_Closed)
        return;
    connection.Close();
    bool report = false;
    {
        std::lock_guard lock(m_StateLock);
        report = connection.m_Serial == m_Serial && m_State != EState::Unconnected;
        if (report)
            m_State = EState::Unconnected;
    }
    if (report)
        m_Callback->OnConnectionLost();
}

void VOrvanCGStreamClient::Open(std::uint64_t serial, const std::string& host, std::int32_t port,
                                const std::set<std::uint32_t>& types)
{
    CloseCurrent();
    {
        std::lock_guard lock(m_StateLock);
        if (serial != m_Serial)
            return; // a later Connect or Disconnect has its own work queued
    }
    auto connection = std::make_shared<VConnection>(m_Io, serial, types);
    m_Current = connection;
    if (port < 1 || port > 65535)
    {
        Fail(*connection);
        return;
    }

    connection->m_Timer.expires_after(ConnectTimeout);
    connection->m_Timer.async_wait(
        [this, connection](const error_code& error)
        {
            if (!error)
                Fail(*connection);
        });

    auto onConnected = [this, connection](const error_code& error, const tcp::endpoint&)
    {
        if (connection->m_Closed)
            return;
        if (error)
        {
            Fail(*connection);
            return;
        }
        connection->m_Timer.cancel();
        error_code ignored;
        connection->m_Socket.set_option(tcp::no_delay(true), ignored);
        connection->m_Request = CGStreamWire::EncodeRequest(connection->m_Types);
        asio::async_write(connection->m_Socket, asio::buffer(connection->m_Request),
                          [this, connection](const error_code& writeError, std::size_t)
                          {
                              if (connection->m_Closed)
                                  return;
                              if (writeError)
                              {
                                  Fail(*connection);
                                  return;
                              }
                              ReadPreamble(connection);
                          });
    };

    // A dotted address needs no look-up, which keeps the common case off the resolver's
    // own thread.
    error_code parseError;
    const asio::ip::address address = asio::ip::make_address(host, parseError);
    if (!parseError)
    {
        const std::array<tcp::endpoint, 1> endpoints{
            tcp::endpoint(address, static_cast<std::uint16_t>(port))};
        asio::async_connect(connection->m_Socket, endpoints, onConnected);
        return;
    }
    connection->m_Resolver.async_resolve(
        host, std::to_string(port),
        [this, connection, onConnected](const error_code& error,
                                        const tcp::resolver::results_type& results)
        {
            if (connection->m_Closed)
                return;
            if (error)
            {
                Fail(*connection);
                return;
            }
            asio::async_connect(connection->m_Socket, results, onConnected);
        });
}

void VOrvanCGStreamClient::ReadPreamble(const std::shared_ptr<VConnection>& connection)
{
    static_assert(CGStreamWire::PreambleSize == CGStreamWire::ItemHeaderSize);
    asio::async_read(connection->m_Socket, asio::buffer(connection->m_Header),
                     [this, connection](const error_code& error, std::size_t)
                     {
                         if (connection->m_Closed)
                             return;
                         if (error || !CGStreamWire::IsPreamble(connection->m_Header.data()))
                         {
                             Fail(*connection);
                             return;
                         }
                         if (Advance(*connection, EState::Connected))
                             m_Callback->OnConnected();
                         ReadHeader(connection);
                     });
}

void VOrvanCGStreamClient::ReadHeader(const std::shared_ptr<VConnection>& connection)
{
    asio::async_read(
        connection->m_Socket, asio::buffer(connection->m_Header),
        [this, connection](const error_code& error, std::size_t)
        {
            if (connection->m_Closed)
                return;
            std::uint32_t type = 0;
            std::uint32_t length = 0;
            if (error || !CGStreamWire::DecodeItemHeader(connection->m_Header.data(), type, length))
            {
                Fail(*connection);
                return;
            }
            ReadPayload(connection, type, length);
        });
}

void VOrvanCGStreamClient::ReadPayload(const std::shared_ptr<VConnection>& connection,
                                       std::uint32_t type, std::uint32_t length)
{
    connection->m_Payload.resize(length);
    asio::async_read(connection->m_Socket, asio::buffer(connection->m_Payload),
                     [this, connection, type](const error_code& error, std::size_t)
                     {
                         if (connection->m_Closed)
                             return;
                         std::shared_ptr<const OrvanCGStream::VItem> item =
                             error ? nullptr
                                   : CGStreamWire::DecodeItem(type, connection->m_Payload.data(),
                                                              connection->m_Payload.size());
                         if (item == nullptr)
                         {
                             Fail(*connection);
                             return;
                         }
                         if (connection->m_Types.count(type) != 0)
                             m_Callback->OnItemReceived(std::move(item));
                         else
                             m_Callback->OnUnrequestedItem(std::move(item));
                         ReadHeader(connection);
                     });
}
