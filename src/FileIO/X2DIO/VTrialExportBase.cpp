#include "FileIO/X2DIO/VTrialExportBase.h"

#include <limits>

namespace
{
constexpr std::uint16_t kFrameTag = 0xFFFF;

bool FitsI32(std::uint64_t value)
{
    return value <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max());
}
} // namespace

bool VTrialExportBase::OpenFile(const std::string& path, std::uint32_t bufferMiB, bool offsets64,
                                bool indexOffsets64, bool writeIndex)
{
    m_Stream = std::make_unique<ofstream64>(bufferMiB);
    m_Index.Clear();
    m_Index.Set64BitOffsets(indexOffsets64);
    m_Offsets64 = offsets64;
    m_WriteIndex = writeIndex;
    m_FrameCountPosition = 0;
    m_IndexOffsetPosition = 0;
    m_DataOffsetPosition = 0;
    m_DataOffset = kNoOffset;
    m_IndexPosition = kNoOffset;
    m_Error.clear();
    if (!m_Stream->Open(path))
    {
        return Fail("Cannot create the file " + path + ".");
    }
    return true;
}

bool VTrialExportBase::Fail(const std::string& error)
{
    if (m_Error.empty())
    {
        m_Error = error;
    }
    return false;
}

void VTrialExportBase::WriteItemHeader(std::uint16_t tag, std::uint32_t length)
{
    m_Stream->WriteU16(tag);
    m_Stream->WriteU32(length);
}

void VTrialExportBase::WriteU32Item(std::uint16_t tag, std::uint32_t value)
{
    WriteItemHeader(tag, 4);
    m_Stream->WriteU32(value);
}

std::uint64_t VTrialExportBase::WriteOffsetItem(std::uint16_t tag, std::uint64_t offset)
{
    WriteItemHeader(tag, m_Offsets64 ? 8 : 4);
    const std::uint64_t position = m_Stream->Tell();
    if (m_Offsets64)
    {
        m_Stream->WriteU64(offset);
    }
    else
    {
        // All bits set stays all bits set (-1) in the narrow form.
        m_Stream->WriteI32(static_cast<std::int32_t>(static_cast<std::uint32_t>(offset)));
    }
    return position;
}

void VTrialExportBase::WriteFormats(std::uint16_t tag, const std::vector<VDataFormatInfo>& formats)
{
    for (const VDataFormatInfo& format : formats)
    {
        VMemoryOutputStream bytes;
        format.Write(bytes);
        WriteItemHeader(tag, static_cast<std::uint32_t>(bytes.GetBytes().size()));
        m_Stream->Write(bytes.GetBytes().data(), bytes.GetBytes().size());
    }
}

bool VTrialExportBase::WriteCustomBlock(const ICustomHeader& header)
{
    VMemoryOutputStream content;
    if (!header.Write(content))
    {
        return Fail("Cannot encode custom header " + std::to_string(header.GetHeaderId()) + ".");
    }
    return WriteRawBlock(VRawHeaderBlock{header.GetHeaderId(), content.GetBytes()});
}

bool VTrialExportBase::WriteRawBlock(const VRawHeaderBlock& block)
{
    if (block.Content.size() > std::numeric_limits<std::uint32_t>::max())
    {
        return Fail("A custom header block is larger than 4 GiB.");
    }
    m_Stream->WriteU16(block.HeaderId);
    m_Stream->WriteU32(static_cast<std::uint32_t>(block.Content.size()));
    return m_Stream->Write(block.Content.data(), block.Content.size());
}

bool VTrialExportBase::BeginData()
{
    m_DataOffset = m_Stream->Tell();
    if (!m_Offsets64 && !FitsI32(m_DataOffset))
    {
        return Fail("The header is too large for this file version.");
    }
    return Patch(m_DataOffsetPosition, m_DataOffset, m_Offsets64 ? 8 : 4);
}

