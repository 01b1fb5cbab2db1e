#include "net/VDataInSocket.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace
{
/// Pause after an unexpected receive error, so a lasting fault cannot make the loop spin.
constexpr int ErrorPauseMs = 10;
} // namespace

VDataInSocket::VDataInSocket() : m_WakeHandle(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

VDataInSocket::~VDataInSocket()
{
    if (m_WakeHandle >= 0)
        ::close(m_WakeHandle);
}

void VDataInSocket::RequestStop()
{
    m_StopRequested.store(true);
    if (m_WakeHandle >= 0)
    {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_WakeHandle, &one, sizeof one);
        return;
    }
    // No wake-up descriptor: shutting the socket down wakes a blocked poll instead.
    Interrupt(true);
}

void VDataInSocket::ClearStopRequest()
{
    if (m_WakeHandle >= 0)
    {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(m_WakeHandle, &count, sizeof count);
    }
    m_StopRequested.store(false);
}

void VDataInSocket::OnDatagram(const uint8_t* data, uint32_t length)
{
    if (m_Handler)
        m_Handler(data, length);
}

bool VDataInSocket::SetDestinationFilter(DestinationFilter filter)
{
    m_DestinationFilter = std::move(filter);
    if (!m_DestinationFilter)
        return true;
    const int on = 1;
    return SetOption(IPPROTO_IP, IP_PKTINFO, &on, sizeof on);
}

unsigned VDataInSocket::WaitReadable(const VDataInSocket* other)
{
    for (;;)
    {
        if (m_StopRequested.load() || !IsValid())
            return 0;
        pollfd entries[3] = {{GetHandle(), POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        nfds_t count = 1;
        const nfds_t otherIndex = other != nullptr && other->IsValid() ? count++ : 0;
        if (otherIndex != 0)
            entries[otherIndex].fd = other->GetHandle();
        if (m_WakeHandle >= 0)
            entries[count++].fd = m_WakeHandle;
        const int ready = ::poll(entries, count, -1);
        if (m_StopRequested.load())
            return 0;
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return 0;
        }
        const short own = entries[0].revents;
        const short others = otherIndex != 0 ? entries[otherIndex].revents : short{0};
        if (((own | others) & POLLNVAL) != 0)
            return 0;
        const unsigned readable = (own != 0 ? 1u : 0u) | (others != 0 ? 2u : 0u);
        if (readable != 0)
            return readable;
    }
}

int VDataInSocket::ReceiveDatagram(sockaddr_in& source, uint32_t& destination)
{
    destination = 0;
    // MSG_TRUNC makes the call report the datagram's real length, so an oversized one is
    // recognised and dropped instead of delivered cut short.
    if (!m_DestinationFilter)
        return ReceiveFrom(m_Buffer.data(), m_Buffer.size(), source, MSG_TRUNC | MSG_DONTWAIT);
    iovec bytes{m_Buffer.data(), m_Buffer.size()};
    alignas(cmsghdr) std::array<char, CMSG_SPACE(sizeof(in_pktinfo))> control{};
    msghdr message{};
    message.msg_name = &source;
    message.msg_namelen = sizeof source;
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    ssize_t received = 0;
    do
        received = ::recvmsg(GetHandle(), &message, MSG_TRUNC | MSG_DONTWAIT);
    while (received < 0 && errno == EINTR);
    for (cmsghdr* entry = CMSG_FIRSTHDR(&message); entry != nullptr;
         entry = CMSG_NXTHDR(&message, entry))
    {
        if (entry->cmsg_level != IPPROTO_IP || entry->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(entry), sizeof info);
        destination = info.ipi_addr.s_addr;
    }
    return static_cast<int>(received);
}

bool VDataInSocket::ReceiveOne()
{
    sockaddr_in source{};
    uint32_t destination = 0;
    const int received = ReceiveDatagram(source, destination);
    if (received < 0)
    {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return true;
        if (errno == EBADF || errno == ENOTSOCK || errno == EINVAL || errno == EFAULT)
            return false;
        // Passing faults (ECONNREFUSED after an ICMP error, ENOMEM, ENOBUFS): skip, pausing
        // unless told to stop.
        pollfd wake{m_WakeHandle, POLLIN, 0};
        ::poll(&wake, m_WakeHandle >= 0 ? 1 : 0, ErrorPauseMs);
        return true;
    }
    if (received == 0 && source.sin_family != AF_INET)
        return false; // shut down from elsewhere: no datagram, and none will come
    if (static_cast<size_t>(received) > m_Buffer.size())
        return true;
    if (m_DestinationFilter && !m_DestinationFilter(destination))
        return true;
    if (received > 0 && source.sin_addr.s_addr != m_SourceFilter.load())
        return true;
    OnDatagram(m_Buffer.data(), static_cast<uint32_t>(received));
    return true;
}

int VDataInSocket::RunReceiveLoop()
{
    return RunReceiveLoop(nullptr);
}

int VDataInSocket::RunReceiveLoop(VDataInSocket* other)
{
    for (unsigned readable = WaitReadable(other); readable != 0; readable = WaitReadable(other))
    {
        if ((readable & 1u) != 0 && !ReceiveOne())
            return -1;
        if ((readable & 2u) != 0 && !other->ReceiveOne())
            return -1;
    }
    return m_StopRequested.load() ? 0 : -1;
}
