// A UDP socket with one fixed destination, the base of every data and status sender.
#pragma once

#include "net/VSocketSimple.h"

#include <sys/uio.h>

#include <cstdint>

/// UDP sender towards one destination. Open() creates a non-blocking socket with address
/// reuse on, so a send that finds no buffer space fails (-1, EAGAIN) at once and the caller
/// decides whether to repeat it.
///
/// Threading contract: Open and Close on the owner's thread (callers that send from other
/// threads hold their own lock around re-opening); SendDatagram from one thread at a time per
/// destination change. Not copyable.
class VDataOutSocket : public VSocketSimple
{
public:
    VDataOutSocket() = default;

    /// Creates the UDP socket if it is not open yet, turns address reuse and non-blocking mode
    /// on, and aims it at `networkOrderAddress` (network byte order, as devices keep it) and
    /// host-order `port`. A new socket is bound to `sourceAddress` (network order; 0: none),
    /// so its datagrams leave from that address, when it is one of this machine's (see
    /// BindToAddressOrAny). On an already open socket only the destination changes. False if
    /// the socket could not be created or configured; the destination is stored either way.
    bool Open(uint32_t networkOrderAddress, uint16_t port, uint32_t sourceAddress = 0);

    /// Sends one datagram to the destination. Returns the byte count or -1 (errno kept).
    int SendDatagram(const void* data, size_t length);

    /// Most datagrams one SendDatagrams call hands to the system.
    static constexpr unsigned MaxBatch = 64;
    /// Sends up to MaxBatch datagrams (`count` iovecs, one datagram each, in their order) to
    /// the destination in one system call (sendmmsg). Returns how many went out, from the
    /// first; -1 (errno kept) when the first could not. The bytes are not kept.
    int SendDatagrams(const iovec* datagrams, unsigned count);

    /// The destination record: family AF_INET, port in network order, address as given.
    const sockaddr_in& GetDestination() const { return m_Destination; }
    uint32_t GetDestinationAddress() const { return m_Destination.sin_addr.s_addr; }
    uint16_t GetDestinationPort() const;

private:
    sockaddr_in m_Destination{};
};
