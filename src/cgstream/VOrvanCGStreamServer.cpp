#include "cgstream/VOrvanCGStreamServer.h"

#include "cgstream/CGStreamWire.h"
#include "cgstream/VStreamInfo.h"

#include <boost/asio/post.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include <pthread.h>

#include <array>
#include <utility>

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

class VOrvanCGStreamServer::VClient
{
public:
    explicit VClient(tcp::socket socket)
        : m_Socket(std::move(socket)), m_Timer(m_Socket.get_executor())
    {
    }

    void Close()
    {
        m_Closed = true;
        error_code ignored;
        m_Socket.shutdown(tcp::socket::shutdown_both, ignored);
        m_Socket.close(ignored);
        m_Timer.cancel();
        m_Queue.clear();
    }

    tcp::socket m_Socket;
    asio::steady_timer m_Timer;
    std::array<std::uint8_t, CGStreamWire::RequestFixedSize> m_RequestHead{};
    std::vector<std::uint8_t> m_RequestTypes;
    std::set<std::uint32_t> m_Types;
    bool m_Ready = false;
    bool m_Closed = false;
    bool m_Writing = false;
    std::deque<std::pair<Bytes, std::uint32_t>> m_Queue; // encoded item and its type
    std::array<std::uint8_t, 256> m_Discard{};
};

VOrvanCGStreamServer::VOrvanCGStreamServer()
    : m_Work(asio::make_work_guard(m_Io)), m_Acceptor(m_Io), m_AcceptRetry(m_Io), m_DelayTimer(m_Io)
{
}

VOrvanCGStreamServer::~VOrvanCGStreamServer()
{
    Stop();
}

bool VOrvanCGStreamServer::Start(const std::string& address, std::uint16_t port, std::string& error)
{
    if (m_Thread.joinable() || m_Stopped)
    {
        error = "the stream server was started before";
        return false;
    }
    error_code code;
    const asio::ip::address_v4 listenAddress = asio::ip::make_address_v4(address, code);
    if (code)
    {
        error = "\"" + address + "\" is not an IPv4 address";
        return false;
    }
    const tcp::endpoint endpoint(listenAddress, port);
    m_Acceptor.open(endpoint.protocol(), code);
    if (!code)
        m_Acceptor.set_option(tcp::acceptor::reuse_address(true), code);
    if (!code)
        m_Acceptor.bind(endpoint, code);
    if (!code)
        m_Acceptor.listen(asio::socket_base::max_listen_connections, code);
    if (code)
    {
        error = "cannot listen on " + address + ":" + std::to_string(port) +
                " for the stream: " + code.message();
        error_code ignored;
        m_Acceptor.close(ignored);
        return false;
    }
    m_Port = m_Acceptor.local_endpoint(code).port();
    Accept();
    m_Thread = std::thread(
        [this]
        {
            pthread_setname_np(pthread_self(), "cgstream-serve");
            m_Io.run();
        });
    return true;
}

void VOrvanCGStreamServer::Stop()
{
    if (m_Stopped)
        return;
    m_Stopped = true;
    if (m_Thread.joinable())
    {
        asio::post(m_Io, [this] { CloseAll(); });
        m_Work.reset();
        m_Thread.join();
    }
    // Whatever is left (never started, or handlers not run) goes with the io_context.
    CloseAll();
    m_Io.stop();
}

void VOrvanCGStreamServer::SetStreamInfo(std::shared_ptr<const OrvanCGStream::VStreamInfo> info)
{
    asio::post(m_Io,
               [this, info = std::move(info)]
               {
                   m_StreamInfo = info;
                   m_StreamInfoBytes = info != nullptr
                                           ? std::make_shared<const std::vector<std::uint8_t>>(
                                                 CGStreamWire::EncodeItem(*info))
                                           : nullptr;
               });
}

