#include "FileIO/VCentroidTrackDatum.h"

std::uint32_t VCentroidTrackDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    ICentroidTrackData& data = m_Destination != nullptr ? *m_Destination : m_Scratch;
    data = ICentroidTrackData{};
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        bool ok = true;
        switch (field.Key)
        {
        case kKeyId:
            ok = stream.ReadI64(data.Id);
            break;
        case kKeyLength:
            ok = stream.ReadU32(data.Length);
            break;
        case kKeyConfidence:
            ok = stream.ReadF32(data.Confidence);
            break;
        default:
            if (!SkipField(stream, field))
            {
                return stream.IsGood() ? decoded : 0;
            }
            continue;
        }
        if (!ok)
        {
            break;
        }
        ++decoded;
    }
    return stream.IsGood() ? decoded : 0;
}

VDatumBase::EPlanStep VCentroidTrackDatum::PlanField(const VDataFormatField& field,
                                                     std::uint64_t& offset,
                                                     std::vector<VPlannedField>& plan) const
{
    std::uint32_t width = 0;
    switch (field.Key)
    {
    case kKeyId:
        width = 8;
        break;
    case kKeyLength:
    case kKeyConfidence:
        width = 4;
        break;
    default:
        return EPlanStep::Unknown;
    }
    plan.push_back({static_cast<std::uint32_t>(offset), width,
                    static_cast<std::uint32_t>(field.Key - kKeyId), 0.0});
    offset += width;
    return EPlanStep::Known;
}

void VCentroidTrackDatum::ReadPlanned(const std::uint8_t* item, ICentroidTrackData& data) const
{
    data = ICentroidTrackData{};
    for (const VPlannedField& field : Plan())
    {
        const std::uint8_t* bytes = item + field.Offset;
        switch (field.Slot)
        {
        case 0:
            data.Id = LittleEndian::LoadI64(bytes);
            break;
        case 1:
            data.Length = LittleEndian::LoadU32(bytes);
            break;
        default:
            data.Confidence = LittleEndian::LoadF32(bytes);
            break;
        }
    }
}

bool VCentroidTrackDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    const ICentroidTrackData& data = *m_Destination;
    for (const VDataFormatField& field : fields)
    {
        switch (field.Key)
        {
        case kKeyId:
            stream.WriteI64(data.Id);
            break;
        case kKeyLength:
            stream.WriteU32(data.Length);
            break;
        case kKeyConfidence:
            stream.WriteF32(data.Confidence);
            break;
        default:
            WriteUnknownField(stream, field);
            break;
        }
    }
    return stream.IsGood();
}
