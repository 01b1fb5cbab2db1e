// Interfaces of one edge pair: the copy protocol (IEdgePair) and raw record access
// (IEdgePairDirect).
#pragma once

#include "FileIO/FrameRecords.h"

/// One edge pair, copied through the copy protocol (CopyTo pushes into SetData).
/// Not thread-safe: one thread at a time.
class IEdgePair
{
public:
    virtual ~IEdgePair() = default;
    /// Copies the record in.
    virtual void SetData(const IEdgePairData& data) = 0;
    /// Calls target.SetData with this pair's record.
    virtual void CopyTo(IEdgePair& target) const = 0;
    /// source.CopyTo(*this); returns this pair.
    virtual IEdgePair& Assign(const IEdgePair& source) = 0;
};

/// An edge pair that also exposes its record.
class IEdgePairDirect : public IEdgePair
{
public:
    using IEdgePair::Assign;
    virtual IEdgePairDirect& Assign(const IEdgePairDirect& source) = 0;
    /// The record itself, valid as long as the pair.
    virtual IEdgePairData* GetData() = 0;
};
