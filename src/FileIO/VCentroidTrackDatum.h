// The centroid track datum: decodes and encodes one track record.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/TDatum.h"

#include <cstdint>

/// Decodes a track: 0xAA00 Id (i64, 8 bytes), 0xAA01 Length (u32), 0xAA02 Confidence (f32),
/// whatever sizes the field list gives them. The record starts each Read as "no track"
/// (Id -1, Length 0, Confidence 0.0), so absent fields keep those values. Read returns 0
/// when the stream has failed by the end. Writes 8, 4 and 4 bytes.
/// Not thread-safe: one thread at a time.
class VCentroidTrackDatum : public TDatum<ICentroidTrackData, ICentroidTrackData>
{
public:
    static constexpr std::uint16_t kKeyId = 0xAA00;
    static constexpr std::uint16_t kKeyLength = 0xAA01;
    static constexpr std::uint16_t kKeyConfidence = 0xAA02;

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;
    /// Decodes one item from the bytes of the plan that PrepareItemPlan made, as Read would.
    void ReadPlanned(const std::uint8_t* item, ICentroidTrackData& data) const;

protected:
    EPlanStep PlanField(const VDataFormatField& field, std::uint64_t& offset,
                        std::vector<VPlannedField>& plan) const override;

private:
    ICentroidTrackData m_Scratch;
};
