#include "net/VSimpleConnection.h"

#include "net/VLockable.h"
#include "net/VSimpleListener.h"
#include "net/VSimpleReceiver.h"

namespace
{
/// How long a new peer waits for the connection to become idle before it replaces the old one.
constexpr uint32_t AttachIdleWaitMs = 100;
} // namespace

VSimpleConnection::VSimpleConnection() = default;

VSimpleConnection::~VSimpleConnection()
{
    // Subclasses stop listening and disconnect in their own destructors; this is the last
    // resort that keeps threads from outliving the object.
    StopListening();
    Disconnect(true, VSyncroniser::Infinite, true);
    ReapReceiver();
    std::unique_ptr<VSimpleListener> retired;
    {
        VLock lock(m_Lock);
        retired = std::move(m_RetiredListener);
    }
}

bool VSimpleConnection::StartListening(uint16_t port, uint32_t receiveTimeoutMs,
                                       bool acceptWhileBusy, uint32_t address)
{
    StopListening(); // the old listener must let go of the port before the new one binds
    auto listener =
        std::make_unique<VSimpleListener>(*this, address, port, receiveTimeoutMs, acceptWhileBusy);
    const bool bound = listener->IsBound();
    std::unique_ptr<VSimpleListener> displaced;
    {
        VLock lock(m_Lock);
        displaced = std::move(m_Listener);
        m_Listener = std::move(listener);
    }
    RetireListener(std::move(displaced));
    return bound;
}

void VSimpleConnection::StopListening()
{
    std::unique_ptr<VSimpleListener> listener;
    {
        VLock lock(m_Lock);
        listener = std::move(m_Listener);
    }
    RetireListener(std::move(listener));
}

void VSimpleConnection::RetireListener(std::unique_ptr<VSimpleListener> listener)
{
    if (!listener)
        return;
    if (listener->IsCurrentThread())
    {
        // Stopped from one of its own calls (a hook during Attach): it cannot join itself.
        // Ask it to stop and leave the join to the next start, stop or the destructor.
        listener->RequestStop();
        VLock lock(m_Lock);
        m_RetiredListener = std::move(listener);
        return;
    }
    std::unique_ptr<VSimpleListener> parked;
    {
        VLock lock(m_Lock);
        if (m_RetiredListener && !m_RetiredListener->IsCurrentThread())
            parked = std::move(m_RetiredListener);
    }
    listener.reset(); // joins the thread, outside the lock
    parked.reset();
}

bool VSimpleConnection::IsListening()
{
    VLock lock(m_Lock);
    return m_Listener != nullptr;
}

uint16_t VSimpleConnection::GetListeningPort()
{
    VLock lock(m_Lock);
    return m_Listener ? m_Listener->GetPort() : 0;
}

bool VSimpleConnection::Connect(const std::string& host, uint16_t port, uint32_t connectTimeoutMs,
                                uint32_t receiveTimeoutMs)
{
    if (IsListening() || WaitingWouldDeadlock())
        return false;
    m_IdleEvent.Wait(VSyncroniser::Infinite);
    ReapReceiver();

    // The connect itself runs outside the lock so that a slow peer does not hold up every
    // other caller for the whole time-out.
    auto socket = std::make_shared<VSocketSimple>();
    if (!socket->Create(VSocketSimple::KindStream) ||
        !socket->ConnectWithTimeout(host, port, connectTimeoutMs))
        return false;
    socket->SetNoDelay(true);
    std::unique_ptr<VSocketDataStream> stream = MakeSocketDataStream(socket);
    {
        VLock lock(m_Lock);
        if (m_Connected || m_Listener)
            return false; // another peer was attached meanwhile
        m_Stream = std::move(stream);
        m_Connected = true;
        m_Closing = false;
        SetReceiveTimeout(receiveTimeoutMs);
        m_IdleEvent.Reset();
        StartReceiver(*m_Stream);
        m_ConnectedEvent.Set();
        m_StartingThread = std::this_thread::get_id();
    }
    OnConnected();
    ReleaseReceiver();
    return true;
}