void VOrvanCGStreamServer::Publish(std::shared_ptr<const OrvanCGStream::VItem> item)
{
    if (item == nullptr)
        return;
    ++m_ItemsPublished;
    const Clock::time_point due = Clock::now() + m_Delay;
    const std::uint32_t type = item->GetType();
    // Encoded once on the publishing thread, shared by every client.
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(CGStreamWire::EncodeItem(*item));
    asio::post(m_Io,
               [this, due, type, bytes = std::move(bytes)]() mutable
               {
                   if (m_Delay.count() == 0)
                   {
                       Deliver(type, bytes);
                       return;
                   }
                   if (m_Delayed.size() >= MaxQueuedItems)
                   {
                       ++m_ItemsDelayedDropped;
                       return;
                   }
                   m_Delayed.push_back({due, type, std::move(bytes)});
                   ReleaseDue();
               });
}

VCGStreamServerCounts VOrvanCGStreamServer::GetCounts() const
{
    VCGStreamServerCounts counts;
    counts.ClientsAccepted = m_ClientsAccepted.load();
    counts.ClientsRefused = m_ClientsRefused.load();
    counts.ClientsDropped = m_ClientsDropped.load();
    counts.ItemsPublished = m_ItemsPublished.load();
    counts.ItemsSent = m_ItemsSent.load();
    counts.ItemsDelayedDropped = m_ItemsDelayedDropped.load();
    return counts;
}

// ---- server thread --------------------------------------------------------------------------

void VOrvanCGStreamServer::Accept()
{
    m_Acceptor.async_accept(
        [this](const error_code& error, tcp::socket socket)
        {
            if (!m_Acceptor.is_open())
                return;
            if (!error)
            {
                if (m_Clients.size() >= MaxClients)
                {
                    ++m_ClientsRefused;
                    error_code ignored;
                    socket.close(ignored);
                }
                else
                {
                    ++m_ClientsAccepted;
                    error_code ignored;
                    socket.set_option(tcp::no_delay(true), ignored);
                    auto client = std::make_shared<VClient>(std::move(socket));
                    m_Clients.insert(client);
                    ReadRequest(client);
                }
                Accept();
                return;
            }
            // Out of descriptors, say: try again shortly instead of spinning.
            m_AcceptRetry.expires_after(std::chrono::milliseconds(100));
            m_AcceptRetry.async_wait(
                [this](const error_code& retryError)
                {
                    if (!retryError)
                        Accept();
                });
        });
}

void VOrvanCGStreamServer::ReadRequest(const std::shared_ptr<VClient>& client)
{
    client->m_Timer.expires_after(RequestTimeout);
    client->m_Timer.async_wait(
        [this, client](const error_code& error)
        {
            if (!error && !client->m_Ready)
                Drop(client, true);
        });
    asio::async_read(
        client->m_Socket, asio::buffer(client->m_RequestHead),
        [this, client](const error_code& error, std::size_t)
        {
            if (client->m_Closed)
                return;
            std::uint32_t count = 0;
            if (error || !CGStreamWire::DecodeRequestHeader(client->m_RequestHead.data(), count))
            {
                Drop(client, true);
                return;
            }
            client->m_RequestTypes.resize(4 * std::size_t{count});
            asio::async_read(client->m_Socket, asio::buffer(client->m_RequestTypes),
                             [this, client, count](const error_code& typesError, std::size_t)
                             {
                                 if (client->m_Closed)
                                     return;
                                 if (typesError)
                                 {
                                     Drop(client, true);
                                     return;
                                 }
                                 OnRequest(client, CGStreamWire::DecodeRequestedTypes(
                                                       client->m_RequestTypes.data(), count));
                             });
        });
}

