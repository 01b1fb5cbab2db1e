#include "net/VSimpleListener.h"

#include "net/VSimpleConnection.h"
#include "net/VSocketDataStream.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace
{
constexpr const char* ListenerThreadName = "SimpleComms_Listener";
constexpr int MaximumBacklog = 0x7FFFFFFF; // the system caps it at its own maximum
constexpr uint32_t FirstPauseMs = 100;
constexpr uint32_t LongestPauseMs = 2000;

/// Errors after which accept() can simply be called again: the pending peer went away, or
/// the network reported a passing fault for it.
bool IsPassingAcceptError(int error)
{
    switch (error)
    {
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case EPERM:
        return true;
    default:
        return false;
    }
}
} // namespace

VSimpleListener::VSimpleListener(VSimpleConnection& owner, uint32_t address, uint16_t port,
                                 uint32_t receiveTimeoutMs, bool acceptWhileBusy)
    : VThread(ListenerThreadName), m_Owner(owner), m_Address(address), m_Port(port),
      m_ReceiveTimeoutMs(receiveTimeoutMs), m_OwnerIdleEvent(owner.m_IdleEvent),
      m_AcceptWhileBusyEvent(true, acceptWhileBusy)
{
    OpenSocket();
    Start();
}

VSimpleListener::~VSimpleListener()
{
    // The stop event first: whatever the thread does next, it sees the stop before it could
    // block again. Then the shutdown ends an accept that is already blocked.
    RequestStop();
    {
        std::lock_guard<std::mutex> guard(m_SocketLock);
        m_Socket.Interrupt(true);
    }
    Join();
    std::lock_guard<std::mutex> guard(m_SocketLock);
    m_Socket.Close(true);
}

bool VSimpleListener::OpenSocket()
{
    std::lock_guard<std::mutex> guard(m_SocketLock);
    if (IsStopRequested())
        return false;
    const bool opened =
        m_Socket.Create(VSocketSimple::KindStream) && m_Socket.SetReuseAddress(true) &&
        m_Socket.BindToAddressOrAny(m_Address, m_Port) && m_Socket.Listen(MaximumBacklog);
    if (!opened)
    {
        m_Socket.Close(true);
        return false;
    }
    m_BoundPort.store(m_Socket.GetLocalPort());
    return true;
}

void VSimpleListener::CloseSocket()
{
    std::lock_guard<std::mutex> guard(m_SocketLock);
    m_BoundPort.store(0);
    m_Socket.Close(true);
}

void VSimpleListener::Run()
{
    uint32_t pauseMs = FirstPauseMs;
    auto pause = [&]
    {
        const bool stop = WaitForStop(pauseMs);
        pauseMs = std::min(pauseMs * 2, LongestPauseMs);
        return stop;
    };

    for (;;)
    {
        if (!IsBound())
        {
            if (pause())
                return;
            OpenSocket();
            continue;
        }

        uint32_t index = VThread::WaitFailed;
        const bool signalled =
            WaitForAny({&GetStopEvent(), &m_OwnerIdleEvent, &m_AcceptWhileBusyEvent},
                       VSyncroniser::Infinite, &index);
        if (!signalled)
        {
            if (pause())
                return;
            continue;
        }
        if (index == 0)
            return;

        auto socket = std::make_shared<VSocketSimple>();
        if (!m_Socket.Accept(*socket))
        {
            const int error = errno;
            if (IsStopRequested())
                return;
            if (IsPassingAcceptError(error))
                continue;
            if (error == EINVAL || error == EBADF || error == ENOTSOCK)
                CloseSocket(); // the listening socket itself is broken: open it afresh
            if (pause())
                return;
            continue;
        }
        pauseMs = FirstPauseMs;

        socket->SetNoDelay(true);
        std::unique_ptr<VSocketDataStream> stream = MakeSocketDataStream(socket);
        const VSocketInputStream& in = stream->GetIStream();
        if (in.bad() || in.eof())
            continue; // deleting the stream closes the socket
        // The time-out goes on before Attach: once attached, the receive thread may finish the
        // connection and close the socket at any moment, and its number could be reused.
        socket->SetReceiveTimeout(m_ReceiveTimeoutMs);
        m_Owner.Attach(std::move(stream));
    }
}
