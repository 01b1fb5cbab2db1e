// Interfaces of one centroid: the copy protocol (ICentroid) and raw record access
// (ICentroidDirect).
#pragma once

#include "FileIO/FrameRecords.h"

/// One centroid. Implementations copy into each other through the copy protocol: the
/// source pushes its record into the target's SetData, so neither needs the other's storage.
/// Not thread-safe: one thread at a time.
class ICentroid
{
public:
    virtual ~ICentroid() = default;
    /// Copies the record in.
    virtual void SetData(const ICentroidData& data) = 0;
    /// Calls target.SetData with this centroid's record.
    virtual void CopyTo(ICentroid& target) const = 0;
    /// source.CopyTo(*this); returns this centroid.
    virtual ICentroid& Assign(const ICentroid& source) = 0;
};

/// A centroid that also exposes its record.
class ICentroidDirect : public ICentroid
{
public:
    using ICentroid::Assign;
    /// The same as Assign from any centroid.
    virtual ICentroidDirect& Assign(const ICentroidDirect& source) = 0;
    /// The record itself, valid as long as the centroid.
    virtual ICentroidData* GetData() = 0;
};
