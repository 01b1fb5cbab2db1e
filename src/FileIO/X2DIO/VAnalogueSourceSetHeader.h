// The analogue source-set block of an X1D file (HeaderId 0): the source sets of the
// recorded analogue devices.
#pragma once

#include "FileIO/VDataFormatInfo.h"
#include "FileIO/X2DIO/ICustomHeader.h"
#include "FileIO/X2DIO/AnalogueSourceSets.h"

#include <cstdint>
#include <utility>
#include <vector>

/// The analogue source-set header. Read replaces the sets when the block has a set list;
/// Write encodes them with the header format 0xAFAC, each set with SetRecordFormat's format
/// (0xAFAB by default) and its sources with SetSourceFormat's (0xAFAA by default). Its two
/// values are not stored in files. Owned by the X1D reader or writer; not thread-safe: one
/// thread at a time.
class VAnalogueSourceSetHeader final : public ICustomHeader
{
public:
    static constexpr std::uint16_t kHeaderId = 0;
    static constexpr std::uint16_t kHeaderFormatId = 0xAFAC;
    static constexpr std::uint16_t kSetFormatId = 0xAFAB;
    static constexpr std::uint16_t kSourceFormatId = 0xAFAA;
    static constexpr std::uint16_t kKeySets = 0x0A0A;
    static constexpr std::uint32_t kDefaultFirstValue = 135000000;

    VAnalogueSourceSetHeader();

    std::uint16_t GetHeaderId() const override { return kHeaderId; }
    bool Read(IBinaryInputStream& stream) override;
    bool Write(IBinaryOutputStream& stream) const override;

    const std::vector<VAnalogueSourceSetSpec>& GetSets() const { return m_Sets; }
    void SetSets(std::vector<VAnalogueSourceSetSpec> sets) { m_Sets = std::move(sets); }
    /// 135000000: the clock rate of the sync unit's time fields.
    std::uint32_t GetFirstValue() const { return m_FirstValue; }
    /// 0.
    std::uint32_t GetSecondValue() const { return m_SecondValue; }

    /// The format with which Write encodes each set (keys it lacks are not written).
    void SetRecordFormat(VDataFormatInfo format) { m_SetFormat = std::move(format); }
    /// The format with which Write encodes each source.
    void SetSourceFormat(VDataFormatInfo format) { m_SourceFormat = std::move(format); }
    static VDataFormatInfo DefaultSetFormat();
    static VDataFormatInfo DefaultSourceFormat();

private:
    bool ReadSets(IBinaryInputStream& stream);
    bool ReadSet(IBinaryInputStream& stream, VAnalogueSourceSetSpec& set);
    bool ReadSources(IBinaryInputStream& stream, std::vector<VAnalogueSourceSpec>& sources);
    bool WriteSet(IBinaryOutputStream& stream, const VAnalogueSourceSetSpec& set) const;

    std::uint32_t m_FirstValue = kDefaultFirstValue;
    std::uint32_t m_SecondValue = 0;
    std::vector<VAnalogueSourceSetSpec> m_Sets;
    VDataFormatInfo m_SetFormat;
    VDataFormatInfo m_SourceFormat;
};
