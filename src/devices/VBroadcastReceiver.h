// Receives the HAL's UDP broadcast commands on one thread and hands each datagram
// from the HAL's address to a subclass.
#pragma once

#include "devices/BroadcastCommand.h"
#include "net/VDataInSocket.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class VThread;

/// Base of the device manager: a UDP socket on the broadcast port and its
/// receive thread. Only datagrams whose sender is the HAL address reach
/// OnBroadcastCommand; others are dropped unseen, except empty datagrams, which
/// the socket layer delivers whatever their sender. Datagrams longer than
/// VDataInSocket::BufferSize (1024 bytes) are dropped whole.
///
/// Two sockets on the port, served by the one receive thread: one bound to the
/// local address, which receives the commands sent to that address, and one bound
/// to the wildcard address, which keeps only datagrams whose destination is a
/// broadcast address (IP_PKTINFO; on Linux a socket bound to a unicast address
/// receives no broadcasts). Both keep only the HAL's datagrams. So several rigs,
/// each on its own address of one machine, share the port: each receives the
/// commands sent to it and every broadcast, never another rig's unicasts (a
/// single wildcard socket per rig cannot do that: with address reuse the system
/// hands every unicast to the socket bound last). When the local address is 0 or
/// not this machine's, one wildcard socket receives everything (a rig whose
/// address lies elsewhere).
///
/// Threading contract: Start and Stop run on the owner's thread (the main
/// thread), never on the receive thread; OnBroadcastCommand runs on the receive
/// thread. A subclass must call Stop() in its own destructor, before its part of
/// the object goes (the base destructor stops once more, harmlessly). Not copyable.
class VBroadcastReceiver
{
public:
    /// Both addresses in network byte order. Nothing is opened yet.
    VBroadcastReceiver(uint32_t localAddress, uint32_t halAddress);
    virtual ~VBroadcastReceiver();
    VBroadcastReceiver(const VBroadcastReceiver&) = delete;
    VBroadcastReceiver& operator=(const VBroadcastReceiver&) = delete;

    /// Opens the sockets on `port` (0: the system picks one, for tests) and starts
    /// the receive thread. On failure writes a warning on standard error, starts
    /// no thread and returns false; the program runs on without broadcasts.
    /// Starting while running does nothing and returns true.
    bool Start(uint16_t port = BROADCAST_CMD_PORT);

    /// Wakes and joins the receive thread and closes the sockets. When it returns,
    /// OnBroadcastCommand is not running and will not run again. Stopping twice,
    /// or without a start, is harmless.
    void Stop();

    /// The bound port (host order) while running, else 0.
    uint16_t GetPort() const;

    uint32_t GetLocalAddress() const { return m_LocalAddress; }
    uint32_t GetHalAddress() const { return m_HalAddress; }

protected:
    /// One datagram from the HAL: `length` bytes at `data` (length may be 0).
    /// Called on the receive thread; the bytes are valid only during the call.
    virtual void OnBroadcastCommand(const uint8_t* data, size_t length) = 0;

private:
    const uint32_t m_LocalAddress; // network order
    const uint32_t m_HalAddress;   // network order; the only accepted sender

    /// Opens the broadcast socket on the wildcard address and `port`; a warning on failure.
    void OpenBroadcastSocket(uint16_t port);

    /// Guards the sockets' opening and closing, m_Thread.
    mutable std::mutex m_StartStopLock;
    VDataInSocket m_Socket;            // the local address (or every address, see above)
    VDataInSocket m_BroadcastSocket;   // open only beside a socket on the local address
    std::unique_ptr<VThread> m_Thread; // runs the receive loop of both sockets
};
