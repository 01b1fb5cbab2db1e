// The destination of the camera stream encoders: something that takes whole datagrams.
#pragma once

#include <cstddef>
#include <cstdint>

/// One datagram of a batch: `Length` bytes at `Bytes` (which may be null when Length is 0).
struct VDatagramView
{
    const std::uint8_t* Bytes = nullptr;
    std::size_t Length = 0;
};

/// Takes one datagram at a time, or a batch of them. The encoders write through this interface so
/// that they can be tested without sockets; VDataOutSocketSink sends for real.
///
/// Threading contract: an encoder calls Send from the one thread that runs its frame; an
/// implementation need not be safe for concurrent Send calls.
class IDatagramSink
{
public:
    virtual ~IDatagramSink() = default;
    /// Sends the `length` bytes at `bytes` as one datagram (`length` may be 0; `bytes` may then
    /// be null). Nothing is kept after the call. True when the datagram went out, false when
    /// it was dropped.
    virtual bool Send(const std::uint8_t* bytes, std::size_t length) = 0;
    /// Sends `count` datagrams, in their order, as if by Send one after another (a sink that
    /// can hand several to the system at once overrides it). Nothing is kept after the call.
    /// Returns the bytes of the datagrams that went out.
    virtual std::uint64_t SendBatch(const VDatagramView* datagrams, std::size_t count)
    {
        std::uint64_t bytes = 0;
        for (std::size_t i = 0; i < count; ++i)
        {
            if (Send(datagrams[i].Bytes, datagrams[i].Length))
                bytes += datagrams[i].Length;
        }
        return bytes;
    }
};
