#include "tsmhost/CameraStreamDecoder.h"

#include "FileIO/ByteCodec.h"

#include <cstdio>
#include <utility>

namespace
{

using LittleEndian::LoadU16;
using LittleEndian::LoadU32;

/// A protocol-1 blob word: bit 15 set, bit 14 clear (the tags all have both set).
bool IsBlobWord(std::uint16_t word)
{
    return (word & 0xC000u) == 0x8000u;
}

std::string Hex16(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof(text), "%04X", static_cast<unsigned>(value));
    return text;
}

} // namespace

bool DecodeFrameTrailer(const std::uint8_t* data, std::size_t length, VWireTrailer& trailer)
{
    if (data == nullptr || length < FrameTrailer::Size ||
        LoadU16(data + FrameTrailer::OffsetTag) != CameraData::TagFrameTrailer ||
        LoadU16(data + FrameTrailer::OffsetLength) != FrameTrailer::Size)
        return false;
    trailer.StreamKind = LoadU32(data + FrameTrailer::OffsetStreamKind);
    trailer.DeviceId = LoadU32(data + FrameTrailer::OffsetDeviceId);
    trailer.FrameNumber = LoadU32(data + FrameTrailer::OffsetFrameNumber);
    trailer.ByteCount = LoadU32(data + FrameTrailer::OffsetByteCount);
    trailer.CentroidCount = LoadU32(data + FrameTrailer::OffsetCentroidCount);
    trailer.PreviousFrame = LoadU32(data + FrameTrailer::OffsetPreviousFrame);
    trailer.Tracking = LoadU32(data + FrameTrailer::OffsetTracking);
    return true;
}

void VCameraStreamFrame::Clear()
{
    Trailer = VWireTrailer{};
    Centroids.clear();
    Tracks.clear();
    Segments.clear();
    Pixels.clear();
    Edges.clear();
    HasSettings = false;
    Settings = VWireGreyscaleSettings{};
    Headers = 0;
    HeaderGaps = 0;
    ItemBytes = 0;
    Datagrams = 0;
}

VCameraStreamDecoder::VCameraStreamDecoder(FrameHandler handler) : m_Handler(std::move(handler)) {}

void VCameraStreamDecoder::Reset()
{
    m_Frame.Clear();
    m_FrameHasHeaderNumber = false;
    m_NextHeaderIndex = 0;
    m_Carry.clear();
}

std::size_t VCameraStreamDecoder::ItemSize(const std::uint8_t* item, std::size_t available)
{
    if (available < 2)
        return 2; // cut: not even the tag
    const std::uint16_t word = LoadU16(item);
    switch (word)
    {
    case CameraData::TagFrameTrailer:
        return FrameTrailer::Size;
    case CameraData::TagCentroid:
        return CentroidRecord::Size;
    case CameraData::TagTrack:
        return TrackRecord::Size;
    case CameraData::TagDatagramHeader:
        return DatagramHeader_t::Size;
    case CameraData::TagGreyscaleSettings:
        return GreyscaleSettingsItem::Size;
    case CameraData::TagEdge:
        return EdgeItem::Size;
    default:
        break;
    }
    if (word != CameraData::TagGreyscaleSegment && !IsBlobWord(word))
        return 0;
    if (available < GreyscaleSegmentItem::HeadSize)
        return GreyscaleSegmentItem::HeadSize;
    return GreyscaleSegmentItem::HeadSize + LoadU16(item + GreyscaleSegmentItem::OffsetPixelCount);
}

void VCameraStreamDecoder::Feed(const std::uint8_t* data, std::size_t length)
{
    if (data == nullptr || length == 0)
        return;
    ++m_Frame.Datagrams;
    // Only the prepared streams cut items, and only at full datagrams.
    const bool mayContinue = length == CameraData::DatagramCapacity;
    if (m_Carry.empty())
    {
        const std::size_t used = Decode(data, length, mayContinue);
        if (used < length)
            m_Carry.assign(data + used, data + length);
        return;
    }
    m_Joined.assign(m_Carry.begin(), m_Carry.end());
    m_Joined.insert(m_Joined.end(), data, data + length);
    m_Carry.clear();
    const std::size_t used = Decode(m_Joined.data(), m_Joined.size(), mayContinue);
    if (used < m_Joined.size())
        m_Carry.assign(m_Joined.begin() + static_cast<std::ptrdiff_t>(used), m_Joined.end());
}

std::size_t VCameraStreamDecoder::Decode(const std::uint8_t* data, std::size_t length,
                                         bool mayContinue)
{
    std::size_t position = 0;
    while (position < length)
    {
        const std::uint8_t* item = data + position;
        const std::size_t available = length - position;
        const std::size_t size = ItemSize(item, available);
        if (size == 0)
        {
            Malformed("unknown item tag " + Hex16(LoadU16(item)) + " at byte " +
                      std::to_string(position) + "; " + std::to_string(available) +
                      " bytes skipped");
            return length;
        }
        if (size > available)
        {
            if (mayContinue)
                return position; // the rest follows in the next datagram
            Malformed("item cut short at byte " + std::to_string(position) + " (" +
                      std::to_string(available) + " of " + std::to_string(size) + " bytes)");
            return length;
        }
        TakeItem(item, size);
        position += size;
    }
    return length;
}

