#include "FileIO/X2DIO/HeaderFields.h"

#include <limits>
#include <utility>

namespace HeaderFields
{

bool SkipField(IBinaryInputStream& stream, const VDataFormatField& field)
{
    if (!field.IsVariable())
    {
        return stream.Skip(field.Size);
    }
    std::uint32_t length = 0;
    if (!stream.ReadU32(length))
    {
        return false;
    }
    return length <= 4 || stream.Skip(length - 4);
}

bool ReadText(IBinaryInputStream& stream, std::string& text)
{
    text.clear();
    std::uint32_t length = 0;
    if (!stream.ReadU32(length))
    {
        return false;
    }
    if (length <= 4)
    {
        return true;
    }
    const std::uint64_t count = length - 4;
    if (!stream.Require(count))
    {
        return false;
    }
    std::string read(static_cast<std::size_t>(count), '\0');
    if (!stream.Read(read.data(), count))
    {
        return false;
    }
    text = std::move(read);
    return true;
}

bool WriteText(IBinaryOutputStream& stream, const std::string& text)
{
    if (text.size() > std::numeric_limits<std::uint32_t>::max() - 4)
    {
        return false;
    }
    stream.WriteU32(static_cast<std::uint32_t>(text.size() + 4));
    return stream.Write(text.data(), text.size());
}

std::uint64_t MinimumBytes(const VDataFormatField& field, std::uint64_t knownWidth)
{
    if (knownWidth > 0)
    {
        return knownWidth;
    }
    return field.IsVariable() ? 4 : field.Size;
}

bool WriteEmptyField(IBinaryOutputStream& stream, const VDataFormatField& field)
{
    if (field.IsVariable())
    {
        return stream.WriteU32(4);
    }
    return stream.WriteZeros(field.Size);
}

} // namespace HeaderFields
