#include "FileIO/VCameraFrameInfoDatum.h"

std::uint32_t VCameraFrameInfoDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    std::uint8_t& infoByte = m_Destination != nullptr ? *m_Destination : m_Scratch;
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        if (field.Key != kKeyInfoByte)
        {
            if (!SkipField(stream, field))
            {
                break;
            }
            continue;
        }
        if (!stream.ReadU8(infoByte))
        {
            break;
        }
        ++decoded;
    }
    return decoded;
}

bool VCameraFrameInfoDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    for (const VDataFormatField& field : fields)
    {
        if (field.Key == kKeyInfoByte)
        {
            stream.WriteU8(*m_Destination);
            continue;
        }
        WriteUnknownField(stream, field);
    }
    return stream.IsGood();
}
