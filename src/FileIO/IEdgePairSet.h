// Interfaces of the edge pairs of one camera in one frame: copy protocol and item access
// (IEdgePairSet) and raw access to the record array (IEdgePairSetDirect).
#pragma once

#include "FileIO/IEdgePair.h"
#include "params/IString.h"

#include <cstdint>

/// All edge pairs of one device in one frame, and the device name. Copied through the copy
/// protocol (CopyTo pushes into SetAll). Not thread-safe: one thread at a time.
class IEdgePairSet
{
public:
    virtual ~IEdgePairSet() = default;
    /// Calls target.SetAll with this set's records (null when empty) and name.
    virtual void CopyTo(IEdgePairSet& target) const = 0;
    /// Replaces everything with `count` records copied from `data` (null only when count is
    /// 0) and the name. Nothing is kept after the call.
    virtual void SetAll(const IEdgePairData* data, std::uint32_t count, const VStringStd& name) = 0;
    /// source.CopyTo(*this); returns this set.
    virtual IEdgePairSet& Assign(const IEdgePairSet& source) = 0;
    virtual std::uint32_t Count() const = 0;
    /// Grows with zero-filled records or drops from the end.
    virtual void Resize(std::uint32_t count) = 0;
    /// out.SetData(record[index]); false and `out` untouched when index >= Count().
    virtual bool GetItem(std::uint32_t index, IEdgePair& out) const = 0;
    virtual void GetName(VStringStd& out) const = 0;
    virtual void SetName(const VStringStd& name) = 0;
};

/// An edge pair set that also exposes its record array. Pointers obtained here stay valid
/// until the set is resized or replaced.
class IEdgePairSetDirect : public IEdgePairSet
{
public:
    using IEdgePairSet::Assign;
    virtual IEdgePairSetDirect& Assign(const IEdgePairSetDirect& source) = 0;
    /// The array (null when empty) and its length; either out pointer may be null.
    virtual void GetData(const IEdgePairData** data, std::uint32_t* count) const = 0;
    virtual void GetData(IEdgePairData** data, std::uint32_t* count) = 0;
    /// Pointer to record[index]; false and null when index >= Count().
    virtual bool GetItemData(std::uint32_t index, const IEdgePairData** out) const = 0;
    virtual bool GetItemData(std::uint32_t index, IEdgePairData** out) = 0;
};
