#include "FileIO/VAnalogueBlockDatum.h"

#include <limits>

std::uint32_t VAnalogueBlockDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        if (field.Key != kKeyBytes)
        {
            if (!SkipField(stream, field))
            {
                break;
            }
            continue;
        }
        std::uint32_t length = 0;
        std::uint32_t byteCount = 0;
        if (!stream.ReadU32(length) || !stream.ReadU32(byteCount) || !stream.Require(byteCount))
        {
            break;
        }
        m_Bytes.resize(byteCount);
        if (byteCount > 0 && !stream.Read(m_Bytes.data(), byteCount))
        {
            break;
        }
        if (m_Destination != nullptr)
        {
            m_Destination->SetData(
                IAnalogueBlockData{byteCount > 0 ? m_Bytes.data() : nullptr, byteCount});
        }
        ++decoded;
    }
    return stream.IsGood() ? decoded : 0;
}

bool VAnalogueBlockDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    const IAnalogueBlockData& block = *m_Destination->GetData();
    const std::uint32_t size = block.Data != nullptr ? block.Size : 0;
    for (const VDataFormatField& field : fields)
    {
        if (field.Key != kKeyBytes)
        {
            WriteUnknownField(stream, field);
            continue;
        }
        if (std::uint64_t{size} + 8 > std::numeric_limits<std::uint32_t>::max())
        {
            return false;
        }
        stream.WriteU32(size + 8);
        stream.WriteU32(size);
        stream.Write(block.Data, size);
    }
    return stream.IsGood();
}
