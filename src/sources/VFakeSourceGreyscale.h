// The synthetic greyscale source: an empty greyscale stream, only the end-of-frame trailer.
#pragma once

#include "sources/VFakeSource.h"

#include <cstdint>

/// `VFakeSourceGreyscale`: per frame one 36-byte trailer datagram (stream kind 0x00010002,
/// byte count 0, the frame and previous frame numbers); reports 36 bytes (0 when the
/// datagram was dropped). Reads no parameter and keeps no state.
///
/// Threading contract: that of VFakeSource. Not copyable.
class VFakeSourceGreyscale : public VFakeSource
{
public:
    explicit VFakeSourceGreyscale(const VFakeSourceTarget& target);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;
};
