#include "FileIO/X2DIO/VTrialImportBase.h"

#include "FileIO/X2DIO/VBoundedInputStream.h"

#include <algorithm>
#include <cstdio>

VTrialImportBase::VTrialImportBase(std::uint32_t bufferMiB) : m_Stream(bufferMiB) {}

bool VTrialImportBase::Open(const std::string& path)
{
    m_Errors.clear();
    m_Index.Clear();
    m_Index.Set64BitOffsets(true);
    m_Version = 0;
    m_DeviceCount = 0;
    m_FrameCount = 0;
    m_FrameNumber = 0;
    m_DeviceId = 0;
    m_IndexOffsetPosition = 0;
    m_FrameCountPosition = 0;
    m_IndexOffset = kNoOffset;
    m_DataOffset = kNoOffset;
    m_Formats.clear();
    m_HeaderBlocks.clear();
    m_IndexRebuilt = false;
    m_HoldersMatched = false;
    if (!m_Stream.Open(path))
    {
        // A file that cannot be opened fails without a message; one that opened but is no
        // regular file (a FIFO that would have blocked the open) says why.
        if (!m_Stream.GetOpenError().empty())
        {
            m_Errors.push_back("cannot open " + path + ": " + m_Stream.GetOpenError());
        }
        return false;
    }
    return m_Stream.Seek(0);
}

void VTrialImportBase::AddCustomHeader(ICustomHeader* header)
{
    if (header != nullptr)
    {
        m_CustomHeaders.push_back(header);
    }
}

void VTrialImportBase::AddDataHolder(IDataHolder* holder)
{
    if (holder != nullptr)
    {
        m_Holders.push_back(holder);
        m_HoldersMatched = false;
    }
}

ICustomHeader* VTrialImportBase::GetCustomHeader(std::uint16_t headerId) const
{
    for (ICustomHeader* header : m_CustomHeaders)
    {
        if (header->GetHeaderId() == headerId)
        {
            return header;
        }
    }
    return nullptr;
}

void VTrialImportBase::ReportError(const std::string& message)
{
    m_Errors.push_back(message);
}

void VTrialImportBase::ReportErrorF(const char* format, long long value)
{
    char text[128];
    std::snprintf(text, sizeof(text), format, value);
    ReportError(text);
}

bool VTrialImportBase::SkipItemHeader()
{
    std::uint16_t tag = 0;
    return ReadItemHeader(tag);
}

bool VTrialImportBase::ReadItemHeader(std::uint16_t& tag)
{
    std::uint32_t length = 0;
    return m_Stream.ReadU16(tag) && m_Stream.ReadU32(length);
}

void VTrialImportBase::ReadFormats(std::uint32_t formatCount)
{
    // Each format takes at least its item header and 6 bytes, so a failed stream ends the
    // loop long before a large count could matter.
    for (std::uint32_t i = 0; i < formatCount && m_Stream.IsGood(); ++i)
    {
        VDataFormatInfo format;
        if (SkipItemHeader() && format.Read(m_Stream))
        {
            m_Formats.push_back(std::move(format));
        }
    }
    m_HoldersMatched = false;
}

void VTrialImportBase::ReadCustomHeaders()
{
    while (m_Stream.Tell() < m_DataOffset && m_Stream.IsGood())
    {
        std::uint16_t headerId = 0;
        std::uint32_t length = 0;
        if (!m_Stream.ReadU16(headerId) || !m_Stream.ReadU32(length))
        {
            break;
        }
        m_HeaderBlocks.push_back(VCustomHeaderBlock{headerId, length});
        const std::uint64_t blockEnd = m_Stream.Tell() + length;
        if (ICustomHeader* header = GetCustomHeader(headerId))
        {
            VBoundedInputStream content(m_Stream, blockEnd);
            header->Read(content);
        }
        if (!m_Stream.Seek(blockEnd))
        {
            break;
        }
    }
    m_Stream.ClearErrors();
}

bool VTrialImportBase::ReadIndex(bool offsets64)
{
    const std::uint64_t back = m_Stream.Tell();
    m_Index.Set64BitOffsets(offsets64);
    bool found = false;
    if (m_IndexOffset != kNoOffset)
    {
        m_Stream.Seek(m_IndexOffset);
        found = m_Stream.IsGood() && !m_Stream.AtEnd() && m_Index.Read(m_Stream);
    }
    if (!found)
    {
        m_Index.Clear();
        ReportError("Could not find the index table in the file.");
    }
    m_Stream.ClearErrors();
    m_Stream.Seek(back);
    return found;
}

