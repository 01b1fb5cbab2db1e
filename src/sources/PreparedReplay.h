// The replay step the two parsed sources share: copy one prepared string, write the current
// frame numbers into its trailer and send it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class IDatagramSink;

namespace PreparedReplay
{

/// Copies `prepared` into `scratch`, writes `frame` and `previous` into the trailer that ends
/// it and sends it with PreparedStream::Send. Returns the bytes that went out; 0, sending
/// nothing, when `prepared` is shorter than a trailer. One thread at a time per scratch.
std::uint32_t Send(IDatagramSink& sink, std::span<const std::uint8_t> prepared,
                   std::vector<std::uint8_t>& scratch, std::uint32_t frame, std::uint32_t previous);

} // namespace PreparedReplay
