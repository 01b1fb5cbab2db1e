// Interfaces of a greyscale blob frame: one greyscale blob set per device (IGreyscaleBlobFrame),
// and direct access to the sets in place (IGreyscaleBlobFrameDirect).
#pragma once

#include "FileIO/IGreyscaleBlobSet.h"

#include <cstdint>

/// The greyscale blob sets of all devices in one frame. Frames are handed between subsystems by
/// shared pointer. Not thread-safe: one thread at a time.
class IGreyscaleBlobFrame
{
public:
    virtual ~IGreyscaleBlobFrame() = default;
    /// target.Resize(Count()), then target.SetSet(i, set i) for every set in use.
    virtual void CopyTo(IGreyscaleBlobFrame& target) const = 0;
    /// Sets in use.
    virtual std::uint32_t Count() const = 0;
    /// Grows with empty sets; on shrinking, the dropped sets are cleared and kept for reuse.
    virtual void Resize(std::uint32_t count) = 0;
    /// Copies set `index` into `out`; false when index >= Count().
    virtual bool GetSet(std::uint32_t index, IGreyscaleBlobSet& out) const = 0;
    /// Copies `in` over set `index`; false when index >= Count().
    virtual bool SetSet(std::uint32_t index, const IGreyscaleBlobSet& in) = 0;
    /// Clears set `index` and moves it behind the sets in use (those behind it move one place
    /// forward); Count() drops by one. An index >= Count() is ignored.
    virtual void Erase(std::uint32_t index) = 0;
};

/// A greyscale blob frame whose sets can be filled and read in place.
class IGreyscaleBlobFrameDirect : public IGreyscaleBlobFrame
{
public:
    /// Set `index`, owned by the frame and valid for the frame's life; null when
    /// index >= Count().
    virtual const IGreyscaleBlobSetDirect* GetSetDirect(std::uint32_t index) const = 0;
    virtual IGreyscaleBlobSetDirect* GetSetDirect(std::uint32_t index) = 0;
};
