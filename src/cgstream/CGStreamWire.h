// The framing of the host's data stream on TCP: the two preambles, the client's request for
// item types and the item header. docs/stream-protocol.md describes the same bytes for host
// developers.
#pragma once

#include "cgstream/VItem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

/// Every number on the stream is little-endian.
///
/// Client to host, once, right after connecting (the request):
///   4 bytes "OCGS", u32 version (1), u32 count n (at most MaxRequestedTypes),
///   n x u32 item type.
/// Host to client: 4 bytes "OCGS", u32 version (1), then items, each
///   u32 item type, u32 payload length (at most MaxPayloadSize), payload.
/// A host sends only the types requested; a client skips items it does not know.
///
/// Stateless functions; any thread.
namespace CGStreamWire
{

constexpr std::uint8_t Magic[4] = {'O', 'C', 'G', 'S'};
constexpr std::uint32_t Version = 1;
constexpr std::size_t PreambleSize = 8;
/// Preamble and count: the fixed part of the request.
constexpr std::size_t RequestFixedSize = 12;
constexpr std::uint32_t MaxRequestedTypes = 64;
constexpr std::size_t ItemHeaderSize = 8;
constexpr std::uint32_t MaxPayloadSize = 1u << 20;

/// The 8 bytes that begin the host's side of the stream.
std::vector<std::uint8_t> EncodePreamble();
/// Whether the 8 bytes at `data` are a preamble of this version.
bool IsPreamble(const std::uint8_t* data);

/// The request for `types` (at most MaxRequestedTypes of them; more are left out).
std::vector<std::uint8_t> EncodeRequest(const std::set<std::uint32_t>& types);
/// Reads the fixed part of a request (RequestFixedSize bytes at `data`): false when the
/// preamble is wrong or the count exceeds MaxRequestedTypes; else the count of type words
/// that follow.
bool DecodeRequestHeader(const std::uint8_t* data, std::uint32_t& count);
/// Reads `count` type words at `data`.
std::set<std::uint32_t> DecodeRequestedTypes(const std::uint8_t* data, std::uint32_t count);

/// The item's header and payload, ready to send.
std::vector<std::uint8_t> EncodeItem(const OrvanCGStream::VItem& item);
/// Reads an item header (ItemHeaderSize bytes at `data`); false when the payload length
/// exceeds MaxPayloadSize.
bool DecodeItemHeader(const std::uint8_t* data, std::uint32_t& type, std::uint32_t& length);
/// The item of `type` in `size` payload bytes: a VStreamInfo or VFrameInfo for their types,
/// a VRawItem for any other. Null when a known type's payload is malformed.
std::shared_ptr<const OrvanCGStream::VItem>
DecodeItem(std::uint32_t type, const std::uint8_t* payload, std::size_t size);

} // namespace CGStreamWire
