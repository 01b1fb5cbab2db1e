// Interfaces of the analogue blocks of one device in one frame: copy protocol and item
// access (IAnalogueBlockSet) and access to the flat arrays (IAnalogueBlockSetDirect).
#pragma once

#include "FileIO/IAnalogueBlock.h"
#include "params/IString.h"

#include <cstdint>

/// All analogue blocks of one device in one frame, and the device name. Copied through the
/// copy protocol (CopyTo pushes into SetAll, which copies the bytes).
/// Not thread-safe: one thread at a time.
class IAnalogueBlockSet
{
public:
    virtual ~IAnalogueBlockSet() = default;
    /// Calls target.SetAll with this set's block records (null when empty) and name.
    virtual void CopyTo(IAnalogueBlockSet& target) const = 0;
    /// Replaces everything with copies of `count` blocks at `blocks` (null only when count is
    /// 0) and the name. Nothing of the arguments is kept.
    virtual void SetAll(const IAnalogueBlockData* blocks, std::uint32_t count,
                        const VStringStd& name) = 0;
    /// source.CopyTo(*this); returns this set.
    virtual IAnalogueBlockSet& Assign(const IAnalogueBlockSet& source) = 0;
    virtual std::uint32_t Count() const = 0;
    /// out.SetData(block[index]); false and `out` untouched when index >= Count().
    virtual bool GetItem(std::uint32_t index, IAnalogueBlock& out) const = 0;
    /// Appends a copy of `block`.
    virtual void Append(const IAnalogueBlock& block) = 0;
    virtual void GetName(VStringStd& out) const = 0;
    virtual void SetName(const VStringStd& name) = 0;
};

/// An analogue set that also exposes its block records, whose Data point into the set's own
/// byte array; pointers obtained here stay valid until the set changes.
class IAnalogueBlockSetDirect : public IAnalogueBlockSet
{
public:
    using IAnalogueBlockSet::Assign;
    virtual IAnalogueBlockSetDirect& Assign(const IAnalogueBlockSetDirect& source) = 0;
    /// The block array (null when empty) and its length; either out pointer may be null.
    virtual void GetData(const IAnalogueBlockData** blocks, std::uint32_t* count) const = 0;
    /// Pointer to block[index]; false and null when index >= Count().
    virtual bool GetItemData(std::uint32_t index, const IAnalogueBlockData** out) const = 0;
};
