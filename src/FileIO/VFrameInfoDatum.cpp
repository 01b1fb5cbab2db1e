#include "FileIO/VFrameInfoDatum.h"

std::uint32_t VFrameInfoDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood() || !SkipField(stream, field))
        {
            break;
        }
    }
    return 0;
}

bool VFrameInfoDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    for (const VDataFormatField& field : fields)
    {
        WriteUnknownField(stream, field);
    }
    return stream.IsGood();
}
