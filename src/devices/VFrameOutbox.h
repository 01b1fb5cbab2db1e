// The datagrams of one frame of one stream, collected before any goes out so that they can be
// handed to the system together.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Queues the datagrams of one frame (it is the sink the frame's encoder writes to), then
/// hands them to the real sink in one SendBatch: over a socket one sendmmsg per 64 datagrams
/// instead of one system call per datagram. The order of the datagrams is kept, and nothing
/// of a frame goes out before the frame is complete.
///
/// Because the whole frame is here before it is sent, Flush is the one place where a frame
/// can be judged as a whole (held back, dropped, sent late) and each of its datagrams on its
/// own (dropped, sent twice).
///
/// Storage (bytes and list) is kept from frame to frame: once it has held the largest frame,
/// queuing allocates nothing.
///
/// Threading contract: one thread at a time (the frame thread of the owning source). Not
/// copyable.
class VFrameOutbox final : public IDatagramSink
{
public:
    VFrameOutbox() = default;
    VFrameOutbox(const VFrameOutbox&) = delete;
    VFrameOutbox& operator=(const VFrameOutbox&) = delete;

    /// Queues a copy of the datagram; always true (the real outcome comes with Flush).
    bool Send(const std::uint8_t* bytes, std::size_t length) override;

    /// Hands every queued datagram, in order, to `sink` and empties the outbox. Returns the
    /// bytes of the queued datagrams that `sink` did not send (dropped).
    std::uint64_t Flush(IDatagramSink& sink);
    /// Empties the outbox without sending.
    void Clear();

    std::size_t GetQueuedCount() const { return m_Datagrams.size(); }
    std::uint64_t GetQueuedBytes() const { return m_Bytes.size(); }

private:
    struct VQueued
    {
        std::size_t Offset;
        std::size_t Length;
    };

    std::vector<std::uint8_t> m_Bytes;
    std::vector<VQueued> m_Datagrams;
    std::vector<VDatagramView> m_Views; // built by Flush once m_Bytes stopped growing
};