bool VSimpleConnection::Disconnect(bool wait, uint32_t timeoutMs, bool graceful)
{
    {
        VLock lock(m_Lock);
        if (m_Stream && m_Connected)
        {
            m_Closing = true;
            OnDisconnecting();
            // Shutting down (rather than closing) wakes the receiver's blocked read; the
            // receiver closes the socket when it finishes the connection.
            GetSocketOf(*m_Stream).Interrupt(graceful);
        }
    }
    if (!wait)
        return true;
    if (WaitingWouldDeadlock())
        return false;
    if (!m_IdleEvent.Wait(timeoutMs))
        return false;
    ReapReceiver();
    return true;
}

bool VSimpleConnection::IsConnected(bool waitForClose)
{
    {
        VLock lock(m_Lock);
        if (!m_Connected || !waitForClose || !m_Closing)
            return m_Connected;
    }
    if (WaitingWouldDeadlock())
        return true;
    m_IdleEvent.Wait(VSyncroniser::Infinite);
    VLock lock(m_Lock);
    return m_Connected;
}

bool VSimpleConnection::SetReceiveTimeout(uint32_t ms)
{
    VLock lock(m_Lock);
    if (!m_Stream || !m_Stream->good())
        return false;
    return GetSocketOf(*m_Stream).SetReceiveTimeout(ms);
}

VSocketDataStream* VSimpleConnection::GetStream()
{
    VLock lock(m_Lock);
    return m_Stream.get();
}

int VSimpleConnection::Process()
{
    return 2;
}

bool VSimpleConnection::ReplaceConnection(VSocketDataStream& /*stream*/)
{
    Disconnect(true, VSyncroniser::Infinite, true);
    return true;
}

void VSimpleConnection::MarkClosing()
{
    VLock lock(m_Lock);
    m_Closing = true;
}

void VSimpleConnection::FinishConnection()
{
    bool closing;
    {
        VLock lock(m_Lock);
        closing = m_Closing;
        if (m_Stream)
            GetSocketOf(*m_Stream).Close(true);
        m_Connected = false;
        m_Closing = false;
        m_ConnectedEvent.Reset();
    }
    OnDisconnected();
    if (closing)
        OnClosed();
    else
        OnConnectionLost();
    m_IdleEvent.Set();
}

void VSimpleConnection::StartReceiver(VSocketDataStream& stream)
{
    VLock lock(m_Lock);
    // Reaped before every attach; a receiver still here has finished its connection already,
    // so this join is short and cannot need the lock.
    m_Receiver.reset();
    m_Receiver = std::make_unique<VSimpleReceiver>(*this, stream);
    m_Receiver->Start();
}

bool VSimpleConnection::Attach(std::unique_ptr<VSocketDataStream> stream)
{
    if (!stream)
        return false;
    if (!m_IdleEvent.Wait(AttachIdleWaitMs))
    {
        if (!ReplaceConnection(*stream) || !m_IdleEvent.Wait(0))
            return false;
    }
    ReapReceiver();
    {
        VLock lock(m_Lock);
        if (m_Connected)
            return false; // an outgoing Connect got in first
        m_IdleEvent.Reset();
        m_Stream = std::move(stream);
        m_Connected = true;
        m_Closing = false;
        StartReceiver(*m_Stream);
        m_ConnectedEvent.Set();
        m_StartingThread = std::this_thread::get_id();
    }
    OnConnected();
    ReleaseReceiver();
    return true;
}

void VSimpleConnection::ReapReceiver()
{
    std::unique_ptr<VSimpleReceiver> finished;
    {
        VLock lock(m_Lock);
        if (!m_Receiver || m_Receiver->IsCurrentThread() || m_Connected)
            return;
        finished = std::move(m_Receiver);
    }
    finished.reset(); // joins
}

void VSimpleConnection::ReleaseReceiver()
{
    VLock lock(m_Lock);
    m_StartingThread = std::thread::id();
    if (m_Receiver)
        m_Receiver->Release();
}

bool VSimpleConnection::WaitingWouldDeadlock()
{
    VLock lock(m_Lock);
    if (m_StartingThread == std::this_thread::get_id())
        return true;
    return m_Receiver && m_Receiver->IsCurrentThread();
}
