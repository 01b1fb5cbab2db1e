#include "tsmhost/VHostReceiver.h"

#include <poll.h>
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
}

bool VHostReceiver::Start()
{
    if (m_Thread)
        return true;
    if (m_WakeHandle < 0)
        m_WakeHandle = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_WakeHandle < 0)
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
        entry.Socket->Close(true);
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
        m_Entries.push_back(std::move(entry));
    m_Pending.clear();
}

void VHostReceiver::Run(VThread& thread)
{
    std::vector<pollfd> polled;
    while (!m_Stopping && !thread.IsStopRequested())
    {
        TakePendingSockets();
        polled.clear();
        polled.push_back({m_WakeHandle, POLLIN, 0});
        for (const VEntry& entry : m_Entries)
            polled.push_back({entry.Socket->GetHandle(), POLLIN, 0});
        const int ready = ::poll(polled.data(), polled.size(), -1);
        if (ready < 0)
        {
            if (errno == EINTR)
                continue;
            return; // the descriptors are gone: nothing more can arrive
        }
        if ((polled[0].revents & POLLIN) != 0)
        {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(m_WakeHandle, &count, sizeof(count));
        }
        for (std::size_t i = 1; i < polled.size(); ++i)
        {
            if ((polled[i].revents & (POLLIN | POLLERR)) != 0)
                Drain(m_Entries[i - 1]);
        }
    }
}

void VHostReceiver::Drain(VEntry& entry)
{
    for (int turn = 0; turn < BurstPerSocket; ++turn)
    {
        sockaddr_in source{};
        socklen_t sourceLength = sizeof(source);
        const ssize_t count = ::recvfrom(entry.Socket->GetHandle(), m_Buffer.data(),
                                         m_Buffer.size(), MSG_DONTWAIT | MSG_TRUNC,
                                         reinterpret_cast<sockaddr*>(&source), &sourceLength);
        if (count < 0)
        {
            // EAGAIN: drained. ECONNREFUSED and the like report an earlier send's ICMP error
            // on this socket: skip it and go on.
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return;
            continue;
        }
        if (static_cast<std::size_t>(count) > m_Buffer.size())
        {
            ++m_Oversized;
            continue;
        }
        if (m_Handler)
            m_Handler(entry.Tag, m_Buffer.data(), static_cast<std::size_t>(count), source);
    }
}
