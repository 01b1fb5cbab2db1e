// Sends a prepared per-frame byte string (records or datagrams, ending with the 36-byte
// trailer) as the parsed trial-file sources replay it.
#pragma once

#include <cstddef>
#include <cstdint>

class IDatagramSink;

namespace PreparedStream
{

/// Size of the pieces that the part before the trailer is cut into.
constexpr std::size_t PieceSize = 1400;

/// Sends `length` bytes at `bytes`, whose last 36 bytes are a frame trailer. When there is
/// more than the trailer, the part before it goes out in datagrams of exactly 1400 bytes
/// followed by one datagram with the remainder (of length 0 when the part is a whole
/// multiple of 1400 bytes; a record may be split between two datagrams); then the trailer
/// goes out as a datagram of its own. A string of just the trailer sends only the trailer.
/// A string shorter than a trailer is not a prepared stream: nothing is sent.
/// Returns the bytes of the datagrams that went out. Any thread that owns `sink`.
std::uint32_t Send(IDatagramSink& sink, const std::uint8_t* bytes, std::size_t length);

} // namespace PreparedStream
