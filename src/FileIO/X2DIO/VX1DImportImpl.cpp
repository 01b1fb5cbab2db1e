#include "FileIO/X2DIO/VX1DImportImpl.h"

VX1DImportImpl::VX1DImportImpl(std::uint32_t bufferMiB) : VTrialImportBase(bufferMiB) {}

bool VX1DImportImpl::ReadHeader()
{
    m_HeaderValue = 0;
    if (!m_Stream.Seek(0) || m_Stream.Tell() != 0)
    {
        return false;
    }
    if (!m_Stream.ReadI32(m_Version))
    {
        ReportError("Invalid file header (the file ends inside it).");
        return false;
    }
    if (m_Version > kNewestVersion)
    {
        ReportErrorF("Cannot read X1D files of version %lld.", m_Version);
        return false;
    }

    SkipItemHeader();
    m_Stream.ReadU32(m_DeviceCount);
    SkipItemHeader();
    m_FrameCountPosition = m_Stream.Tell();
    m_Stream.ReadU32(m_FrameCount);
    if (m_FrameCount == 0)
    {
        ReportError("Invalid file header (number of frames).");
    }
    std::uint16_t tag = 0;
    ReadItemHeader(tag);
    if (tag == kHeaderValueTag)
    {
        m_Stream.ReadI64(m_HeaderValue);
        SkipItemHeader(); // the item header of FormatCount follows the value
    }
    std::uint32_t formatCount = 0;
    m_Stream.ReadU32(formatCount);
    ReadFormats(formatCount);

    SkipItemHeader();
    m_IndexOffsetPosition = m_Stream.Tell();
    m_Stream.ReadU64(m_IndexOffset);
    SkipItemHeader();
    m_Stream.ReadU64(m_DataOffset);
    if (!m_Stream.IsGood())
    {
        ReportError("Invalid file header (the file ends inside it).");
        return false;
    }
    if (m_DataOffset == kNoOffset)
    {
        ReportError("Invalid file header (data offset).");
        return false;
    }

    ReadCustomHeaders();

    if (!ReadIndex(m_Version >= 2))
    {
        RebuildIndex();
    }
    return m_Stream.Seek(m_DataOffset) && m_Stream.IsGood();
}