void VCameraStreamDecoder::TakeItem(const std::uint8_t* item, std::size_t size)
{
    const std::uint16_t word = LoadU16(item);
    switch (word)
    {
    case CameraData::TagFrameTrailer:
    {
        if (!DecodeFrameTrailer(item, size, m_Frame.Trailer))
        {
            Malformed("trailer with length field " +
                      std::to_string(LoadU16(item + FrameTrailer::OffsetLength)));
            DropPartialFrame();
            return;
        }
        if (m_Handler)
            m_Handler(m_Frame);
        m_Frame.Clear();
        m_FrameHasHeaderNumber = false;
        m_NextHeaderIndex = 0;
        return;
    }
    case CameraData::TagDatagramHeader:
    {
        const std::uint32_t frame = LoadU32(item + DatagramHeader_t::OffsetFrameNumber);
        const std::uint16_t index = LoadU16(item + DatagramHeader_t::OffsetIndex);
        if (m_FrameHasHeaderNumber && frame != m_HeaderFrameNumber)
        {
            // The previous frame's end went missing.
            DropPartialFrame();
            ++m_Frame.Datagrams;
        }
        if (!m_FrameHasHeaderNumber)
        {
            m_FrameHasHeaderNumber = true;
            m_HeaderFrameNumber = frame;
            m_NextHeaderIndex = 0;
        }
        if (index != m_NextHeaderIndex)
            ++m_Frame.HeaderGaps;
        m_NextHeaderIndex = static_cast<std::uint16_t>(index + 1);
        ++m_Frame.Headers;
        return;
    }
    case CameraData::TagGreyscaleSettings:
        if (LoadU16(item + GreyscaleSettingsItem::OffsetLength) != GreyscaleSettingsItem::Size)
        {
            Malformed("greyscale settings with length field " +
                      std::to_string(LoadU16(item + GreyscaleSettingsItem::OffsetLength)));
            return;
        }
        m_Frame.HasSettings = true;
        m_Frame.Settings.Threshold = LoadU16(item + GreyscaleSettingsItem::OffsetThreshold);
        m_Frame.Settings.MinRatio = LoadU16(item + GreyscaleSettingsItem::OffsetMinRatio);
        m_Frame.Settings.MaxPixelsPerLine =
            LoadU16(item + GreyscaleSettingsItem::OffsetMaxPixelsPerLine);
        m_Frame.Settings.Flags = LoadU32(item + GreyscaleSettingsItem::OffsetFlags);
        return;
    default:
        break;
    }

    if (m_Frame.ItemBytes + size > MaxFrameBytes)
    {
        Malformed("more than " + std::to_string(MaxFrameBytes) + " bytes in one frame");
        DropPartialFrame();
        return;
    }
    m_Frame.ItemBytes += static_cast<std::uint32_t>(size);
    switch (word)
    {
    case CameraData::TagCentroid:
        m_Frame.Centroids.push_back({LittleEndian::LoadI32(item + CentroidRecord::OffsetX),
                                     LittleEndian::LoadI32(item + CentroidRecord::OffsetY),
                                     LittleEndian::LoadI32(item + CentroidRecord::OffsetRadius),
                                     LoadU16(item + CentroidRecord::OffsetFraction)});
        return;
    case CameraData::TagTrack:
    {
        const std::uint64_t low = LoadU32(item + TrackRecord::OffsetIdLow);
        const std::uint64_t high = LoadU32(item + TrackRecord::OffsetIdHigh);
        m_Frame.Tracks.push_back({LoadU16(item + TrackRecord::OffsetPosition),
                                  LoadU16(item + TrackRecord::OffsetLength),
                                  LoadU16(item + TrackRecord::OffsetConfidence),
                                  static_cast<std::int64_t>((high << 32) | low)});
        return;
    }
    case CameraData::TagEdge:
        m_Frame.Edges.push_back({LoadU16(item + EdgeItem::OffsetLine),
                                 LoadU16(item + EdgeItem::OffsetColumn),
                                 LoadU16(item + EdgeItem::OffsetCoord2)});
        return;
    default:
    {
        VWireSegment segment;
        segment.Word = word;
        segment.Line = LoadU16(item + GreyscaleSegmentItem::OffsetLine);
        segment.Column = LoadU16(item + GreyscaleSegmentItem::OffsetColumn);
        segment.PixelCount = LoadU16(item + GreyscaleSegmentItem::OffsetPixelCount);
        segment.PixelOffset = static_cast<std::uint32_t>(m_Frame.Pixels.size());
        const std::uint8_t* pixels = item + GreyscaleSegmentItem::HeadSize;
        m_Frame.Pixels.insert(m_Frame.Pixels.end(), pixels, pixels + segment.PixelCount);
        m_Frame.Segments.push_back(segment);
        return;
    }
    }
}

void VCameraStreamDecoder::Malformed(std::string problem)
{
    ++m_Malformed;
    m_LastProblem = std::move(problem);
}

void VCameraStreamDecoder::DropPartialFrame()
{
    if (m_Frame.ItemBytes > 0 || m_Frame.Headers > 0 || m_Frame.HasSettings)
        ++m_DroppedPartials;
    m_Frame.Clear();
    m_FrameHasHeaderNumber = false;
    m_NextHeaderIndex = 0;
}
