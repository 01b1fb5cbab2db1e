// The accept thread of a listening VSimpleConnection.
#pragma once

#include "net/VEvent.h"
#include "net/VSocketSimple.h"
#include "net/VThread.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class VSimpleConnection;

/// Listens on a TCP port, on one local address or on every one, and hands each accepted peer
/// to its connection (Attach). Without accept-while-busy it accepts only while the connection is
/// idle, so a second peer waits in the backlog until the first leaves; with it, every new peer
/// is accepted and replaces the attached one.
///
/// The listening socket has address reuse on, so a listener re-created on the same port binds
/// while earlier connections of that port sit in TIME_WAIT. When the bind or listen fails, or
/// accepting keeps failing (out of descriptors), the thread does not spin: it waits on its
/// stop event with a growing pause (up to two seconds) and tries again.
///
/// Destruction stops the thread (stop event plus a shutdown of the listening socket, which
/// ends a blocked accept at once) and joins it; the destroying thread must not hold the
/// connection's lock, since the thread may be inside Attach.
/// Threading contract: constructed and destroyed by the connection under its start/stop
/// operations; the thread calls the connection's Attach. Not copyable.
class VSimpleListener : public VThread
{
public:
    /// Opens the listening socket and starts the thread. `address` (network order) is the
    /// local address to listen on; 0, or an address that is not this machine's, listens on
    /// every address. `receiveTimeoutMs` is applied to each attached peer's socket (0 = none).
    VSimpleListener(VSimpleConnection& owner, uint32_t address, uint16_t port,
                    uint32_t receiveTimeoutMs, bool acceptWhileBusy);
    ~VSimpleListener() override;

    /// True while the listening socket is bound and listening.
    bool IsBound() const { return m_BoundPort.load() != 0; }
    /// The port actually listened on (useful with port 0), 0 while not bound.
    uint16_t GetPort() const { return m_BoundPort.load(); }

    void Run() override;

private:
    /// Creates, binds and listens; closes again on failure. Listener thread or constructor.
    bool OpenSocket();
    /// Closes the listening socket so that the next round opens it again. Listener thread.
    void CloseSocket();

    VSimpleConnection& m_Owner;
    const uint32_t m_Address; // network order; 0: every address
    const uint16_t m_Port;
    const uint32_t m_ReceiveTimeoutMs;
    VEvent m_OwnerIdleEvent;       // a handle to the connection's idle event
    VEvent m_AcceptWhileBusyEvent; // set for good when accept-while-busy was asked for
    std::mutex m_SocketLock;       // guards opening and closing m_Socket against Interrupt
    VSocketSimple m_Socket;
    std::atomic<uint16_t> m_BoundPort{0};
};
