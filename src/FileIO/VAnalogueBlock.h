// The analogue block element: one IAnalogueBlockData record over its own byte vector.
#pragma once

#include "FileIO/IAnalogueBlock.h"

#include <cstdint>
#include <vector>

/// A block that owns its bytes; Data points at the first of them, or is null when Size is 0.
/// Copyable (deep). Not thread-safe: one thread at a time.
class VAnalogueBlock : public IAnalogueBlockDirect
{
public:
    VAnalogueBlock() = default;
    /// A deep copy of `data`.
    explicit VAnalogueBlock(const IAnalogueBlockData& data) { SetData(data); }
    VAnalogueBlock(const VAnalogueBlock& source) { SetData(source.m_Data); }
    VAnalogueBlock& operator=(const VAnalogueBlock& source);
    /// Takes the source's bytes; the source is left empty.
    VAnalogueBlock(VAnalogueBlock&& source) noexcept;
    VAnalogueBlock& operator=(VAnalogueBlock&& source) noexcept;

    void SetData(const IAnalogueBlockData& data) override;
    void CopyTo(IAnalogueBlock& target) const override { target.SetData(m_Data); }
    VAnalogueBlock& Assign(const IAnalogueBlock& source) override;
    void Resize(std::uint32_t size) override;
    VAnalogueBlock& Assign(const IAnalogueBlockDirect& source) override;
    const IAnalogueBlockData* GetData() const override { return &m_Data; }

    /// The bytes, writable (Size of them).
    std::uint8_t* Bytes() { return m_Bytes.data(); }

private:
    IAnalogueBlockData m_Data;
    std::vector<std::uint8_t> m_Bytes;
};
