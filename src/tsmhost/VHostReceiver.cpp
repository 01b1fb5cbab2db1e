#include "tsmhost/VHostReceiver.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

VHostReceiver::VHostReceiver(Handler handler) : m_Handler(std::move(handler)) {}

VHostReceiver::~VHostReceiver()
{
    Stop();
    if (m_WakeHandle >= 0)
        ::close(m_WakeHandle);
    if (m_PollHandle >= 0)
        ::close(m_PollHandle);
}

bool VHostReceiver::Start()
{
    if (m_Thread)
        return true;
    if (m_WakeHandle < 0)
        m_WakeHandle = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_WakeHandle < 0)
        return false;
    if (m_PollHandle < 0)
    {
        m_PollHandle = ::epoll_create1(EPOLL_CLOEXEC);
        epoll_event wake{};
        wake.events = EPOLLIN;
        wake.data.u64 = WakeTag;
        if (m_PollHandle >= 0 && ::epoll_ctl(m_PollHandle, EPOLL_CTL_ADD, m_WakeHandle, &wake) != 0)
        {
            ::close(m_PollHandle);
            m_PollHandle = -1;
        }
    }
    if (m_PollHandle < 0)
        return false;
    m_Stopping = false;
    m_Thread =
        std::make_unique<VFunctionThread>("tsmhost-recv", [this](VThread& thread) { Run(thread); });
    m_Thread->Start();
    return true;
}

void VHostReceiver::Stop()
{
    if (m_Thread)
    {
        m_Stopping = true;
        Wake();
        m_Thread->Stop();
        m_Thread.reset();
    }
    for (VEntry& entry : m_Entries)
    {
        if (m_PollHandle >= 0)
            ::epoll_ctl(m_PollHandle, EPOLL_CTL_DEL, entry.Socket->GetHandle(), nullptr);
        entry.Socket->Close(true);
    }
    m_Entries.clear();
    std::lock_guard<std::mutex> lock(m_PendingLock);
    for (VEntry& entry : m_Pending)
        entry.Socket->Close(true);
    m_Pending.clear();
}

void VHostReceiver::AddSocket(std::unique_ptr<VSocketSimple> socket, std::uint32_t tag)
{
    if (!socket || !socket->IsValid())
        return;
    socket->SetNonBlocking(true);
    {
        std::lock_guard<std::mutex> lock(m_PendingLock);
        m_Pending.push_back({std::move(socket), tag});
    }
    Wake();
}

void VHostReceiver::Wake()
{
    if (m_WakeHandle < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter already wakes the thread; nothing else can fail here.
    [[maybe_unused]] const ssize_t written = ::write(m_WakeHandle, &one, sizeof(one));
}

void VHostReceiver::TakePendingSockets()
{
    std::lock_guard<std::mutex> lock(m_PendingLock);
    for (VEntry& entry : m_Pending)
    {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = m_Entries.size();
        // A socket that cannot be watched is closed with the others at Stop; it receives
        // nothing meanwhile.
        ::epoll_ctl(m_PollHandle, EPOLL_CTL_ADD, entry.Socket->GetHandle(), &event);
        m_Entries.push_back(std::move(entry));
    }
    m_Pending.clear();
}

void VHostReceiver::Run(VThread& thread)
{
    std::array<epoll_event, 64> events;
    while (!m_Stopping && !thread.IsStopRequested())
    {
        TakePendingSockets();
        const int ready = ::epoll_wait(m_PollHandle, events.data(), events.size(), -1);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return; // the descriptors are gone: nothing more can arrive
        }
        for (int i = 0; i < ready; ++i)
        {
            const std::uint64_t tag = events[static_cast<std::size_t>(i)].data.u64;
            if (tag == WakeTag)
            {
                std::uint64_t count = 0;
                [[maybe_unused]] const ssize_t read = ::read(m_WakeHandle, &count, sizeof(count));
                continue;
            }
            if (tag < m_Entries.size())
                Drain(m_Entries[tag]);
        }
    }
}

void VHostReceiver::Drain(VEntry& entry)
{
    for (int turn = 0; turn < BurstPerSocket; turn += static_cast<int>(Batch))
    {
        for (unsigned i = 0; i < Batch; ++i)
        {
            m_Vectors[i] = {m_Buffer.data() + i * BufferSize, BufferSize};
            m_Messages[i] = {};
            m_Messages[i].msg_hdr.msg_iov = &m_Vectors[i];
            m_Messages[i].msg_hdr.msg_iovlen = 1;
            m_Messages[i].msg_hdr.msg_name = &m_Sources[i];
            m_Messages[i].msg_hdr.msg_namelen = sizeof(sockaddr_in);
        }
        const int count =
            ::recvmmsg(entry.Socket->GetHandle(), m_Messages.data(), Batch, MSG_DONTWAIT, nullptr);
        if (count < 0)
        {
            // EAGAIN: drained. ECONNREFUSED and the like report an earlier send's ICMP error
            // on this socket: skip it and go on.
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            continue;
        }
        for (int i = 0; i < count; ++i)
        {
            const mmsghdr& message = m_Messages[static_cast<std::size_t>(i)];
            if ((message.msg_hdr.msg_flags & MSG_TRUNC) != 0)
            {
                ++m_Oversized;
                continue;
            }
            if (m_Handler)
                m_Handler(entry.Tag, m_Buffer.data() + static_cast<std::size_t>(i) * BufferSize,
                          message.msg_len, m_Sources[static_cast<std::size_t>(i)]);
        }
        if (count < static_cast<int>(Batch))
            return; // drained
    }
}