void VTrialImportBase::RebuildIndex()
{
    m_Index.Clear();
    const std::uint64_t start = m_Stream.Tell();
    std::uint64_t position = m_DataOffset;
    while (m_Stream.Seek(position) && !m_Stream.AtEnd())
    {
        std::uint16_t tag = 0;
        std::int32_t length = 0;
        std::uint32_t frameNumber = 0;
        if (!m_Stream.ReadU16(tag) || !m_Stream.ReadI32(length) || !m_Stream.ReadU32(frameNumber))
        {
            break;
        }
        if (tag < kFrameTag || length < 0)
        {
            break;
        }
        m_Index.Add(frameNumber, position);
        position = m_Stream.Tell() + static_cast<std::uint64_t>(length);
    }
    m_Stream.ClearErrors();
    m_Stream.Seek(start);
    m_FrameCount = m_Index.Count();
    m_IndexRebuilt = true;
}

bool VTrialImportBase::SeekToFrameIndex(std::uint32_t index)
{
    VIndexEntry entry;
    if (!m_Index.GetEntry(index, entry))
    {
        ReportErrorF("There is no frame index %lld in the file.", index);
        return false;
    }
    // A failed seek (an offset beyond the file) fails the stream, so the frame header read
    // that follows reports the frame as unreadable.
    m_Stream.ClearErrors();
    m_Stream.Seek(entry.Offset);
    return true;
}

bool VTrialImportBase::SeekToFrameNumber(std::uint32_t frameNumber)
{
    std::uint32_t index = 0;
    if (!m_Index.FindByFrameNumber(frameNumber, index))
    {
        ReportErrorF("There is no frame number %lld in the file.", frameNumber);
        return false;
    }
    return SeekToFrameIndex(index);
}

bool VTrialImportBase::ReadFrameHeader()
{
    std::uint16_t tag = 0;
    std::int32_t length = 0;
    std::uint32_t frameNumber = 0;
    const bool read =
        m_Stream.ReadU16(tag) && m_Stream.ReadI32(length) && m_Stream.ReadU32(frameNumber);
    // Every device record takes at least its 10-byte header: a frame that cannot hold them
    // would otherwise make the frames grow to any DeviceCount.
    const std::uint64_t room =
        std::min<std::uint64_t>(length > 0 ? length : 0, m_Stream.Remaining());
    if (!read || tag != kFrameTag || length <= 0 ||
        std::uint64_t{m_DeviceCount} * kRecordHeaderBytes > room)
    {
        ReportError("Could not read frame.");
        return false;
    }
    m_FrameNumber = frameNumber;
    return true;
}

const std::vector<IDataHolder*>& VTrialImportBase::HoldersByFormat()
{
    if (!m_HoldersMatched)
    {
        m_HoldersByFormat.assign(m_Formats.size(), nullptr);
        for (std::size_t f = 0; f < m_Formats.size(); ++f)
        {
            for (IDataHolder* holder : m_Holders)
            {
                if (holder->GetFormat().GetFormatId() == m_Formats[f].GetFormatId())
                {
                    m_HoldersByFormat[f] = holder;
                    break;
                }
            }
        }
        m_HoldersMatched = true;
    }
    return m_HoldersByFormat;
}

bool VTrialImportBase::ReadDeviceRecord(bool clear)
{
    if (clear)
    {
        for (IDataHolder* holder : m_Holders)
        {
            holder->Clear();
        }
    }
    std::uint16_t tag = 0;
    std::int32_t recordLength = 0;
    if (!m_Stream.ReadU16(tag) || !m_Stream.ReadI32(recordLength) || !m_Stream.ReadU32(m_DeviceId))
    {
        return false;
    }
    const std::uint64_t recordEnd =
        m_Stream.Tell() + static_cast<std::uint64_t>(recordLength > 0 ? recordLength : 0);
    const std::vector<IDataHolder*>& holders = HoldersByFormat();
    for (std::size_t f = 0; f < m_Formats.size() && m_Stream.IsGood(); ++f)
    {
        std::uint16_t formatId = 0;
        std::int32_t blockLength = 0;
        std::uint32_t itemCount = 0; // written by writers, not needed for reading
        if (!m_Stream.ReadU16(formatId) || !m_Stream.ReadI32(blockLength) ||
            !m_Stream.ReadU32(itemCount))
        {
            break;
        }
        const std::uint64_t blockEnd = m_Stream.Tell() + static_cast<std::uint64_t>(blockLength);
        if (blockLength < 0 || blockEnd > recordEnd)
        {
            m_Stream.Seek(recordEnd);
            break;
        }
        // A block of another format than the header's at its place has no defined meaning:
        // it is skipped.
        IDataHolder* holder = formatId == m_Formats[f].GetFormatId() ? holders[f] : nullptr;
        if (holder != nullptr && holder->KeepsItems())
        {
            const VDataFieldList& fields = m_Formats[f].GetFields();
            holder->ReadItems(m_Stream, fields, blockEnd);
        }
        m_Stream.Seek(blockEnd);
    }
    // Bytes behind the last block (more blocks than the header has formats) are skipped, so
    // the next record starts where this one says it ends.
    if (m_Stream.IsGood() && m_Stream.Tell() < recordEnd)
    {
        m_Stream.Seek(recordEnd);
    }
    return m_Stream.IsGood();
}
