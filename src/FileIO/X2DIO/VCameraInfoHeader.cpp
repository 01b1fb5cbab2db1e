#include "FileIO/X2DIO/VCameraInfoHeader.h"

#include "FileIO/VMemoryBinaryStream.h"
#include "FileIO/X2DIO/HeaderFields.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace
{
using Record = CameraInfoRecord;

/// Bytes of a known fixed-width key, 4 for the texts' length, 0 for an unknown key.
std::uint64_t KnownWidth(std::uint16_t key)
{
    switch (key)
    {
    case Record::kKeySensorWidth:
    case Record::kKeySensorHeight:
    case Record::kKeyCameraId:
    case Record::kKeyUnsignedAA07:
    case Record::kKeyUnsignedAA09:
    case Record::kKeyTypeName:
    case Record::kKeyGroupsAA10:
    case Record::kKeyTextAA12:
        return 4;
    case Record::kKeyRealAA03:
    case Record::kKeyCameraValue:
        return 8;
    default:
        return 0;
    }
}

/// Reads the numbers of the 0xAA10 text: a count N, then up to N groups of five. Stops at
/// the first token that is not an unsigned 32-bit decimal; an incomplete group is dropped.
std::vector<std::array<std::uint32_t, 5>> ParseGroups(std::string_view text)
{
    std::vector<std::array<std::uint32_t, 5>> groups;
    std::size_t position = 0;
    auto next = [&](std::uint32_t& value)
    {
        while (position < text.size() && std::isspace(static_cast<unsigned char>(text[position])))
        {
            ++position;
        }
        std::size_t end = position;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
        {
            ++end;
        }
        if (end == position)
        {
            return false;
        }
        const auto [stop, error] =
            std::from_chars(text.data() + position, text.data() + end, value);
        const bool whole = error == std::errc() && stop == text.data() + end;
        position = end;
        return whole;
    };
    std::uint32_t count = 0;
    if (!next(count))
    {
        return groups;
    }
    // The text bounds the groups: each takes at least ten characters.
    for (std::uint32_t g = 0; g < count; ++g)
    {
        std::array<std::uint32_t, 5> group = {};
        for (std::uint32_t& value : group)
        {
            if (!next(value))
            {
                return groups;
            }
        }
        groups.push_back(group);
    }
    return groups;
}

std::string FormatGroups(const std::vector<std::array<std::uint32_t, 5>>& groups)
{
    std::string text = std::to_string(groups.size());
    for (const auto& group : groups)
    {
        for (std::uint32_t value : group)
        {
            text += ' ';
            text += std::to_string(value);
        }
    }
    return text;
}
} // namespace

VCameraInfoHeader::VCameraInfoHeader() : m_RecordFormat(DefaultRecordFormat()) {}

VDataFormatInfo VCameraInfoHeader::DefaultRecordFormat()
{
    VDataFormatInfo format(kRecordFormatId);
    format.AddField(Record::kKeySensorWidth, 4);
    format.AddField(Record::kKeySensorHeight, 4);
    format.AddField(Record::kKeyCameraId, 4);
    format.AddField(Record::kKeyRealAA03, 8);
    format.AddField(Record::kKeyUnsignedAA07, 4);
    format.AddField(Record::kKeyTypeName, VDataFormatField::kVariableSize);
    format.AddField(Record::kKeyUnsignedAA09, 4);
    format.AddField(Record::kKeyGroupsAA10, VDataFormatField::kVariableSize);
    format.AddField(Record::kKeyCameraValue, 8);
    format.AddField(Record::kKeyTextAA12, VDataFormatField::kVariableSize);
    return format;
}

bool VCameraInfoHeader::Read(IBinaryInputStream& stream)
{
    VDataFormatInfo format;
    if (!format.Read(stream))
    {
        return false;
    }
    for (const VDataFormatField& field : format.GetFields())
    {
        bool read = false;
        switch (field.Key)
        {
        case kKeySystemFrameRate:
            read = stream.ReadF64(m_SystemFrameRate);
            break;
        case kKeyCameraList:
            read = ReadCameraList(stream);
            break;
        default:
            read = HeaderFields::SkipField(stream, field);
            break;
        }
        if (!read)
        {
            return false;
        }
    }
    return stream.IsGood();
}

