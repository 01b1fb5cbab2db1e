// Interface of a centroid track frame: one track set per device, reachable in place.
#pragma once

#include "FileIO/ICentroidTrackSet.h"

#include <cstdint>

/// The track sets of all devices in one frame. Unlike the other frames it copies by
/// Assign (pull) and has no Erase. Not thread-safe: one thread at a time.
class ICentroidTrackFrame
{
public:
    virtual ~ICentroidTrackFrame() = default;
    /// Resizes to source.Count() and assigns each set from the source's set.
    virtual ICentroidTrackFrame& Assign(const ICentroidTrackFrame& source) = 0;
    /// target.Assign(*this).
    virtual void CopyTo(ICentroidTrackFrame& target) const = 0;
    virtual std::uint32_t Count() const = 0;
    /// Grows with empty sets; on shrinking, the dropped sets are cleared and kept for reuse.
    virtual void Resize(std::uint32_t count) = 0;
    /// Copies set `index` into `out`; false when index >= Count().
    virtual bool GetSet(std::uint32_t index, ICentroidTrackSet& out) const = 0;
    /// Copies `in` over set `index`; false when index >= Count().
    virtual bool SetSet(std::uint32_t index, const ICentroidTrackSet& in) = 0;
    /// Set `index`, owned by the frame; null when index >= Count().
    virtual const ICentroidTrackSet* GetSetDirect(std::uint32_t index) const = 0;
    virtual ICentroidTrackSet* GetSetDirect(std::uint32_t index) = 0;
};