void VOrvanCGStreamServer::OnRequest(const std::shared_ptr<VClient>& client,
                                     std::set<std::uint32_t> types)
{
    client->m_Timer.cancel();
    client->m_Types = std::move(types);
    client->m_Ready = true;
    ++m_ReadyClients;
    Send(client, std::make_shared<const std::vector<std::uint8_t>>(CGStreamWire::EncodePreamble()),
         0);
    if (m_StreamInfoBytes != nullptr && client->m_Types.count(OrvanCGStream::ItemTypeStreamInfo))
        Send(client, m_StreamInfoBytes, OrvanCGStream::ItemTypeStreamInfo);
    WatchForClose(client);
}

void VOrvanCGStreamServer::WatchForClose(const std::shared_ptr<VClient>& client)
{
    // A client says nothing after its request; reading is how its leaving is noticed.
    client->m_Socket.async_read_some(asio::buffer(client->m_Discard),
                                     [this, client](const error_code& error, std::size_t)
                                     {
                                         if (client->m_Closed)
                                             return;
                                         if (error)
                                         {
                                             Drop(client, false);
                                             return;
                                         }
                                         WatchForClose(client);
                                     });
}

void VOrvanCGStreamServer::Send(const std::shared_ptr<VClient>& client, Bytes bytes,
                                std::uint32_t type)
{
    if (client->m_Queue.size() >= MaxQueuedItems)
    {
        Drop(client, true);
        return;
    }
    client->m_Queue.emplace_back(std::move(bytes), type);
    if (!client->m_Writing)
        WriteNext(client);
}

void VOrvanCGStreamServer::WriteNext(const std::shared_ptr<VClient>& client)
{
    if (client->m_Closed || client->m_Queue.empty())
    {
        client->m_Writing = false;
        return;
    }
    client->m_Writing = true;
    const Bytes& bytes = client->m_Queue.front().first;
    asio::async_write(client->m_Socket, asio::buffer(*bytes),
                      [this, client](const error_code& error, std::size_t)
                      {
                          if (client->m_Closed)
                              return;
                          if (error)
                          {
                              Drop(client, false);
                              return;
                          }
                          if (client->m_Queue.front().second != 0)
                              ++m_ItemsSent;
                          client->m_Queue.pop_front();
                          WriteNext(client);
                      });
}

void VOrvanCGStreamServer::Drop(const std::shared_ptr<VClient>& client, bool counted)
{
    if (client->m_Closed)
        return;
    if (counted)
        ++m_ClientsDropped;
    if (client->m_Ready)
        --m_ReadyClients;
    client->Close();
    m_Clients.erase(client);
}

void VOrvanCGStreamServer::Deliver(std::uint32_t type, const Bytes& bytes)
{
    // Drop may remove a client from the set while it is walked: walk a copy.
    const std::vector<std::shared_ptr<VClient>> clients(m_Clients.begin(), m_Clients.end());
    for (const std::shared_ptr<VClient>& client : clients)
    {
        if (client->m_Ready && client->m_Types.count(type) != 0)
            Send(client, bytes, type);
    }
}

void VOrvanCGStreamServer::ReleaseDue()
{
    const Clock::time_point now = Clock::now();
    while (!m_Delayed.empty() && m_Delayed.front().Due <= now)
    {
        const VDelayed delayed = std::move(m_Delayed.front());
        m_Delayed.pop_front();
        Deliver(delayed.Type, delayed.Encoded);
    }
    if (m_Delayed.empty() || m_DelayTimerArmed)
        return;
    m_DelayTimerArmed = true;
    m_DelayTimer.expires_at(m_Delayed.front().Due);
    m_DelayTimer.async_wait(
        [this](const error_code& error)
        {
            m_DelayTimerArmed = false;
            if (!error)
                ReleaseDue();
        });
}

void VOrvanCGStreamServer::CloseAll()
{
    error_code ignored;
    m_Acceptor.close(ignored);
    m_AcceptRetry.cancel();
    m_DelayTimer.cancel();
    m_Delayed.clear();
    for (const std::shared_ptr<VClient>& client : m_Clients)
    {
        if (client->m_Ready)
            --m_ReadyClients;
        client->Close();
    }
    m_Clients.clear();
}
