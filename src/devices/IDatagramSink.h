// The destination of the camera stream encoders: something that takes whole datagrams.
#pragma once

#include <cstddef>
#include <cstdint>

/// Takes one datagram at a time. The encoders write through this interface so that they can
/// be tested without sockets; VDataOutSocketSink sends for real.
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
};
