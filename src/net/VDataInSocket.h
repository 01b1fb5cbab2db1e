// A UDP socket with a receive loop that hands the datagrams of one expected sender to a
// handler.
#pragma once

#include "net/VSocketSimple.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

/// UDP receive loop with a source filter.
///
/// Use: Create(KindDatagram), options, Bind/BindToAddress, SetSourceFilter, SetHandler (or
/// override OnDatagram), then call RunReceiveLoop() on the owner's receive thread. To stop,
/// call RequestStop() from any thread: a blocked loop wakes at once (a poll() on the socket and
/// a wake-up descriptor) and returns 0; then join the receive thread and only then Close().
///
/// Filter: a non-empty datagram whose source address differs from the filter is dropped; an
/// empty datagram is delivered whatever its source. The filter is an IPv4 address in network
/// byte order, as devices keep addresses; the default 0 matches no real sender. A destination
/// filter, when set, first drops every datagram whose destination address it refuses (the
/// socket then asks the system for each datagram's destination, IP_PKTINFO).
///
/// One thread may serve two sockets: RunReceiveLoop(&other) waits on both and hands each
/// datagram to the handler of the socket it arrived on.
///
/// Threading contract: configuration (filter, handler) before the loop starts, on the owner's
/// thread; RunReceiveLoop and the handler on one receive thread; RequestStop from any thread.
/// Not copyable.
class VDataInSocket : public VSocketSimple
{
public:
    /// Called on the receive thread with the bytes of one accepted datagram and its length;
    /// `data` is valid only during the call.
    using Handler = std::function<void(const uint8_t* data, uint32_t length)>;
    /// Whether a datagram sent to `destination` (network order) is kept.
    using DestinationFilter = std::function<bool(uint32_t destination)>;
    /// Largest datagram delivered; longer ones are dropped whole.
    static constexpr size_t BufferSize = 1024;

    VDataInSocket();
    ~VDataInSocket() override;

    void SetSourceFilter(uint32_t networkOrderAddress)
    {
        m_SourceFilter.store(networkOrderAddress);
    }
    uint32_t GetSourceFilter() const { return m_SourceFilter.load(); }
    void SetHandler(Handler handler) { m_Handler = std::move(handler); }
    /// Sets the destination filter (empty: none) and, on an open socket, turns IP_PKTINFO on.
    /// Call after Create. False when the socket option cannot be set; the filter is kept and
    /// then refuses every datagram, since no destination is known.
    bool SetDestinationFilter(DestinationFilter filter);

    /// Receives datagrams until stopped. Returns 0 after RequestStop(), -1 when the socket is
    /// not open or fails for good (closed, not a socket). Interrupted calls, datagrams longer
    /// than BufferSize, datagrams from other senders and passing errors (an ICMP "port
    /// unreachable" reported on the socket, lack of memory) are skipped.
    int RunReceiveLoop();
    /// As RunReceiveLoop, also receiving on `other` (null: none), an open socket configured on
    /// its own that runs no loop of its own. Stopped through this socket's RequestStop; returns
    /// -1 when either socket fails for good.
    int RunReceiveLoop(VDataInSocket* other);

    /// Makes a running or future RunReceiveLoop return promptly. Any thread; idempotent.
    void RequestStop();
    /// Allows RunReceiveLoop to run again after a stop. Owner thread, loop not running.
    void ClearStopRequest();
    bool IsStopRequested() const { return m_StopRequested.load(); }

protected:
    /// Receives each accepted datagram; the default calls the handler, if any.
    virtual void OnDatagram(const uint8_t* data, uint32_t length);

private:
    /// Waits until this socket or `other` (may be null) is readable or a stop is requested.
    /// Returns bit 0 for this socket, bit 1 for `other`; 0 on stop or failure.
    unsigned WaitReadable(const VDataInSocket* other);
    /// Receives one pending datagram and delivers it when the filters keep it. False when the
    /// socket failed for good.
    bool ReceiveOne();
    /// ReceiveFrom, or recvmsg with the datagram's destination when a destination filter is
    /// set (`destination` 0 when the system did not tell it).
    int ReceiveDatagram(sockaddr_in& source, uint32_t& destination);

    std::atomic<uint32_t> m_SourceFilter{0};
    std::atomic<bool> m_StopRequested{false};
    int m_WakeHandle = -1; // eventfd written by RequestStop; -1 if none could be made
    Handler m_Handler;
    DestinationFilter m_DestinationFilter;
    std::array<uint8_t, BufferSize> m_Buffer{};
};
