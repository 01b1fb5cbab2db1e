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

VDatumBase::EPlanStep VEdgeDatum::PlanField(const VDataFormatField& field, std::uint64_t& offset,
                                            std::vector<VPlannedField>& plan) const
{
    if (field.Key < kKeyCoord0 || field.Key > kKeyCoord2)
    {
        return EPlanStep::Unknown;
    }
    plan.push_back({static_cast<std::uint32_t>(offset), 2,
                    static_cast<std::uint32_t>(field.Key - kKeyCoord0), 0.0});
    offset += 2;
    return EPlanStep::Known;
}

void VEdgeDatum::ReadPlanned(const std::uint8_t* item, IEdgePairData& data) const
{
    std::uint16_t* const slots[3] = {&data.Coord0, &data.Coord1, &data.Coord2};
    for (const VPlannedField& field : Plan())
    {
        *slots[field.Slot] = LittleEndian::LoadU16(item + field.Offset);
    }
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
