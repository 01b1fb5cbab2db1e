// The analogue block frame: its VAnalogueBlockSet objects by value in one vector.
#pragma once

#include "FileIO/IAnalogueBlockFrame.h"
#include "FileIO/VAnalogueBlockSet.h"

#include <vector>

/// Analogue sets of all devices in one frame; the count is the vector's size (no pool).
/// Copyable (deep). Not thread-safe: one thread at a time.
class VAnalogueBlockFrame : public IAnalogueBlockFrameDirect
{
public:
    VAnalogueBlockFrame() = default;
    /// A deep copy of any analogue frame.
    explicit VAnalogueBlockFrame(const IAnalogueBlockFrame& source);

    void CopyTo(IAnalogueBlockFrame& target) const override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Sets.size()); }
    void Resize(std::uint32_t count) override { m_Sets.resize(count); }
    bool GetSet(std::uint32_t index, IAnalogueBlockSet& out) const override;
    bool SetSet(std::uint32_t index, const IAnalogueBlockSet& in) override;
    const VAnalogueBlockSet* GetSetDirect(std::uint32_t index) const override;
    VAnalogueBlockSet* GetSetDirect(std::uint32_t index) override;

private:
    std::vector<VAnalogueBlockSet> m_Sets;
};
