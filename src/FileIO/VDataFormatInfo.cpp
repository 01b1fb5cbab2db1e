#include "FileIO/VDataFormatInfo.h"

#include <utility>

namespace
{
// Key, Size and ParamLength: the least that every field occupies on disk.
constexpr std::uint64_t kFieldHeaderBytes = 2 + 4 + 4;
} // namespace

void VDataFormatInfo::AddField(std::uint16_t key, std::uint32_t size,
                               std::vector<std::uint8_t> parameters)
{
    m_Fields.push_back(VDataFormatField{key, size, std::move(parameters)});
}

void VDataFormatInfo::AddFieldWithScale(std::uint16_t key, std::uint32_t size, float scale)
{
    std::vector<std::uint8_t> parameters(4);
    LittleEndian::StoreF32(parameters.data(), scale);
    AddField(key, size, std::move(parameters));
}

void VDataFormatInfo::AddFieldWithU32(std::uint16_t key, std::uint32_t size,
                                      std::uint32_t parameter)
{
    std::vector<std::uint8_t> parameters(4);
    LittleEndian::StoreU32(parameters.data(), parameter);
    AddField(key, size, std::move(parameters));
}

bool VDataFormatInfo::Read(IBinaryInputStream& stream)
{
    std::uint16_t formatId = 0;
    std::uint32_t fieldCount = 0;
    if (!stream.ReadU16(formatId) || !stream.ReadU32(fieldCount) ||
        !stream.Require(fieldCount * kFieldHeaderBytes))
    {
        return false;
    }
    VDataFieldList fields(fieldCount);
    for (VDataFormatField& field : fields)
    {
        std::uint32_t parameterLength = 0;
        if (!stream.ReadU16(field.Key) || !stream.ReadU32(field.Size) ||
            !stream.ReadU32(parameterLength) || !stream.Require(parameterLength))
        {
            return false;
        }
        field.Parameters.resize(parameterLength);
        if (parameterLength > 0 && !stream.Read(field.Parameters.data(), parameterLength))
        {
            return false;
        }
    }
    m_FormatId = formatId;
    m_Fields = std::move(fields);
    return true;
}

bool VDataFormatInfo::Write(IBinaryOutputStream& stream) const
{
    stream.WriteU16(m_FormatId);
    stream.WriteU32(static_cast<std::uint32_t>(m_Fields.size()));
    for (const VDataFormatField& field : m_Fields)
    {
        stream.WriteU16(field.Key);
        stream.WriteU32(field.Size);
        stream.WriteU32(static_cast<std::uint32_t>(field.Parameters.size()));
        stream.Write(field.Parameters.data(), field.Parameters.size());
    }
    return stream.IsGood();
}
