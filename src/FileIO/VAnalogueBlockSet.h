// The analogue block set: all blocks of a device in two flat arrays (block records and the
// bytes of all blocks), with the device name.
#pragma once

#include "FileIO/IAnalogueBlockSet.h"

#include <cstdint>
#include <vector>

/// Analogue blocks of one device in one frame. Bytes lie block after block; after any growth
/// of the byte array every record's Data is re-pointed. Copyable (deep, into the copy's own
/// arrays) and movable (the arrays' buffers move along, so records stay valid).
/// Not thread-safe: one thread at a time.
class VAnalogueBlockSet : public IAnalogueBlockSetDirect
{
public:
    VAnalogueBlockSet() = default;
    VAnalogueBlockSet(const VAnalogueBlockSet& source) { source.CopyTo(*this); }
    VAnalogueBlockSet& operator=(const VAnalogueBlockSet& source);
    VAnalogueBlockSet(VAnalogueBlockSet&& source) noexcept;
    VAnalogueBlockSet& operator=(VAnalogueBlockSet&& source) noexcept;

    void CopyTo(IAnalogueBlockSet& target) const override;
    void SetAll(const IAnalogueBlockData* blocks, std::uint32_t count,
                const VStringStd& name) override;
    VAnalogueBlockSet& Assign(const IAnalogueBlockSet& source) override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Blocks.size()); }
    bool GetItem(std::uint32_t index, IAnalogueBlock& out) const override;
    void Append(const IAnalogueBlock& block) override;
    void GetName(VStringStd& out) const override { out = m_Name; }
    void SetName(const VStringStd& name) override { m_Name = name; }
    VAnalogueBlockSet& Assign(const IAnalogueBlockSetDirect& source) override;
    void GetData(const IAnalogueBlockData** blocks, std::uint32_t* count) const override;
    bool GetItemData(std::uint32_t index, const IAnalogueBlockData** out) const override;

    /// Appends a copy of a block record (what Append does with the pushed record).
    void AppendData(const IAnalogueBlockData& block);
    /// Back to the state of a new set (no blocks, empty name), keeping capacity.
    void Clear();
    const VStringStd& Name() const { return m_Name; }
    /// Bytes of all blocks together.
    std::size_t ByteStorageSize() const { return m_Bytes.size(); }

private:
    void Repoint();

    std::vector<IAnalogueBlockData> m_Blocks;
    std::vector<std::uint8_t> m_Bytes;
    VStringStd m_Name;
};
