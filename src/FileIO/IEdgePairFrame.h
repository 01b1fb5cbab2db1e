// Interfaces of an edge pair frame: one edge pair set per device (IEdgePairFrame), and direct
// access to the sets in place (IEdgePairFrameDirect).
#pragma once

#include "FileIO/IEdgePairSet.h"

#include <cstdint>

/// The edge pair sets of all devices in one frame. Frames are handed between subsystems by
/// shared pointer. Not thread-safe: one thread at a time.
class IEdgePairFrame
{
public:
    virtual ~IEdgePairFrame() = default;
    /// target.Resize(Count()), then target.SetSet(i, set i) for every set in use.
    virtual void CopyTo(IEdgePairFrame& target) const = 0;
    /// Sets in use.
    virtual std::uint32_t Count() const = 0;
    /// Grows with empty sets; on shrinking, the dropped sets are cleared and kept for reuse.
    virtual void Resize(std::uint32_t count) = 0;
    /// Copies set `index` into `out`; false when index >= Count().
    virtual bool GetSet(std::uint32_t index, IEdgePairSet& out) const = 0;
    /// Copies `in` over set `index`; false when index >= Count().
    virtual bool SetSet(std::uint32_t index, const IEdgePairSet& in) = 0;
    /// Clears set `index` and moves it behind the sets in use (those behind it move one place
    /// forward); Count() drops by one. An index >= Count() is ignored.
    virtual void Erase(std::uint32_t index) = 0;
};

/// An edge pair frame whose sets can be filled and read in place.
class IEdgePairFrameDirect : public IEdgePairFrame
{
public:
    /// Set `index`, owned by the frame and valid for the frame's life; null when
    /// index >= Count().
    virtual const IEdgePairSetDirect* GetSetDirect(std::uint32_t index) const = 0;
    virtual IEdgePairSetDirect* GetSetDirect(std::uint32_t index) = 0;
};
