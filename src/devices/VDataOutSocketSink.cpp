#include "devices/VDataOutSocketSink.h"

#include "net/VDataOutSocket.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <thread>

namespace
{

/// Errors after which the same datagram may well go out a moment later.
bool IsTransient(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS || error == EINTR;
}

} // namespace

VDataOutSocketSink::VDataOutSocketSink(VDataOutSocket& socket, DatagramRetryPolicy policy)
    : m_Socket(socket), m_Policy(policy)
{
}

bool VDataOutSocketSink::Send(const std::uint8_t* bytes, std::size_t length)
{
    const std::uint32_t attempts = m_Policy.MaxAttempts == 0 ? 1 : m_Policy.MaxAttempts;
    for (std::uint32_t attempt = 1;; ++attempt)
    {
        const int result = AttemptSend(bytes, length);
        if (result >= 0 && static_cast<std::size_t>(result) == length)
        {
            m_Sent.fetch_add(1, std::memory_order_relaxed);
            return true;
        }
        // A short count cannot happen for UDP; treat it like a hard error.
        const int error = result < 0 ? errno : EMSGSIZE;
        if (!IsTransient(error) || attempt >= attempts)
            break;
        PauseBeforeRetry(error);
    }
    m_Dropped.fetch_add(1, std::memory_order_relaxed);
    return false;
}

std::uint64_t VDataOutSocketSink::SendBatch(const VDatagramView* datagrams, std::size_t count)
{
    m_Vectors.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        m_Vectors[i] = {const_cast<std::uint8_t*>(datagrams[i].Bytes), datagrams[i].Length};
    const std::uint32_t attempts = m_Policy.MaxAttempts == 0 ? 1 : m_Policy.MaxAttempts;
    std::uint64_t bytes = 0;
    std::uint32_t attempt = 1; // of datagram `next`
    for (std::size_t next = 0; next < count;)
    {
        const auto batch =
            static_cast<unsigned>(std::min<std::size_t>(count - next, VDataOutSocket::MaxBatch));
        const int result = AttemptSendBatch(&m_Vectors[next], batch);
        if (result > 0)
        {
            for (int i = 0; i < result; ++i)
                bytes += m_Vectors[next + static_cast<std::size_t>(i)].iov_len;
            m_Sent.fetch_add(static_cast<std::uint64_t>(result), std::memory_order_relaxed);
            next += static_cast<std::size_t>(result);
            attempt = 1;
            continue;
        }
        const int error = result < 0 ? errno : EAGAIN;
        if (!IsTransient(error) || attempt >= attempts)
        {
            m_Dropped.fetch_add(1, std::memory_order_relaxed);
            ++next;
            attempt = 1;
            continue;
        }
        PauseBeforeRetry(error);
        ++attempt;
    }
    return bytes;
}

int VDataOutSocketSink::AttemptSendBatch(const iovec* datagrams, unsigned count)
{
    return m_Socket.SendDatagrams(datagrams, count);
}

int VDataOutSocketSink::AttemptSend(const std::uint8_t* bytes, std::size_t length)
{
    return m_Socket.SendDatagram(bytes, length);
}

void VDataOutSocketSink::PauseBeforeRetry(int error)
{
    if (error == EINTR)
        return; // a signal, not congestion: try again at once
    const auto pause = m_Policy.Pause;
    if (error == EAGAIN || error == EWOULDBLOCK)
    {
        // Wake as soon as the send buffer has room, but never later than the pause.
        pollfd entry{m_Socket.GetHandle(), POLLOUT, 0};
        const timespec limit{static_cast<time_t>(pause.count() / 1000000),
                             static_cast<long>((pause.count() % 1000000) * 1000)};
        if (entry.fd >= 0 && ppoll(&entry, 1, &limit, nullptr) >= 0)
            return;
    }
    std::this_thread::sleep_for(pause);
}
