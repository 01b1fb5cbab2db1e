// The host's one receive thread: waits on every bound UDP socket at once (discovery and all
// data ports) and hands each datagram, with the tag of its socket, to one handler.
#pragma once

#include "net/VSocketSimple.h"
#include "net/VThread.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/// Receives on any number of UDP sockets with one thread. Sockets may be added while the
/// thread runs; they are closed when the receiver stops. Datagrams up to BufferSize bytes are
/// delivered whole; a longer one is counted and dropped. The thread waits on every socket at
/// once (epoll, so a rig of many devices with several ports each costs nothing per idle
/// port) and drains a ready socket in batches of Batch datagrams per system call (recvmmsg),
/// at most BurstPerSocket datagrams per turn, so one busy port cannot starve the others. The
/// receive buffers are made once: receiving allocates nothing.
///
/// Threading contract: the handler runs on the receive thread only, with data valid during
/// the call. Start, Stop and destruction on the owner thread; AddSocket from any thread
/// except from inside the handler is fine too (it only queues). Stop wakes the thread at once
/// (an eventfd among the waited descriptors) and joins it. Not copyable.
class VHostReceiver
{
public:
    using Handler = std::function<void(std::uint32_t tag, const std::uint8_t* data,
                                       std::size_t length, const sockaddr_in& source)>;
    static constexpr std::size_t BufferSize = 65536;
    static constexpr int BurstPerSocket = 64;
    static constexpr unsigned Batch = 16;

    explicit VHostReceiver(Handler handler);
    ~VHostReceiver();
    VHostReceiver(const VHostReceiver&) = delete;
    VHostReceiver& operator=(const VHostReceiver&) = delete;

    /// Starts the thread. False when the wake-up descriptor cannot be made.
    bool Start();
    /// Wakes and joins the thread, then closes every socket. Idempotent.
    void Stop();

    /// Hands over a bound UDP socket whose datagrams reach the handler with `tag`. The socket
    /// is made non-blocking. Any thread.
    void AddSocket(std::unique_ptr<VSocketSimple> socket, std::uint32_t tag);

    /// Datagrams dropped because they were longer than BufferSize.
    std::uint64_t GetOversizedCount() const { return m_Oversized.load(); }

private:
    /// The epoll tag of the wake-up descriptor; sockets are tagged with their entry index.
    static constexpr std::uint64_t WakeTag = ~std::uint64_t{0};

    struct VEntry
    {
        std::unique_ptr<VSocketSimple> Socket;
        std::uint32_t Tag = 0;
    };

    void Run(VThread& thread);
    void TakePendingSockets();
    void Drain(VEntry& entry);
    void Wake();

    Handler m_Handler;
    int m_WakeHandle = -1; // eventfd; written by Wake, read by the receive thread
    int m_PollHandle = -1; // epoll over the wake-up and every socket taken
    std::atomic<bool> m_Stopping{false};
    std::mutex m_PendingLock; // guards m_Pending
    std::vector<VEntry> m_Pending;
    // Receive thread only while it runs. Entries are never removed before Stop, so an
    // entry's index (the epoll tag) stays valid.
    std::vector<VEntry> m_Entries;
    std::vector<std::uint8_t> m_Buffer = std::vector<std::uint8_t>(Batch * BufferSize);
    std::array<iovec, Batch> m_Vectors{};
    std::array<mmsghdr, Batch> m_Messages{};
    std::array<sockaddr_in, Batch> m_Sources{};
    std::atomic<std::uint64_t> m_Oversized{0};
    std::unique_ptr<VFunctionThread> m_Thread;
};