bool VTrialExportBase::Patch(std::uint64_t position, std::uint64_t value, std::size_t width)
{
    const std::uint64_t end = m_Stream->Size();
    const bool patched =
        m_Stream->Seek(position) && m_Stream->WriteUnsigned(value, width) && m_Stream->Seek(end);
    return patched || Fail("Cannot write the file.");
}

bool VTrialExportBase::SkipTo(std::uint64_t position)
{
    if (!IsOpen() || Failed())
    {
        return false;
    }
    if (position < m_Stream->Tell())
    {
        return Fail("Cannot move back to an earlier position.");
    }
    if (!m_Stream->Extend(position) || !m_Stream->Seek(position))
    {
        return Fail("Cannot extend the file.");
    }
    return true;
}

bool VTrialExportBase::WriteFrameRecord(std::uint32_t frameNumber,
                                        const std::vector<std::uint8_t>& body)
{
    if (!IsOpen() || Failed())
    {
        return false;
    }
    const std::uint64_t position = m_Stream->Tell();
    if (!m_Index.Has64BitOffsets() && !FitsI32(position))
    {
        return Fail("The file is too large for this file version's index.");
    }
    if (!FitsI32(body.size()))
    {
        return Fail("A frame record is larger than 2 GiB.");
    }
    m_Stream->WriteU16(kFrameTag);
    m_Stream->WriteI32(static_cast<std::int32_t>(body.size()));
    m_Stream->WriteU32(frameNumber);
    if (!m_Stream->Write(body.data(), body.size()))
    {
        return Fail("Cannot write the file.");
    }
    m_Index.Add(frameNumber, position);
    return true;
}

bool VTrialExportBase::Close()
{
    if (!IsOpen())
    {
        return false;
    }
    if (!Failed())
    {
        if (m_WriteIndex)
        {
            m_IndexPosition = m_Stream->Tell();
            if (!m_Offsets64 && !FitsI32(m_IndexPosition))
            {
                Fail("The file is too large for this file version.");
            }
            else if (!m_Index.Write(*m_Stream))
            {
                Fail("Cannot write the index table.");
            }
            else
            {
                Patch(m_IndexOffsetPosition, m_IndexPosition, m_Offsets64 ? 8 : 4);
            }
        }
        Patch(m_FrameCountPosition, m_Index.Count(), 4);
    }
    if (!m_Stream->Finish())
    {
        Fail("Cannot write the file.");
    }
    return !Failed();
}

std::uint64_t VTrialExportBase::BeginDeviceRecord(VMemoryOutputStream& out, std::uint32_t deviceId)
{
    out.WriteU16(kDeviceTag);
    const std::uint64_t lengthPosition = out.Tell();
    out.WriteI32(0);
    out.WriteU32(deviceId);
    return lengthPosition;
}

std::uint64_t VTrialExportBase::BeginBlock(VMemoryOutputStream& out, std::uint16_t formatId)
{
    out.WriteU16(formatId);
    const std::uint64_t lengthPosition = out.Tell();
    out.WriteI32(0);
    out.WriteU32(0);
    return lengthPosition;
}

bool VTrialExportBase::EndDeviceRecord(VMemoryOutputStream& out, std::uint64_t lengthPosition)
{
    const std::uint64_t end = out.Tell();
    const std::uint64_t length = end - (lengthPosition + 8);
    if (!FitsI32(length))
    {
        return false;
    }
    return out.Seek(lengthPosition) && out.WriteI32(static_cast<std::int32_t>(length)) &&
           out.Seek(end);
}

bool VTrialExportBase::EndBlock(VMemoryOutputStream& out, std::uint64_t lengthPosition,
                                std::uint32_t itemCount)
{
    const std::uint64_t end = out.Tell();
    const std::uint64_t length = end - (lengthPosition + 8);
    if (!FitsI32(length))
    {
        return false;
    }
    return out.Seek(lengthPosition) && out.WriteI32(static_cast<std::int32_t>(length)) &&
           out.WriteU32(itemCount) && out.Seek(end);
}
