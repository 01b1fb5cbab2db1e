// A TCP connection object that serves one live peer at a time, accepted by its own listener or
// connected outwards; the base of the device command shell.
#pragma once

#include "net/VEvent.h"
#include "net/VMutex.h"
#include "net/VSocketDataStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class VSimpleListener;
class VSimpleReceiver;

/// One TCP peer at a time, with a receive thread that calls Process() for each step of the
/// conversation.
///
/// A subclass overrides Process() (read a request from GetStream(), write the reply, Flush(),
/// return 0 to go on, 1 to close in order, 2 to abort) and the hooks it needs. Start with
/// StartListening(port, receiveTimeoutMs, acceptWhileBusy) or Connect(...); stop with
/// StopListening() and Disconnect(true, VSyncroniser::Infinite, true). A subclass must call
/// both in its own destructor: the hooks are virtual and must not run on a half-destroyed
/// object (the base destructor repeats them only as a last resort).
///
/// States: idle (idle event set) -> attached (connected event set, receiver running) ->
/// closing (socket shut down) -> idle. A new peer under accept-while-busy passes the old one
/// through closing to idle (ReplaceConnection) before it is attached.
///
/// Threading contract:
/// - m_Lock (re-entrant) guards m_Stream, m_Connected, m_Closing, m_Listener, m_Receiver and
///   m_RetiredListener. OnDisconnecting runs under it; OnConnected, OnDisconnected, OnClosed
///   and OnConnectionLost run outside it. No thread is ever joined under it.
/// - OnConnected runs on the thread that attached the peer (the listener thread, or the caller
///   of Connect) before the receiver starts its loop; Process, OnDisconnected, OnClosed and
///   OnConnectionLost run on the receive thread. The stream is written only from these.
/// - StartListening, StopListening, Connect, Disconnect, IsConnected and the getters may be
///   called from any thread. Waiting calls made from the receive thread, or from OnConnected,
///   do not wait for themselves: they return false at once.
/// - Never destroy the connection from its own hooks or threads.
/// Not copyable.
class VSimpleConnection
{
public:
    VSimpleConnection();
    virtual ~VSimpleConnection();
    VSimpleConnection(const VSimpleConnection&) = delete;
    VSimpleConnection& operator=(const VSimpleConnection&) = delete;

    /// Replaces any listener with a new one on `port` (0: the system picks one; see
    /// GetListeningPort) of local `address` (network order; 0, or an address that is not this
    /// machine's: every address). True when it could bind at once; otherwise it keeps trying
    /// in the background until stopped.
    bool StartListening(uint16_t port, uint32_t receiveTimeoutMs, bool acceptWhileBusy,
                        uint32_t address = 0);
    /// Stops and joins the listener. Does not disconnect an attached peer.
    void StopListening();
    bool IsListening();
    /// The port the listener is bound to, 0 when not listening or not bound.
    uint16_t GetListeningPort();

    /// Outgoing alternative to listening: waits for idle, connects to `host`:`port` within
    /// `connectTimeoutMs` (0: no limit) and attaches the connection with `receiveTimeoutMs`
    /// (0: none). False while listening, when the connection fails, or when called from the
    /// receive thread.
    bool Connect(const std::string& host, uint16_t port, uint32_t connectTimeoutMs,
                 uint32_t receiveTimeoutMs);

    /// Starts a local disconnect: marks closing, calls OnDisconnecting and shuts the socket
    /// down (`graceful`: the peer sees an orderly end; otherwise the connection is reset),
    /// which ends the receiver's read; the receiver then finishes the connection with OnClosed.
    /// With `wait`, waits up to `timeoutMs` (VSyncroniser::Infinite: no limit) for idle. True
    /// when not waiting or idle was reached.
    bool Disconnect(bool wait, uint32_t timeoutMs, bool graceful);

    /// True while a peer is attached. With `waitForClose`, a connection already closing is
    /// waited for (without limit) and the answer read again.
    bool IsConnected(bool waitForClose);
    /// Waits up to `timeoutMs` for a peer to be attached (connected event).
    bool WaitForConnected(uint32_t timeoutMs) { return m_ConnectedEvent.Wait(timeoutMs); }
    /// Waits up to `timeoutMs` until no peer is attached (idle event).
    bool WaitForIdle(uint32_t timeoutMs) { return m_IdleEvent.Wait(timeoutMs); }

    /// Sets the receive time-out of the attached peer's socket; only when a stream exists and
    /// has no state bit set.
    bool SetReceiveTimeout(uint32_t ms);

    /// The current stream, or null before the first peer. Use it from Process and OnConnected;
    /// it is replaced when the next peer is attached.
    VSocketDataStream* GetStream();

protected:
    /// One step of reading and answering on the receive thread: 0 = go on, 1 = close in order,
    /// 2 = abort. The default aborts.
    virtual int Process();
    /// A local disconnect starts; under the lock.
    virtual void OnDisconnecting() {}
    /// A peer has been attached; outside the lock, before the receiver reads.
    virtual void OnConnected() {}
    /// The connection ended in order (the peer closed, Process returned 1, or a local
    /// disconnect).
    virtual void OnClosed() {}
    /// The connection ended by an error (reset, receive error or time-out, Process abort).
    virtual void OnConnectionLost() {}
    /// The connection ended; called before OnClosed or OnConnectionLost.
    virtual void OnDisconnected() {}
    /// A new peer arrived while one is attached (listener thread). The default disconnects the
    /// current peer (graceful, waiting without limit) and returns true; false refuses the new
    /// peer.
    virtual bool ReplaceConnection(VSocketDataStream& stream);
    /// Sets m_Closing under the lock.
    virtual void MarkClosing();
    /// Ends the current connection; called by the receive thread as it ends.
    virtual void FinishConnection();
    /// Creates and starts the receive thread for `stream`; called under the lock.
    virtual void StartReceiver(VSocketDataStream& stream);
    /// Attaches a freshly accepted peer (listener thread). Takes the stream; false when the
    /// peer is refused (the stream, and with it the socket, is then deleted).
    virtual bool Attach(std::unique_ptr<VSocketDataStream> stream);

    VMutex m_Lock; // guards the fields below (see class comment)
    std::unique_ptr<VSocketDataStream> m_Stream;
    bool m_Connected = false;
    bool m_Closing = false;
    VEvent m_ConnectedEvent{true, false}; // set while connected
    VEvent m_IdleEvent{true, true};       // set while no peer is attached
    std::unique_ptr<VSimpleListener> m_Listener;

private:
    friend class VSimpleListener;
    friend class VSimpleReceiver;

    /// Joins a receive thread that has finished, outside the lock.
    void ReapReceiver();
    /// Lets the receive thread begin after OnConnected.
    void ReleaseReceiver();
    /// Ends a listener outside the lock; one that is the calling thread is parked instead.
    void RetireListener(std::unique_ptr<VSimpleListener> listener);
    /// True on the receive thread or inside OnConnected, where waiting for idle would wait for
    /// the caller itself.
    bool WaitingWouldDeadlock();

    std::unique_ptr<VSimpleReceiver> m_Receiver;        // the current or last receive thread
    std::unique_ptr<VSimpleListener> m_RetiredListener; // stopped from its own thread, joined later
    std::thread::id m_StartingThread;                   // thread inside OnConnected, if any
};
