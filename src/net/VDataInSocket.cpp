#include "net/VDataInSocket.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

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

bool VDataInSocket::WaitReadable()
{
    for (;;)
    {
        if (m_StopRequested.load() || !IsValid())
            return false;
        pollfd entries[2] = {{GetHandle(), POLLIN, 0}, {m_WakeHandle, POLLIN, 0}};
        const int count = m_WakeHandle >= 0 ? 2 : 1;
        const int ready = ::poll(entries, count, -1);
        if (m_StopRequested.load())
            return false;
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return false;
        }
        if ((entries[0].revents & POLLNVAL) != 0)
            return false;
        if (entries[0].revents != 0)
            return true;
    }
}

int VDataInSocket::RunReceiveLoop()
{
    while (WaitReadable())
    {
        sockaddr_in source{};
        // MSG_TRUNC makes the call report the datagram's real length, so an oversized one is
        // recognised and dropped instead of delivered cut short.
        const int received =
            ReceiveFrom(m_Buffer.data(), m_Buffer.size(), source, MSG_TRUNC | MSG_DONTWAIT);
        if (received < 0)
        {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                continue;
            if (errno == EBADF || errno == ENOTSOCK || errno == EINVAL || errno == EFAULT)
                return -1;
            // Passing faults (ECONNREFUSED after an ICMP error, ENOMEM, ENOBUFS): skip, pausing
            // unless told to stop.
            pollfd wake{m_WakeHandle, POLLIN, 0};
            ::poll(&wake, m_WakeHandle >= 0 ? 1 : 0, ErrorPauseMs);
            continue;
        }
        if (received == 0 && source.sin_family != AF_INET)
            return -1; // shut down from elsewhere: no datagram, and none will come
        if (static_cast<size_t>(received) > m_Buffer.size())
            continue;
        if (received > 0 && source.sin_addr.s_addr != m_SourceFilter.load())
            continue;
        OnDatagram(m_Buffer.data(), static_cast<uint32_t>(received));
    }
    return m_StopRequested.load() ? 0 : -1;
}
