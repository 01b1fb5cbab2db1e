// The centroid datum: decodes and encodes one centroid as scaled unsigned integer fields.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/TDatum.h"

#include <cstdint>

/// Decodes a centroid: fields 0xAA00 to 0xAA03 (X, Y, Radius, Fraction) hold an unsigned
/// little-endian integer of the field's size (0 to 8 bytes) times the field's scale, the f32
/// in its first 4 parameter bytes; a size-0 field yields 0.0 and needs no scale. Field
/// 0xAA04 is padding of ceil(P / 8) bytes, P being the u32 in its parameters. A wider field
/// or a missing scale or P is malformed (VDatumBase).
///
/// Writing divides each value by its scale, rounds to nearest (ties to even) and writes the
/// field's size in bytes, clamped to what that size holds (negative values become 0), then
/// ceil(P / 8) zero bytes for the padding.
/// Not thread-safe: one thread at a time.
class VCentroidDatum : public TDatum<ICentroidData, ICentroidData>
{
public:
    static constexpr std::uint16_t kKeyX = 0xAA00;
    static constexpr std::uint16_t kKeyY = 0xAA01;
    static constexpr std::uint16_t kKeyRadius = 0xAA02;
    static constexpr std::uint16_t kKeyFraction = 0xAA03;
    static constexpr std::uint16_t kKeyPadding = 0xAA04;

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;
    /// Decodes one item from the bytes of the plan that PrepareItemPlan made, as Read would.
    void ReadPlanned(const std::uint8_t* item, ICentroidData& data) const;

protected:
    EPlanStep PlanField(const VDataFormatField& field, std::uint64_t& offset,
                        std::vector<VPlannedField>& plan) const override;

private:
    ICentroidData m_Scratch;
};
