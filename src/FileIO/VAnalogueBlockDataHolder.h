// The analogue block data holder: decodes each block into a scratch block and appends it to an
// analogue set.
#pragma once

#include "FileIO/IAnalogueBlockSet.h"
#include "FileIO/VDataHolderBasic.h"
#include "FileIO/VAnalogueBlock.h"
#include "FileIO/VAnalogueBlockDatum.h"

#include <cstdint>

/// Analogue blocks, format 0xDFAA (of X1D files). Target: an IAnalogueBlockSetDirect (SetTarget). A
/// block is appended only when it decoded cleanly (good stream, no malformed field) and consumed
/// bytes. Not thread-safe: used by the reader's thread only.
class VAnalogueBlockDataHolder : public VDataHolderBasic<VAnalogueBlockDatum>
{
public:
    VAnalogueBlockDataHolder();

    /// Points the holder at the set to fill (not owned), or at none with null.
    void SetTarget(IAnalogueBlockSetDirect* target) { m_Target = target; }
    IAnalogueBlockSetDirect* GetTarget() const { return m_Target; }

    std::uint32_t GetCount() const override { return m_Target != nullptr ? m_Target->Count() : 0; }
    bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool WriteItems(IBinaryOutputStream& stream) override;
    /// Copies an empty set into the target: no blocks, empty name.
    void Clear() override;

private:
    IAnalogueBlockSetDirect* m_Target = nullptr;
    VAnalogueBlock m_Scratch;
};
