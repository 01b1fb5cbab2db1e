#include "net/VSocketSimple.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace
{
sockaddr_in MakeAddress(uint32_t networkOrderAddress, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = networkOrderAddress;
    return address;
}

size_t ClampLength(size_t length)
{
    return std::min<size_t>(length, INT_MAX);
}

/// poll() time-out argument for a millisecond value where Infinite means no limit.
int PollTimeout(uint32_t timeoutMs)
{
    if (timeoutMs == VSocketSimple::Infinite)
        return -1;
    return static_cast<int>(std::min<uint32_t>(timeoutMs, INT_MAX));
}

bool ParseDottedAddress(const std::string& text, uint32_t& networkOrderAddress)
{
    if (text.empty())
    {
        networkOrderAddress = htonl(INADDR_ANY);
        return true;
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1)
        return false;
    networkOrderAddress = parsed.s_addr;
    return true;
}
} // namespace

VSocketSimple::~VSocketSimple()
{
    Close(true);
}

bool VSocketSimple::Create(uint32_t kind)
{
    if (IsValid() || (kind != KindDatagram && kind != KindStream))
        return false;
    const int type = (kind == KindDatagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC;
    const int handle = ::socket(AF_INET, type, 0);
    if (handle < 0)
        return false;
    m_Kind = kind;
    m_Groups.clear();
    m_Handle.store(handle);
    return true;
}

bool VSocketSimple::Bind(uint16_t port)
{
    return BindToAddress(htonl(INADDR_ANY), port);
}

bool VSocketSimple::BindTo(const std::string& host, uint16_t port)
{
    uint32_t address = 0;
    if (!IsValid() || !ResolveHost(host, address))
        return false;
    return BindToAddress(address, port);
}

bool VSocketSimple::BindToAddress(uint32_t networkOrderAddress, uint16_t port)
{
    if (!IsValid())
        return false;
    const sockaddr_in address = MakeAddress(networkOrderAddress, port);
    return ::bind(m_Handle.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
           0;
}

bool VSocketSimple::BindToAddressOrAny(uint32_t networkOrderAddress, uint16_t port,
                                       bool* boundToAddress)
{
    if (boundToAddress != nullptr)
        *boundToAddress = false;
    if (networkOrderAddress != htonl(INADDR_ANY))
    {
        if (BindToAddress(networkOrderAddress, port))
        {
            if (boundToAddress != nullptr)
                *boundToAddress = true;
            return true;
        }
        if (errno != EADDRNOTAVAIL)
            return false;
    }
    return Bind(port);
}

uint16_t VSocketSimple::GetLocalPort() const
{
    if (!IsValid())
        return 0;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(m_Handle.load(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool VSocketSimple::Listen(int backlog)
{
    if (!IsValid() || m_Kind != KindStream)
        return false;
    return ::listen(m_Handle.load(), backlog) == 0;
}

bool VSocketSimple::Accept(VSocketSimple& target)
{
    if (!IsValid() || target.IsValid() || &target == this)
        return false;
    int handle;
    do
        handle = ::accept4(m_Handle.load(), nullptr, nullptr, SOCK_CLOEXEC);
    while (handle < 0 && errno == EINTR);
    if (handle < 0)
        return false;
    target.m_Kind = KindStream;
    target.m_Groups.clear();
    target.m_Handle.store(handle);
    return true;
}

bool VSocketSimple::Connect(const std::string& host, uint16_t port)
{
    return ConnectResolved(host, port, 0, false);
}

bool VSocketSimple::ConnectWithTimeout(const std::string& host, uint16_t port, uint32_t timeoutMs)
{
    return ConnectResolved(host, port, timeoutMs, true);
}

bool VSocketSimple::ConnectResolved(const std::string& host, uint16_t port, uint32_t timeoutMs,
                                    bool limitTime)
{
    if (!IsValid())
        return false;
    uint32_t resolved = 0;
    if (!ResolveHost(host, resolved))
    {
        Close(true);
        return false;
    }
    const sockaddr_in address = MakeAddress(resolved, port);
    const int handle = m_Handle.load();
    if (!limitTime)
    {
        if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return true;
        Close(true);
        return false;
    }

    bool connected = false;
    if (SetNonBlocking(true))
    {
        if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            connected = true;
        else if (errno == EINPROGRESS)
        {
            pollfd entry{handle, POLLOUT, 0};
            int ready;
            do
                ready = ::poll(&entry, 1, timeoutMs == 0 ? -1 : PollTimeout(timeoutMs));
            while (ready < 0 && errno == EINTR);
            int error = 0;
            socklen_t length = sizeof error;
            connected = ready == 1 &&
                        ::getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
                        error == 0;
        }
    }
    if (connected && SetNonBlocking(false))
        return true;
    Close(true);
    return false;
}

int VSocketSimple::Send(const void* data, size_t length, int flags)
{
    if (!IsValid())
        return -1;
    ssize_t sent;
    do
        sent = ::send(m_Handle.load(), data, ClampLength(length), flags | MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return static_cast<int>(sent);
}

int VSocketSimple::Receive(void* data, size_t length, int flags)
{
    if (!IsValid())
        return -1;
    ssize_t received;
    do
        received = ::recv(m_Handle.load(), data, ClampLength(length), flags);
    while (received < 0 && errno == EINTR);
    return static_cast<int>(received);
}

int VSocketSimple::SendTo(const void* data, size_t length, const sockaddr_in& destination,
                          int flags)
{
    if (!IsValid())
        return -1;
    ssize_t sent;
    do
        sent = ::sendto(m_Handle.load(), data, ClampLength(length), flags | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    while (sent < 0 && errno == EINTR);
    return static_cast<int>(sent);
}

int VSocketSimple::SendTo(const void* data, size_t length, uint32_t networkOrderAddress,
                          uint16_t port, int flags)
{
    return SendTo(data, length, MakeAddress(networkOrderAddress, port), flags);
}

int VSocketSimple::ReceiveFrom(void* data, size_t length, sockaddr_in& source, int flags)
{
    if (!IsValid())
        return -1;
    ssize_t received;
    do
    {
        socklen_t sourceLength = sizeof source;
        source = sockaddr_in{};
        received = ::recvfrom(m_Handle.load(), data, ClampLength(length), flags,
                              reinterpret_cast<sockaddr*>(&source), &sourceLength);
    } while (received < 0 && errno == EINTR);
    return static_cast<int>(received);
}

bool VSocketSimple::Shutdown(bool drain)
{
    if (!IsValid())
        return false;
    if (::shutdown(m_Handle.load(), SHUT_WR) != 0)
        return false;
    if (!drain)
        return true;
    char discard[256];
    for (;;)
    {
        const int received = Receive(discard, sizeof discard);
        if (received == 0)
            return true;
        if (received < 0)
            return false;
    }
}

bool VSocketSimple::Interrupt(bool graceful)
{
    const int handle = m_Handle.load();
    if (handle == InvalidHandle)
        return false;
    if (graceful)
        return ::shutdown(handle, SHUT_RDWR) == 0;
    const linger abortive{1, 0};
    ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    return ::shutdown(handle, SHUT_RD) == 0;
}

bool VSocketSimple::Close(bool graceful)
{
    const int handle = m_Handle.exchange(InvalidHandle);
    if (handle == InvalidHandle)
        return false;
    if (!graceful)
    {
        const linger abortive{1, 0};
        ::setsockopt(handle, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    }
    m_Groups.clear();
    // The descriptor is released even when close() reports an error (EINTR included).
    return ::close(handle) == 0;
}

bool VSocketSimple::SetReceiveTimeout(uint32_t ms)
{
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(ms / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((ms % 1000) * 1000);
    return SetOption(SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

bool VSocketSimple::SetKeepAlive(bool on, uint32_t timeMs, uint32_t intervalMs)
{
    if (!SetFlag(SOL_SOCKET, SO_KEEPALIVE, on))
        return false;
    if (!on)
        return true;
    const int idleSeconds = static_cast<int>(std::max<uint32_t>(1, (timeMs + 999) / 1000));
    const int intervalSeconds = static_cast<int>(std::max<uint32_t>(1, (intervalMs + 999) / 1000));
    return SetOption(IPPROTO_TCP, TCP_KEEPIDLE, &idleSeconds, sizeof idleSeconds) &&
           SetOption(IPPROTO_TCP, TCP_KEEPINTVL, &intervalSeconds, sizeof intervalSeconds);
}

bool VSocketSimple::SetNonBlocking(bool on)
{
    if (!IsValid())
        return false;
    const int handle = m_Handle.load();
    const int flags = ::fcntl(handle, F_GETFL, 0);
    if (flags < 0)
        return false;
    const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return wanted == flags || ::fcntl(handle, F_SETFL, wanted) == 0;
}

bool VSocketSimple::SetBroadcast(bool on)
{
    return SetFlag(SOL_SOCKET, SO_BROADCAST, on);
}

bool VSocketSimple::GetBroadcast(bool& on) const
{
    return GetFlag(SOL_SOCKET, SO_BROADCAST, on);
}

bool VSocketSimple::SetNoDelay(bool on)
{
    return SetFlag(IPPROTO_TCP, TCP_NODELAY, on);
}

bool VSocketSimple::GetNoDelay(bool& on) const
{
    return GetFlag(IPPROTO_TCP, TCP_NODELAY, on);
}

bool VSocketSimple::SetReuseAddress(bool on)
{
    return SetFlag(SOL_SOCKET, SO_REUSEADDR, on);
}

bool VSocketSimple::GetReuseAddress(bool& on) const
{
    return GetFlag(SOL_SOCKET, SO_REUSEADDR, on);
}

bool VSocketSimple::SetMulticastLoop(bool on)
{
    const unsigned char value = on ? 1 : 0;
    return SetOption(IPPROTO_IP, IP_MULTICAST_LOOP, &value, sizeof value);
}

bool VSocketSimple::SetMulticastTtl(uint8_t ttl)
{
    const unsigned char value = ttl;
    return SetOption(IPPROTO_IP, IP_MULTICAST_TTL, &value, sizeof value);
}

bool VSocketSimple::SetMulticastInterface(const std::string& interfaceAddress)
{
    in_addr address{};
    if (!ParseDottedAddress(interfaceAddress, address.s_addr))
        return false;
    return SetOption(IPPROTO_IP, IP_MULTICAST_IF, &address, sizeof address);
}

bool VSocketSimple::JoinGroup(const std::string& group, const std::string& interfaceAddress)
{
    ip_mreq request{};
    if (group.empty() || !ParseDottedAddress(group, request.imr_multiaddr.s_addr) ||
        !ParseDottedAddress(interfaceAddress, request.imr_interface.s_addr))
        return false;
    if (!SetOption(IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof request))
        return false;
    m_Groups.emplace_back(request.imr_multiaddr.s_addr, request.imr_interface.s_addr);
    return true;
}

bool VSocketSimple::LeaveGroup(const std::string& group)
{
    ip_mreq request{};
    if (group.empty() || !ParseDottedAddress(group, request.imr_multiaddr.s_addr))
        return false;
    auto joined = std::find_if(m_Groups.begin(), m_Groups.end(),
                               [&](const auto& entry)
                               { return entry.first == request.imr_multiaddr.s_addr; });
    if (joined != m_Groups.end())
        request.imr_interface.s_addr = joined->second;
    if (!SetOption(IPPROTO_IP, IP_DROP_MEMBERSHIP, &request, sizeof request))
        return false;
    if (joined != m_Groups.end())
        m_Groups.erase(joined);
    return true;
}

bool VSocketSimple::SetOption(int level, int name, const void* value, socklen_t length)
{
    if (!IsValid())
        return false;
    return ::setsockopt(m_Handle.load(), level, name, value, length) == 0;
}

bool VSocketSimple::GetOption(int level, int name, void* value, socklen_t& length) const
{
    if (!IsValid())
        return false;
    return ::getsockopt(m_Handle.load(), level, name, value, &length) == 0;
}

bool VSocketSimple::SetFlag(int level, int name, bool on)
{
    const int value = on ? 1 : 0;
    return SetOption(level, name, &value, sizeof value);
}

bool VSocketSimple::GetFlag(int level, int name, bool& on) const
{
    int value = 0;
    socklen_t length = sizeof value;
    if (!GetOption(level, name, &value, length))
        return false;
    on = value != 0;
    return true;
}

bool VSocketSimple::Select(std::vector<VSocketSimple*>& readers,
                           std::vector<VSocketSimple*>& writers, uint32_t timeoutMs)
{
    // One poll entry per distinct handle; a socket in both lists shares its entry.
    std::vector<pollfd> entries;
    auto entryFor = [&](int handle) -> pollfd&
    {
        for (pollfd& entry : entries)
        {
            if (entry.fd == handle)
                return entry;
        }
        entries.push_back(pollfd{handle, 0, 0});
        return entries.back();
    };
    auto countDistinct = [](const std::vector<VSocketSimple*>& sockets)
    {
        std::vector<VSocketSimple*> copy(sockets);
        std::sort(copy.begin(), copy.end());
        return static_cast<size_t>(std::unique(copy.begin(), copy.end()) - copy.begin());
    };
    if (countDistinct(readers) > MaxSelectSockets || countDistinct(writers) > MaxSelectSockets)
        return false;
    for (VSocketSimple* socket : readers)
    {
        if (socket == nullptr || !socket->IsValid())
            return false;
        entryFor(socket->GetHandle()).events |= POLLIN;
    }
    for (VSocketSimple* socket : writers)
    {
        if (socket == nullptr || !socket->IsValid())
            return false;
        entryFor(socket->GetHandle()).events |= POLLOUT;
    }

    int ready;
    do
        ready = ::poll(entries.data(), entries.size(), PollTimeout(timeoutMs));
    while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return false;

    auto revents = [&](VSocketSimple* socket)
    {
        for (const pollfd& entry : entries)
        {
            if (entry.fd == socket->GetHandle())
                return entry.revents;
        }
        return short{0};
    };
    // Like select(), an error or hang-up counts as ready: the next call reports it at once.
    const short readable = POLLIN | POLLHUP | POLLERR | POLLNVAL;
    const short writable = POLLOUT | POLLHUP | POLLERR | POLLNVAL;
    std::erase_if(readers,
                  [&](VSocketSimple* socket) { return (revents(socket) & readable) == 0; });
    std::erase_if(writers,
                  [&](VSocketSimple* socket) { return (revents(socket) & writable) == 0; });
    return true;
}

bool VSocketSimple::ResolveHost(const std::string& host, uint32_t& networkOrderAddress)
{
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) == 0 && found != nullptr)
    {
        networkOrderAddress = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        ::freeaddrinfo(found);
        return true;
    }
    in_addr parsed{};
    if (inet_pton(AF_INET, host.c_str(), &parsed) != 1)
        return false;
    networkOrderAddress = parsed.s_addr;
    return true;
}
