// Interfaces of an analogue block frame: one analogue set per device (IAnalogueBlockFrame),
// and direct access to the sets in place (IAnalogueBlockFrameDirect).
#pragma once

#include "FileIO/IAnalogueBlockSet.h"

#include <cstdint>

/// The analogue sets of all devices in one frame. Frames are handed between subsystems by
/// shared pointer. Not thread-safe: one thread at a time.
class IAnalogueBlockFrame
{
public:
    virtual ~IAnalogueBlockFrame() = default;
    /// target.Resize(Count()), then target.SetSet(i, set i) for every set.
    virtual void CopyTo(IAnalogueBlockFrame& target) const = 0;
    virtual std::uint32_t Count() const = 0;
    /// Grows with empty sets or drops sets from the end.
    virtual void Resize(std::uint32_t count) = 0;
    /// Copies set `index` into `out`; false when index >= Count().
    virtual bool GetSet(std::uint32_t index, IAnalogueBlockSet& out) const = 0;
    /// Copies `in` over set `index`; false when index >= Count().
    virtual bool SetSet(std::uint32_t index, const IAnalogueBlockSet& in) = 0;
};

/// An analogue frame whose sets can be filled and read in place.
class IAnalogueBlockFrameDirect : public IAnalogueBlockFrame
{
public:
    /// Set `index`, owned by the frame; null when index >= Count(). Valid until the next
    /// Resize of the frame.
    virtual const IAnalogueBlockSetDirect* GetSetDirect(std::uint32_t index) const = 0;
    virtual IAnalogueBlockSetDirect* GetSetDirect(std::uint32_t index) = 0;
};
