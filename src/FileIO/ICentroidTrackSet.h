// Interface of the centroid tracks of one camera in one frame, with raw array access.
#pragma once

#include "FileIO/ICentroidTrack.h"

#include <cstdint>
#include <string>

/// All centroid tracks of one device in one frame, and the device name (a plain string in
/// this family). There is no separate Direct interface: GetData gives the array.
/// Not thread-safe: one thread at a time.
class ICentroidTrackSet
{
public:
    virtual ~ICentroidTrackSet() = default;
    /// source.CopyTo(*this); returns this set.
    virtual ICentroidTrackSet& Assign(const ICentroidTrackSet& source) = 0;
    /// Calls target.SetAll with this set's records (null when empty) and name.
    virtual void CopyTo(ICentroidTrackSet& target) const = 0;
    /// Replaces everything with `count` records copied from `data` (null only when count is
    /// 0) and the name. Nothing is kept after the call.
    virtual void SetAll(const ICentroidTrackData* data, std::uint32_t count,
                        const std::string& name) = 0;
    virtual std::uint32_t Count() const = 0;
    /// Grows with new records (Id -1, Length 0, Confidence 0.0) or drops from the end.
    virtual void Resize(std::uint32_t count) = 0;
    /// out.SetData(record[index]); false and `out` untouched when index >= Count().
    virtual bool GetItem(std::uint32_t index, ICentroidTrack& out) const = 0;
    /// Copies `in`'s record over record[index]; false when index >= Count().
    virtual bool SetItem(std::uint32_t index, const ICentroidTrack& in) = 0;
    virtual void GetName(std::string& out) const = 0;
    virtual void SetName(const std::string& name) = 0;
    /// The array (null when empty) and its length; either out pointer may be null. Valid
    /// until the set is resized or replaced.
    virtual void GetData(const ICentroidTrackData** data, std::uint32_t* count) const = 0;
    virtual void GetData(ICentroidTrackData** data, std::uint32_t* count) = 0;
};
