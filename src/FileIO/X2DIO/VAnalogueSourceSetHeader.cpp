#include "FileIO/X2DIO/VAnalogueSourceSetHeader.h"

#include "FileIO/VMemoryBinaryStream.h"
#include "FileIO/X2DIO/HeaderFields.h"

#include <string>

namespace
{
using Set = VAnalogueSourceSetSpec;

/// Writes `bytes` as a variable value: u32 total length (counting itself), then the bytes.
bool WriteVariable(IBinaryOutputStream& stream, const VMemoryOutputStream& value)
{
    const std::vector<std::uint8_t>& bytes = value.GetBytes();
    if (!value.IsGood() || bytes.size() > 0xFFFFFFFFu - 4)
    {
        return false;
    }
    stream.WriteU32(static_cast<std::uint32_t>(bytes.size() + 4));
    return stream.Write(bytes.data(), bytes.size());
}

bool ReadText(IBinaryInputStream& stream, VStringStd& text)
{
    return HeaderFields::ReadText(stream, text.Str());
}

/// The real that `key` selects in `set` (const or not), or null for other keys.
template <typename SetType> auto RealOf(SetType& set, std::uint16_t key) -> decltype(&set.Reals[0])
{
    switch (key)
    {
    case Set::kKeyRealA:
        return &set.Reals[0];
    case Set::kKeyRealB:
        return &set.Reals[1];
    case Set::kKeyRealC:
        return &set.Reals[2];
    default:
        return nullptr;
    }
}
} // namespace

VAnalogueSourceSetHeader::VAnalogueSourceSetHeader()
    : m_SetFormat(DefaultSetFormat()), m_SourceFormat(DefaultSourceFormat())
{
}

VDataFormatInfo VAnalogueSourceSetHeader::DefaultSetFormat()
{
    VDataFormatInfo format(kSetFormatId);
    format.AddField(Set::kKeyValue, 4);
    format.AddField(Set::kKeyFirstText, VDataFormatField::kVariableSize);
    format.AddField(Set::kKeySecondText, VDataFormatField::kVariableSize);
    format.AddField(Set::kKeyRealA, 8);
    format.AddField(Set::kKeyRealB, 8);
    format.AddField(Set::kKeyRealC, 8);
    format.AddField(Set::kKeySources, VDataFormatField::kVariableSize);
    return format;
}

VDataFormatInfo VAnalogueSourceSetHeader::DefaultSourceFormat()
{
    VDataFormatInfo format(kSourceFormatId);
    format.AddField(VAnalogueSourceSpec::kKeyValue, 4);
    return format;
}

bool VAnalogueSourceSetHeader::Read(IBinaryInputStream& stream)
{
    VDataFormatInfo format;
    if (!format.Read(stream))
    {
        return false;
    }
    for (const VDataFormatField& field : format.GetFields())
    {
        const bool read =
            field.Key == kKeySets ? ReadSets(stream) : HeaderFields::SkipField(stream, field);
        if (!read)
        {
            return false;
        }
    }
    return true;
}

bool VAnalogueSourceSetHeader::ReadSets(IBinaryInputStream& stream)
{
    std::uint32_t totalLength = 0; // counts itself; the sets are read by their own formats
    std::uint32_t count = 0;
    // Each set starts with its format: at least a u16 identifier and a u32 field count.
    if (!stream.ReadU32(totalLength) || !stream.ReadU32(count) ||
        !stream.Require(std::uint64_t{count} * 6))
    {
        return false;
    }
    std::vector<VAnalogueSourceSetSpec> sets;
    bool complete = true;
    for (std::uint32_t i = 0; i < count && complete; ++i)
    {
        VAnalogueSourceSetSpec set;
        complete = ReadSet(stream, set);
        if (complete)
        {
            sets.push_back(std::move(set));
        }
    }
    m_Sets = std::move(sets);
    return complete;
}

