// Interfaces of the centroids of one camera in one frame: copy protocol and item access
// (ICentroidSet) and raw access to the record array (ICentroidSetDirect).
#pragma once

#include "FileIO/ICentroid.h"
#include "params/IString.h"

#include <cstdint>

/// All centroids of one device in one frame, with the camera's value and the device name.
/// Sets copy into each other through the copy protocol (CopyTo pushes into SetAll).
/// Not thread-safe: one thread at a time.
class ICentroidSet
{
public:
    virtual ~ICentroidSet() = default;
    /// Calls target.SetAll with this set's records (null when empty), value and name.
    virtual void CopyTo(ICentroidSet& target) const = 0;
    /// Replaces everything: `count` records copied from `data` (which may be null only when
    /// count is 0), the camera value and the name. Nothing is kept after the call.
    virtual void SetAll(const ICentroidData* data, std::uint32_t count, double cameraValue,
                        const VStringStd& name) = 0;
    /// source.CopyTo(*this); returns this set.
    virtual ICentroidSet& Assign(const ICentroidSet& source) = 0;
    /// Number of centroids.
    virtual std::uint32_t Count() const = 0;
    /// Grows with zero-filled records or drops records from the end.
    virtual void Resize(std::uint32_t count) = 0;
    /// out.SetData(record[index]); false and `out` untouched when index >= Count().
    virtual bool GetItem(std::uint32_t index, ICentroid& out) const = 0;
    /// Copies `in`'s record over record[index]; false when index >= Count().
    virtual bool SetItem(std::uint32_t index, const ICentroid& in) = 0;
    virtual double GetCameraValue() const = 0;
    virtual void SetCameraValue(double value) = 0;
    /// Assigns the device name to `out`.
    virtual void GetName(VStringStd& out) const = 0;
    virtual void SetName(const VStringStd& name) = 0;
};

/// A centroid set that also exposes its contiguous record array. Pointers obtained here stay
/// valid until the set is resized or replaced.
class ICentroidSetDirect : public ICentroidSet
{
public:
    using ICentroidSet::Assign;
    /// The same as Assign from any set.
    virtual ICentroidSetDirect& Assign(const ICentroidSetDirect& source) = 0;
    /// The array (null when empty), its length and the camera value; any out pointer may be
    /// null.
    virtual void GetData(const ICentroidData** data, std::uint32_t* count,
                         double* cameraValue) const = 0;
    virtual void GetData(ICentroidData** data, std::uint32_t* count, double* cameraValue) = 0;
    /// Pointer to record[index]; false and null when index >= Count().
    virtual bool GetItemData(std::uint32_t index, ICentroidData** out) = 0;
};
