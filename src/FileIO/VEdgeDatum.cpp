#include "FileIO/VEdgeDatum.h"

namespace
{
std::uint16_t* CoordOf(IEdgePairData& data, std::uint16_t key)
{
    switch (key)
    {
    case VEdgeDatum::kKeyCoord0:
        return &data.Coord0;
    case VEdgeDatum::kKeyCoord1:
        return &data.Coord1;
    case VEdgeDatum::kKeyCoord2:
        return &data.Coord2;
    default:
        return nullptr;
    }
}
} // namespace

std::uint32_t VEdgeDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    IEdgePairData& data = m_Destination != nullptr ? *m_Destination : m_Scratch;
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        std::uint16_t* coord = CoordOf(data, field.Key);
        if (coord == nullptr)
        {
            if (!SkipField(stream, field))
            {
                break;
            }
            continue;
        }
        if (!stream.ReadU16(*coord))
        {
            break;
        }
        ++decoded;
    }
    return decoded;
}

bool VEdgeDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    IEdgePairData data = *m_Destination;
    for (const VDataFormatField& field : fields)
    {
        if (const std::uint16_t* coord = CoordOf(data, field.Key))
        {
            stream.WriteU16(*coord);
            continue;
        }
        WriteUnknownField(stream, field);
    }
    return stream.IsGood();
}