bool VAnalogueSourceSetHeader::ReadSet(IBinaryInputStream& stream, VAnalogueSourceSetSpec& set)
{
    VDataFormatInfo format;
    if (!format.Read(stream))
    {
        return false;
    }
    for (const VDataFormatField& field : format.GetFields())
    {
        bool read = false;
        if (double* real = RealOf(set, field.Key))
        {
            read = stream.ReadF64(*real);
        }
        else if (field.Key == Set::kKeyValue)
        {
            read = stream.ReadU32(set.Value);
        }
        else if (field.Key == Set::kKeyFirstText)
        {
            read = ReadText(stream, set.FirstText);
        }
        else if (field.Key == Set::kKeySecondText)
        {
            read = ReadText(stream, set.SecondText);
        }
        else if (field.Key == Set::kKeySources)
        {
            read = ReadSources(stream, set.Sources);
        }
        else
        {
            read = HeaderFields::SkipField(stream, field);
        }
        if (!read)
        {
            return false;
        }
    }
    return true;
}

bool VAnalogueSourceSetHeader::ReadSources(IBinaryInputStream& stream,
                                           std::vector<VAnalogueSourceSpec>& sources)
{
    std::uint32_t totalLength = 0; // not used
    VDataFormatInfo format;
    std::uint32_t count = 0;
    if (!stream.ReadU32(totalLength) || !format.Read(stream) || !stream.ReadU32(count))
    {
        return false;
    }
    std::uint64_t recordBytes = 0;
    for (const VDataFormatField& field : format.GetFields())
    {
        recordBytes +=
            HeaderFields::MinimumBytes(field, field.Key == VAnalogueSourceSpec::kKeyValue ? 4 : 0);
    }
    // A record of no bytes still counts one, so the count stays within the block.
    if (!stream.Require(std::uint64_t{count} * (recordBytes > 0 ? recordBytes : 1)))
    {
        return false;
    }
    sources.clear();
    sources.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        VAnalogueSourceSpec source;
        for (const VDataFormatField& field : format.GetFields())
        {
            const bool read = field.Key == VAnalogueSourceSpec::kKeyValue
                                  ? stream.ReadU32(source.Value)
                                  : HeaderFields::SkipField(stream, field);
            if (!read)
            {
                return false;
            }
        }
        sources.push_back(source);
    }
    return true;
}

bool VAnalogueSourceSetHeader::Write(IBinaryOutputStream& stream) const
{
    VDataFormatInfo format(kHeaderFormatId);
    format.AddField(kKeySets, VDataFormatField::kVariableSize);
    format.Write(stream);
    VMemoryOutputStream sets;
    sets.WriteU32(static_cast<std::uint32_t>(m_Sets.size()));
    for (const VAnalogueSourceSetSpec& set : m_Sets)
    {
        if (!WriteSet(sets, set))
        {
            return false;
        }
    }
    return WriteVariable(stream, sets);
}

bool VAnalogueSourceSetHeader::WriteSet(IBinaryOutputStream& stream,
                                        const VAnalogueSourceSetSpec& set) const
{
    m_SetFormat.Write(stream);
    for (const VDataFormatField& field : m_SetFormat.GetFields())
    {
        if (const double* real = RealOf(set, field.Key))
        {
            stream.WriteF64(*real);
        }
        else if (field.Key == Set::kKeyValue)
        {
            stream.WriteU32(set.Value);
        }
        else if (field.Key == Set::kKeyFirstText)
        {
            HeaderFields::WriteText(stream, set.FirstText.Str());
        }
        else if (field.Key == Set::kKeySecondText)
        {
            HeaderFields::WriteText(stream, set.SecondText.Str());
        }
        else if (field.Key == Set::kKeySources)
        {
            VMemoryOutputStream sources;
            m_SourceFormat.Write(sources);
            sources.WriteU32(static_cast<std::uint32_t>(set.Sources.size()));
            for (const VAnalogueSourceSpec& source : set.Sources)
            {
                for (const VDataFormatField& sourceField : m_SourceFormat.GetFields())
                {
                    if (sourceField.Key == VAnalogueSourceSpec::kKeyValue)
                    {
                        sources.WriteU32(source.Value);
                        continue;
                    }
                    HeaderFields::WriteEmptyField(sources, sourceField);
                }
            }
            WriteVariable(stream, sources);
        }
        else
        {
            HeaderFields::WriteEmptyField(stream, field);
        }
    }
    return stream.IsGood();
}
