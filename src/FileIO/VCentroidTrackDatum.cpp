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
