// The stream information item (type 1): what the serving host says about its stream.
#pragma once

#include "cgstream/VItem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace OrvanCGStream
{

/// The first item a host sends to a client that asked for it. Payload, little-endian:
/// u32 frame rate in thousandths of a hertz (0: not known yet), u16 length of the host's
/// name, then the name's bytes (at most MaxNameLength); bytes after the name are ignored.
/// Immutable; any thread.
class VStreamInfo final : public VItem
{
public:
    static constexpr std::size_t FixedSize = 6;
    static constexpr std::size_t MaxNameLength = 1024;

    /// A longer `name` is cut at MaxNameLength bytes.
    VStreamInfo(std::uint32_t frameRateMilliHz, std::string name);

    /// The item in `size` payload bytes at `payload`, or null when the fixed part or the
    /// announced name does not fit, or the name is longer than MaxNameLength.
    static std::shared_ptr<const VStreamInfo> Decode(const std::uint8_t* payload, std::size_t size);

    std::uint32_t GetType() const override { return ItemTypeStreamInfo; }
    void EncodePayload(std::vector<std::uint8_t>& out) const override;

    std::uint32_t GetFrameRateMilliHz() const { return m_FrameRateMilliHz; }
    const std::string& GetName() const { return m_Name; }

private:
    const std::uint32_t m_FrameRateMilliHz;
    const std::string m_Name;
};

} // namespace OrvanCGStream
