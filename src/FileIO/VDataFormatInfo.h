// The description of one kind of item record in a trial file: a format identifier and the
// ordered field list whose fields, concatenated, make up each item's bytes.
#pragma once

#include "FileIO/IBinaryStream.h"

#include <cstdint>
#include <vector>

/// One field of an item record.
struct VDataFormatField
{
    /// Size value of a field whose bytes start with their own u32 length (which counts
    /// those 4 bytes too).
    static constexpr std::uint32_t kVariableSize = 0xFFFFFFFF;

    std::uint16_t Key = 0;
    /// Bytes of the field in each item, or kVariableSize.
    std::uint32_t Size = 0;
    /// Field parameters, for example the f32 scale of a centroid coordinate.
    std::vector<std::uint8_t> Parameters;

    bool IsVariable() const { return Size == kVariableSize; }
    bool operator==(const VDataFormatField&) const = default;
};

/// The field list of a format, in item order.
using VDataFieldList = std::vector<VDataFormatField>;

/// A data format: identifier plus field list. A value type, copied freely; the default
/// formats of the holders are shared constants (DefaultFormats.h).
///
/// On disk: u16 FormatId, u32 FieldCount, then per field u16 Key, u32 Size, u32 ParamLength
/// and ParamLength parameter bytes, all little-endian.
/// Not thread-safe for writing; const use from several threads is fine.
class VDataFormatInfo
{
public:
    VDataFormatInfo() = default;
    explicit VDataFormatInfo(std::uint16_t formatId) : m_FormatId(formatId) {}

    std::uint16_t GetFormatId() const { return m_FormatId; }
    void SetFormatId(std::uint16_t formatId) { m_FormatId = formatId; }

    const VDataFieldList& GetFields() const { return m_Fields; }
    VDataFieldList& GetFields() { return m_Fields; }

    /// Appends a field with raw parameter bytes.
    void AddField(std::uint16_t key, std::uint32_t size, std::vector<std::uint8_t> parameters = {});
    /// Appends a field whose parameters are one little-endian f32 (a centroid scale).
    void AddFieldWithScale(std::uint16_t key, std::uint32_t size, float scale);
    /// Appends a field whose parameters are one little-endian u32 (a padding bit count).
    void AddFieldWithU32(std::uint16_t key, std::uint32_t size, std::uint32_t parameter);

    /// Replaces this format with the one at the stream position. Counts and parameter lengths
    /// are checked against the bytes remaining before anything is allocated; on a short or
    /// impossible format the stream fails, false is returned and this object is left
    /// unchanged.
    bool Read(IBinaryInputStream& stream);
    /// Writes the on-disk form; false when the stream failed.
    bool Write(IBinaryOutputStream& stream) const;

    bool operator==(const VDataFormatInfo&) const = default;

private:
    std::uint16_t m_FormatId = 0;
    VDataFieldList m_Fields;
};
