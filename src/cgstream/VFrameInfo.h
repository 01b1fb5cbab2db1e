// The frame information item (type 5): the number of a frame the host has finished.
#pragma once

#include "cgstream/VItem.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace OrvanCGStream
{

/// Says that the host has finished the frame with this number (its own output of that
/// frame is complete). Payload: u32 frame number, little-endian; longer payloads are read
/// for their first four bytes. Immutable; any thread.
class VFrameInfo final : public VItem
{
public:
    static constexpr std::size_t PayloadSize = 4;

    explicit VFrameInfo(std::uint32_t frameNumber) : m_FrameNumber(frameNumber) {}

    /// The item in `size` payload bytes at `payload`, or null when they are too few.
    static std::shared_ptr<const VFrameInfo> Decode(const std::uint8_t* payload, std::size_t size);

    std::uint32_t GetType() const override { return ItemTypeFrameInfo; }
    void EncodePayload(std::vector<std::uint8_t>& out) const override;

    std::uint32_t GetFrameNumber() const { return m_FrameNumber; }

private:
    const std::uint32_t m_FrameNumber;
};

} // namespace OrvanCGStream
