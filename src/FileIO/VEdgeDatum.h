// The edge pair datum: decodes and encodes one edge pair record.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/TDatum.h"

#include <cstdint>

/// Decodes an edge pair: 0xCC00, 0xCC01, 0xCC02 are Coord0, Coord1, Coord2, two bytes each
/// whatever sizes the field list gives them. Decodes into the record as it is (a set's
/// Resize has zero-filled it). Writes 2, 2 and 2 bytes.
/// Not thread-safe: one thread at a time.
class VEdgeDatum : public TDatum<IEdgePairData, IEdgePairData>
{
public:
    static constexpr std::uint16_t kKeyCoord0 = 0xCC00;
    static constexpr std::uint16_t kKeyCoord1 = 0xCC01;
    static constexpr std::uint16_t kKeyCoord2 = 0xCC02;

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;
    /// Decodes one item from the bytes of the plan that PrepareItemPlan made, as Read would.
    void ReadPlanned(const std::uint8_t* item, IEdgePairData& data) const;

protected:
    EPlanStep PlanField(const VDataFormatField& field, std::uint64_t& offset,
                        std::vector<VPlannedField>& plan) const override;

private:
    IEdgePairData m_Scratch;
};
