#include "FileIO/X2DIO/VX2DImportImpl.h"

#include "lumen/Log.h"

VX2DImportImpl::VX2DImportImpl(std::uint32_t bufferMiB) : VTrialImportBase(bufferMiB) {}

void VX2DImportImpl::ReportError(const std::string& message)
{
    ZEL_LOG("X2DImport", 4, "%s", message.c_str());
    VTrialImportBase::ReportError(message);
}

bool VX2DImportImpl::ReadHeader(bool rebuildIndex)
{
    m_FrameInfoHolder.reset();
    m_FrameInfoFormat = VDataFormatInfo();
    if (!m_Stream.Seek(0) || m_Stream.Tell() != 0)
    {
        return false;
    }
    std::uint32_t version = 0;
    if (!m_Stream.ReadU32(version) || version == kOldFormatSignature)
    {
        return false;
    }
    m_Version = static_cast<std::int32_t>(version);
    if (m_Version > kNewestVersion)
    {
        ReportErrorF("Cannot read X2D files of version %lld.", m_Version);
        return false;
    }
    const bool offsets64 = m_Version >= 3;

    SkipItemHeader();
    m_Stream.ReadU32(m_DeviceCount);
    SkipItemHeader();
    m_FrameCountPosition = m_Stream.Tell();
    m_Stream.ReadU32(m_FrameCount);
    if (m_FrameCount == 0)
    {
        ReportError("Invalid file header (number of frames).");
    }
    std::uint32_t formatCount = 0;
    SkipItemHeader();
    m_Stream.ReadU32(formatCount);
    ReadFormats(formatCount);

    SkipItemHeader();
    m_IndexOffsetPosition = m_Stream.Tell();
    auto readOffset = [this, offsets64](std::uint64_t& offset)
    {
        std::int32_t offset32 = 0;
        if (offsets64)
        {
            return m_Stream.ReadU64(offset);
        }
        if (!m_Stream.ReadI32(offset32))
        {
            return false;
        }
        offset = static_cast<std::uint64_t>(std::int64_t{offset32});
        return true;
    };
    readOffset(m_IndexOffset);
    SkipItemHeader();
    readOffset(m_DataOffset);
    if (!m_Stream.IsGood())
    {
        // The fixed header is cut short: nothing after it can be found.
        ReportError("Invalid file header (the file ends inside it).");
        return false;
    }
    if (m_DataOffset == kNoOffset)
    {
        ReportError("Invalid file header (data offset).");
        return false;
    }

    // The frame-info format is optional: without its tag the bytes belong to the custom
    // header blocks (or, in a file without them, there may be no bytes at all).
    const std::uint64_t beforeFrameInfo = m_Stream.Tell();
    std::uint16_t tag = 0;
    VDataFormatInfo frameInfoFormat;
    if (ReadItemHeader(tag) && tag == kFrameInfoTag && frameInfoFormat.Read(m_Stream))
    {
        m_FrameInfoFormat = std::move(frameInfoFormat);
        m_FrameInfoHolder = std::make_unique<VFrameInfoDataHolder>();
    }
    else
    {
        m_Stream.ClearErrors();
        m_Stream.Seek(beforeFrameInfo);
    }

    ReadCustomHeaders();

    if (!ReadIndex(offsets64))
    {
        if (!rebuildIndex)
        {
            return false;
        }
        RebuildIndex();
    }
    if (m_FrameCount != m_Index.Count())
    {
        ReportError("Corrupt file (index table wrong length).");
        return false;
    }
    return m_Stream.Seek(m_DataOffset) && m_Stream.IsGood();
}

bool VX2DImportImpl::ReadFrameInfo()
{
    if (m_FrameInfoHolder == nullptr)
    {
        return false;
    }
    // The item may consume nothing (a format without fields): the stream tells success.
    m_FrameInfoHolder->ReadItem(m_Stream, m_FrameInfoFormat.GetFields());
    return m_Stream.IsGood();
}
