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

VDatumBase::EPlanStep VDatumBase::PlanField(const VDataFormatField&, std::uint64_t&,
                                            std::vector<VPlannedField>&) const
{
    return EPlanStep::NoPlan;
}

std::uint64_t VDatumBase::PrepareItemPlan(const VDataFieldList& fields)
{
    if (m_PlanMade && fields == m_PlanFields)
    {
        return m_PlanBytes;
    }
    constexpr std::uint64_t kMaxPlannedBytes = std::uint64_t{1} << 24;
    m_Plan.clear();
    std::uint64_t offset = 0;
    bool planned = true;
    for (const VDataFormatField& field : fields)
    {
        const EPlanStep step = PlanField(field, offset, m_Plan);
        if (step == EPlanStep::Unknown && !field.IsVariable())
        {
            offset += field.Size;
        }
        else if (step != EPlanStep::Known)
        {
            planned = false;
            break;
        }
        if (offset >= kMaxPlannedBytes)
        {
            planned = false;
            break;
        }
    }
    m_PlanFields = fields;
    m_PlanBytes = planned ? offset : 0;
    m_PlanMade = true;
    if (m_PlanBytes == 0)
    {
        m_Plan.clear();
    }
    return m_PlanBytes;
}