bool VCameraInfoHeader::ReadCameraList(IBinaryInputStream& stream)
{
    std::uint32_t totalLength = 0; // counts itself; the list is read by its own format
    VDataFormatInfo format;
    std::uint32_t count = 0;
    if (!stream.ReadU32(totalLength) || !format.Read(stream) || !stream.ReadU32(count))
    {
        return false;
    }
    std::uint64_t recordBytes = 0;
    for (const VDataFormatField& field : format.GetFields())
    {
        recordBytes += HeaderFields::MinimumBytes(field, KnownWidth(field.Key));
    }
    // A record of no bytes at all still counts one, so the count stays within the block.
    if (!stream.Require(std::uint64_t{count} * (recordBytes > 0 ? recordBytes : 1)))
    {
        return false;
    }
    std::vector<CameraInfoRecord> cameras;
    cameras.reserve(count);
    bool complete = true;
    for (std::uint32_t i = 0; i < count && complete; ++i)
    {
        CameraInfoRecord record;
        complete = ReadCameraRecord(stream, format, record);
        if (complete)
        {
            cameras.push_back(std::move(record));
        }
    }
    m_Cameras = std::move(cameras);
    return complete;
}

bool VCameraInfoHeader::ReadCameraRecord(IBinaryInputStream& stream, const VDataFormatInfo& format,
                                         CameraInfoRecord& record)
{
    for (const VDataFormatField& field : format.GetFields())
    {
        bool read = false;
        std::string groups;
        switch (field.Key)
        {
        case Record::kKeySensorWidth:
            read = stream.ReadU32(record.SensorWidth);
            break;
        case Record::kKeySensorHeight:
            read = stream.ReadU32(record.SensorHeight);
            break;
        case Record::kKeyCameraId:
            read = stream.ReadU32(record.CameraId);
            break;
        case Record::kKeyRealAA03:
            read = stream.ReadF64(record.RealAA03);
            break;
        case Record::kKeyUnsignedAA07:
            read = stream.ReadU32(record.UnsignedAA07);
            break;
        case Record::kKeyTypeName:
            read = HeaderFields::ReadText(stream, record.TypeName);
            break;
        case Record::kKeyUnsignedAA09:
            read = stream.ReadU32(record.UnsignedAA09);
            break;
        case Record::kKeyGroupsAA10:
            read = HeaderFields::ReadText(stream, groups);
            record.GroupsAA10 = ParseGroups(groups);
            break;
        case Record::kKeyCameraValue:
            read = stream.ReadF64(record.CameraValue);
            break;
        case Record::kKeyTextAA12:
            read = HeaderFields::ReadText(stream, record.TextAA12);
            break;
        default:
            read = HeaderFields::SkipField(stream, field);
            break;
        }
        if (!read)
        {
            return false;
        }
    }
    return true;
}

bool VCameraInfoHeader::Write(IBinaryOutputStream& stream) const
{
    VDataFormatInfo format(kHeaderFormatId);
    format.AddField(kKeySystemFrameRate, 8);
    format.AddField(kKeyCameraList, VDataFormatField::kVariableSize);
    format.Write(stream);
    stream.WriteF64(m_SystemFrameRate);
    return WriteCameraList(stream);
}

bool VCameraInfoHeader::WriteCameraList(IBinaryOutputStream& stream) const
{
    VMemoryOutputStream list;
    m_RecordFormat.Write(list);
    list.WriteU32(static_cast<std::uint32_t>(m_Cameras.size()));
    for (const CameraInfoRecord& record : m_Cameras)
    {
        for (const VDataFormatField& field : m_RecordFormat.GetFields())
        {
            switch (field.Key)
            {
            case Record::kKeySensorWidth:
                list.WriteU32(record.SensorWidth);
                break;
            case Record::kKeySensorHeight:
                list.WriteU32(record.SensorHeight);
                break;
            case Record::kKeyCameraId:
                list.WriteU32(record.CameraId);
                break;
            case Record::kKeyRealAA03:
                list.WriteF64(record.RealAA03);
                break;
            case Record::kKeyUnsignedAA07:
                list.WriteU32(record.UnsignedAA07);
                break;
            case Record::kKeyTypeName:
                HeaderFields::WriteText(list, record.TypeName);
                break;
            case Record::kKeyUnsignedAA09:
                list.WriteU32(record.UnsignedAA09);
                break;
            case Record::kKeyGroupsAA10:
                HeaderFields::WriteText(list, record.GroupsAA10.empty()
                                                  ? std::string()
                                                  : FormatGroups(record.GroupsAA10));
                break;
            case Record::kKeyCameraValue:
                list.WriteF64(record.CameraValue);
                break;
            case Record::kKeyTextAA12:
                HeaderFields::WriteText(list, record.TextAA12);
                break;
            default:
                HeaderFields::WriteEmptyField(list, field);
                break;
            }
        }
    }
    const std::vector<std::uint8_t>& bytes = list.GetBytes();
    if (!list.IsGood() || bytes.size() > 0xFFFFFFFFu - 4)
    {
        return false;
    }
    stream.WriteU32(static_cast<std::uint32_t>(bytes.size() + 4));
    return stream.Write(bytes.data(), bytes.size());
}
