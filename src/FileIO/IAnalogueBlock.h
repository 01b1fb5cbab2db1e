// Interfaces of one analogue block: the copy protocol (IAnalogueBlock) and access to its
// record (IAnalogueBlockDirect).
#pragma once

#include "FileIO/FrameRecords.h"

#include <cstdint>

/// An opaque block of analogue sample bytes. Copied through the copy protocol: the source
/// pushes its record into the target's SetData, which copies the bytes.
/// Not thread-safe: one thread at a time.
class IAnalogueBlock
{
public:
    virtual ~IAnalogueBlock() = default;
    /// Resize(data.Size), then copies the bytes; nothing of `data` is kept. A null Data
    /// counts as no bytes.
    virtual void SetData(const IAnalogueBlockData& data) = 0;
    /// Calls target.SetData with this block's record.
    virtual void CopyTo(IAnalogueBlock& target) const = 0;
    /// source.CopyTo(*this); returns this block.
    virtual IAnalogueBlock& Assign(const IAnalogueBlock& source) = 0;
    /// Resizes the bytes (new ones zero); Data points at the first byte, or is null for 0.
    virtual void Resize(std::uint32_t size) = 0;
};

/// An analogue block that also exposes its record.
class IAnalogueBlockDirect : public IAnalogueBlock
{
public:
    using IAnalogueBlock::Assign;
    virtual IAnalogueBlockDirect& Assign(const IAnalogueBlockDirect& source) = 0;
    /// The record; Data points into the block's own bytes, valid until the block changes.
    virtual const IAnalogueBlockData* GetData() const = 0;
};
