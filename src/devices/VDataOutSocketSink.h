// Sends the camera stream's datagrams through a VDataOutSocket, with a few short retries on
// transient errors and a count of what had to be dropped.
#pragma once

#include "devices/IDatagramSink.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <sys/uio.h>

class VDataOutSocket;

/// How long a datagram may be retried before it is dropped.
struct DatagramRetryPolicy
{
    /// Send attempts per datagram, the first included (at least 1 is made).
    std::uint32_t MaxAttempts = 8;
    /// Pause between attempts; a full send buffer is waited for (up to this long) with
    /// poll(), so the next attempt comes as soon as there is room.
    std::chrono::microseconds Pause{250};
};

/// Sink over a non-blocking UDP socket. Only would-block, no-buffer-space and interrupted
/// sends are repeated, at most MaxAttempts times in all with a short pause between; any other
/// error (no route, an unopened socket, a datagram too long) drops the datagram at once. A
/// sender thread thus never waits more than about MaxAttempts × Pause per datagram, whatever
/// the state of the host. Dropped datagrams are counted, not reported.
///
/// Threading contract: Send on one thread at a time (the frame thread of the owning source);
/// the counters may be read from any thread. The socket is not owned and must outlive the
/// sink. Not copyable.
class VDataOutSocketSink : public IDatagramSink
{
public:
    explicit VDataOutSocketSink(VDataOutSocket& socket, DatagramRetryPolicy policy = {});
    ~VDataOutSocketSink() override = default;
    VDataOutSocketSink(const VDataOutSocketSink&) = delete;
    VDataOutSocketSink& operator=(const VDataOutSocketSink&) = delete;

    bool Send(const std::uint8_t* bytes, std::size_t length) override;
    /// Hands the datagrams to the system up to VDataOutSocket::MaxBatch at a time (sendmmsg),
    /// each with the retry rule of Send: a datagram that meets a transient error is tried
    /// again (the ones before it have gone), one that fails otherwise or too often is dropped
    /// and the next ones go on. Order is kept.
    std::uint64_t SendBatch(const VDatagramView* datagrams, std::size_t count) override;

    /// Datagrams that went out, and datagrams given up on, since construction.
    std::uint64_t GetSentCount() const { return m_Sent.load(std::memory_order_relaxed); }
    std::uint64_t GetDroppedCount() const { return m_Dropped.load(std::memory_order_relaxed); }

protected:
    /// One send attempt: the byte count, or -1 with errno set. Tests override it to play
    /// error sequences; the default sends on the socket.
    virtual int AttemptSend(const std::uint8_t* bytes, std::size_t length);
    /// One batch attempt for the `count` datagrams at `datagrams`: how many went out from the
    /// first, or -1 with errno set when the first did not. The default sends on the socket.
    virtual int AttemptSendBatch(const iovec* datagrams, unsigned count);
    /// Waits up to the policy's pause before a retry after error `error`.
    virtual void PauseBeforeRetry(int error);

private:
    VDataOutSocket& m_Socket;
    const DatagramRetryPolicy m_Policy;
    std::vector<iovec> m_Vectors; // SendBatch's; keeps its storage
    std::atomic<std::uint64_t> m_Sent{0};
    std::atomic<std::uint64_t> m_Dropped{0};
};
