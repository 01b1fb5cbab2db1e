// The binary data stream of a TCP connection: a reader and a writer over one shared socket.
#pragma once

#include "net/TIODataStreamBinary.h"
#include "net/VSocketStream.h"

#include <memory>

/// The stream pair a VSimpleConnection works with. Reading goes through GetIStream() (or the
/// Read operations), writing through GetOStream() (or the Write operations) and leaves on
/// Flush(). Both streams share the socket; it closes when the last holder lets it go.
using VSocketDataStream = TIODataStreamBinary<VSocketInputStream, VSocketOutputStream>;

/// Builds the stream pair over `socket`.
inline std::unique_ptr<VSocketDataStream>
MakeSocketDataStream(std::shared_ptr<VSocketSimple> socket)
{
    return std::make_unique<VSocketDataStream>(std::make_unique<VSocketInputStream>(socket),
                                               std::make_unique<VSocketOutputStream>(socket));
}

/// The socket under a connection stream.
inline VSocketSimple& GetSocketOf(VSocketDataStream& stream)
{
    return *stream.GetIStream().GetSocket();
}
