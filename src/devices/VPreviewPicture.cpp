#include "devices/VPreviewPicture.h"

#include "FileIO/ByteCodec.h"

#include <algorithm>
#include <cmath>

VPreviewPicture::VPreviewPicture(uint32_t deviceId, uint32_t width, uint32_t height)
    : m_DeviceId(deviceId), m_Width(width), m_Height(height)
{
    const uint64_t total = uint64_t{width} * height;
    if (total == 0 || total > MaxPixelCount)
        return;
    m_TotalPixels = static_cast<uint32_t>(total);
    m_Buffer.assign(PreviewDatagram::HeaderSize + m_TotalPixels, 0);
}

uint32_t VPreviewPicture::SendNext(IDatagramSink& sink)
{
    if (!IsSendable())
        return 0;
    if (IsAtPictureStart())
    {
        ++m_ImageCount;
        m_Offset = 0;
        DrawTestPicture();
    }
    if (m_BlockStart)
    {
        m_BlockStart = false;
        m_BlockStartOffset = m_Offset;
        m_BlockEndOffset = static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t{m_Offset} + uint64_t{BlockLines} * m_Width, m_TotalPixels));
        m_BlockFirstLine = m_Offset / m_Width;
    }
    const uint32_t pixels = std::min<uint32_t>(m_BlockEndOffset - m_Offset,
                                               static_cast<uint32_t>(PreviewDatagram::MaxPixels));

    // The header goes over the HeaderSize bytes in front of the first pixel to send.
    uint8_t* header = m_Buffer.data() + m_Offset;
    using namespace LittleEndian;
    StoreU16(header + PreviewDatagram::OffsetTag, PreviewDatagram::Tag);
    StoreU16(header + PreviewDatagram::OffsetHeaderLength, PreviewDatagram::HeaderSize);
    StoreU16(header + PreviewDatagram::OffsetKind, PreviewDatagram::Kind);
    StoreU16(header + PreviewDatagram::OffsetVersion, PreviewDatagram::Version);
    StoreU32(header + PreviewDatagram::OffsetDeviceId, m_DeviceId);
    StoreU32(header + PreviewDatagram::OffsetImageCount, m_ImageCount);
    StoreU32(header + PreviewDatagram::OffsetPixelCount, pixels);
    StoreU32(header + PreviewDatagram::OffsetFirstLine, m_BlockFirstLine);
    StoreU16(header + PreviewDatagram::OffsetRate, PreviewDatagram::Rate);
    StoreU16(header + PreviewDatagram::OffsetZero, 0);
    StoreU16(header + PreviewDatagram::OffsetWidth, static_cast<uint16_t>(m_Width));
    StoreU16(header + PreviewDatagram::OffsetHeight, static_cast<uint16_t>(m_Height));
    StoreU32(header + PreviewDatagram::OffsetPixelOffset, m_Offset);
    sink.Send(header, PreviewDatagram::HeaderSize + pixels);

    m_Offset += pixels;
    if (m_Offset == m_BlockEndOffset)
        m_BlockStart = true;
    return pixels;
}

uint8_t VPreviewPicture::TestPixel(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                                   uint32_t imageCount)
{
    const double dx = static_cast<double>(int64_t{x} - int64_t{width / 2});
    const double dy = static_cast<double>(int64_t{y} - int64_t{height / 2});
    const double value = std::sqrt(dx * dx + dy * dy) + 5.0 * imageCount;
    return static_cast<uint8_t>(static_cast<uint64_t>(value) & 0xFFu);
}

void VPreviewPicture::DrawTestPicture()
{
    uint8_t* pixel = m_Buffer.data() + PreviewDatagram::HeaderSize;
    for (uint32_t y = 0; y < m_Height; ++y)
        for (uint32_t x = 0; x < m_Width; ++x)
            *pixel++ = TestPixel(x, y, m_Width, m_Height, m_ImageCount);
}
