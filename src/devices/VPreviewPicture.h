// The preview picture of a camera: the moving test picture and its cutting into preview
// datagrams, each built in place with its 36-byte header right in front of its pixels.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Layout of the preview datagram header (fields little-endian), followed by the pixels.
struct PreviewDatagram
{
    static constexpr size_t HeaderSize = 36;
    static constexpr size_t MaxPixels = 1024;       // pixels per datagram at most
    static constexpr size_t OffsetTag = 0;          // u16 0xC000
    static constexpr size_t OffsetHeaderLength = 2; // u16 36
    static constexpr size_t OffsetKind = 4;         // u16 2
    static constexpr size_t OffsetVersion = 6;      // u16 4
    static constexpr size_t OffsetDeviceId = 8;     // u32
    static constexpr size_t OffsetImageCount = 12;  // u32, 1 for the first picture
    static constexpr size_t OffsetPixelCount = 16;  // u32 n
    static constexpr size_t OffsetFirstLine = 20;   // u32, first line of the block
    static constexpr size_t OffsetRate = 24;        // u16 1400
    static constexpr size_t OffsetZero = 26;        // u16 0
    static constexpr size_t OffsetWidth = 28;       // u16
    static constexpr size_t OffsetHeight = 30;      // u16
    static constexpr size_t OffsetPixelOffset = 32; // u32, offset of the first pixel

    static constexpr uint16_t Tag = 0xC000;
    static constexpr uint16_t Kind = 2;
    static constexpr uint16_t Version = 4;
    static constexpr uint16_t Rate = 1400;
};

/// Cuts pictures into blocks of BlockLines lines and each block into datagrams of at most
/// PreviewDatagram::MaxPixels pixels. The picture buffer holds HeaderSize spare bytes in
/// front of the pixels; each datagram's header is written over the bytes just before its
/// first pixel (pixels already sent, or the spare bytes), so no pixel is ever copied.
///
/// A picture of width or height 0, or of more than MaxPixelCount pixels, cannot be cut: such
/// an object holds no buffer and SendNext sends nothing.
///
/// Threading contract: one thread at a time (the preview server's sender thread). Not
/// copyable.
class VPreviewPicture
{
public:
    static constexpr uint32_t BlockLines = 10;
    /// Largest picture accepted (64 Mpixel), so that offsets fit and memory stays bounded.
    static constexpr uint64_t MaxPixelCount = uint64_t{1} << 26;

    VPreviewPicture(uint32_t deviceId, uint32_t width, uint32_t height);
    VPreviewPicture(const VPreviewPicture&) = delete;
    VPreviewPicture& operator=(const VPreviewPicture&) = delete;

    /// False when the picture cannot be sent (see class comment).
    bool IsSendable() const { return m_TotalPixels != 0; }

    /// True when the next datagram starts a new picture: the previous one is complete (or
    /// none was drawn yet). The sender pauses between pictures at this point.
    bool IsAtPictureStart() const { return m_Offset == 0 || m_Offset == m_TotalPixels; }

    /// Sends the next datagram to `sink`, first drawing the next picture when one starts.
    /// Returns the number of pixels it carried (0 when the picture cannot be sent). A datagram
    /// the sink drops is not repeated: the cut goes on.
    uint32_t SendNext(IDatagramSink& sink);

    uint32_t GetImageCount() const { return m_ImageCount; }
    uint32_t GetOffset() const { return m_Offset; }
    uint32_t GetTotalPixels() const { return m_TotalPixels; }
    /// The pixel at column `x`, line `y` of the current picture (both in range).
    uint8_t GetPixel(uint32_t x, uint32_t y) const
    {
        return m_Buffer[PreviewDatagram::HeaderSize + size_t{y} * m_Width + x];
    }

    /// The test picture's pixel at (x, y) of a `width` × `height` picture number
    /// `imageCount`: concentric rings around the centre that move outward by 5 grey levels
    /// per picture.
    static uint8_t TestPixel(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                             uint32_t imageCount);

private:
    void DrawTestPicture();

    const uint32_t m_DeviceId;
    const uint32_t m_Width;
    const uint32_t m_Height;
    uint32_t m_TotalPixels = 0; // 0 when the picture cannot be sent
    uint32_t m_ImageCount = 0;
    uint32_t m_Offset = 0;
    bool m_BlockStart = true;
    uint32_t m_BlockStartOffset = 0;
    uint32_t m_BlockEndOffset = 0;
    uint32_t m_BlockFirstLine = 0;
    std::vector<uint8_t> m_Buffer; // HeaderSize + total pixels
};
