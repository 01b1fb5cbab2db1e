// The base of every item of the host's data stream: a type number and a payload.
#pragma once

#include <cstdint>
#include <vector>

namespace OrvanCGStream
{

/// Item type numbers of the stream. Only the two items the latency client needs are
/// defined here; other numbers travel as VRawItem.
enum EItemType : std::uint32_t
{
    ItemTypeStreamInfo = 1,
    ItemTypeFrameInfo = 5,
};

/// One item of the stream. Items are immutable once made and shared by handle
/// (std::shared_ptr<const VItem>) between the thread that decodes or publishes them and
/// the threads that read them, so any thread may read one.
class VItem
{
public:
    virtual ~VItem() = default;

    /// The item's type number.
    virtual std::uint32_t GetType() const = 0;
    /// Appends the item's payload bytes, as they travel after the item header, to `out`.
    virtual void EncodePayload(std::vector<std::uint8_t>& out) const = 0;
};

} // namespace OrvanCGStream
