#include "FileIO/X2DIO/VStartTimecodeHeader.h"

#include "FileIO/VDataFormatInfo.h"
#include "FileIO/X2DIO/HeaderFields.h"

bool VStartTimecodeHeader::Read(IBinaryInputStream& stream)
{
    VDataFormatInfo format;
    if (!format.Read(stream))
    {
        return false;
    }
    for (const VDataFormatField& field : format.GetFields())
    {
        const bool read = field.Key == kKeyTimecodeText ? HeaderFields::ReadText(stream, m_Text)
                                                        : HeaderFields::SkipField(stream, field);
        if (!read)
        {
            return false;
        }
    }
    return true;
}

bool VStartTimecodeHeader::Write(IBinaryOutputStream& stream) const
{
    VDataFormatInfo format(kFormatId);
    format.AddField(kKeyTimecodeText, VDataFormatField::kVariableSize);
    format.Write(stream);
    return HeaderFields::WriteText(stream, m_Text);
}
