#include "FileIO/VDatumBase.h"

bool VDatumBase::SkipField(IBinaryInputStream& stream, const VDataFormatField& field)
{
    if (!field.IsVariable())
    {
        return stream.Skip(field.Size);
    }
    const std::uint64_t start = stream.Tell();
    std::uint32_t length = 0;
    if (!stream.ReadU32(length))
    {
        return false;
    }
    if (length < 4)
    {
        return Malformed();
    }
    return stream.Seek(start + length);
}

bool VDatumBase::WriteUnknownField(IBinaryOutputStream& stream, const VDataFormatField& field)
{
    if (field.IsVariable())
    {
        return stream.WriteU32(4);
    }
    return stream.WriteZeros(field.Size);
}
