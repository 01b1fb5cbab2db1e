#include "devices/camerawire/VGreyscaleStreamAssembler.h"

#include "devices/IDatagramSink.h"

#include <algorithm>
#include <array>

namespace
{

bool IsUsable(const IGreyscaleBlobData& blob)
{
    return blob.LineCount == 0 || blob.Lines != nullptr;
}

bool IsUsable(const IGreyscaleLineData& line)
{
    return line.PixelCount == 0 || line.Pixels != nullptr;
}

std::uint64_t SortKey(std::uint16_t line, std::uint16_t column, std::uint32_t sequence)
{
    return (std::uint64_t{line} << 48) | (std::uint64_t{column} << 32) | sequence;
}

} // namespace

std::uint32_t VGreyscaleStreamAssembler::SendFrame(IDatagramSink& sink,
                                                   const GreyscaleFrameInfo& info,
                                                   std::span<const IGreyscaleBlobData> blobs,
                                                   std::span<const IEdgePairData> edges)
{
    using CameraData::EncodingMode;
    const bool protocol2 = info.ProtocolVersion == 2;

    // 1. Protocol 2: the template and the settings item, counted in the template.
    if (protocol2)
    {
        m_Template.Fill(info.DeviceId, info.FrameNumber, info.PreviousFrame, info.SystemFrameRate);
        m_Buffer.BeginFrame(sink, &m_Template, info.DeviceId);
        std::array<std::uint8_t, GreyscaleSettingsItem::Size> settings;
        GreyscaleSettingsItem::Encode(settings.data(), info.Threshold, info.MinRatio,
                                      info.MaxPixelsPerLine, info.GreyMode);
        m_Buffer.Append(settings.data(), settings.size(), nullptr, 0, true);
    }
    else
    {
        m_Buffer.BeginFrame(sink, nullptr, info.DeviceId);
    }

    // 2. The items.
    std::uint32_t itemBytes = 0;
    if (protocol2 && info.GreyMode != EncodingMode::None)
    {
        m_CountInTemplate = true;
        itemBytes = AppendSorted(blobs, edges);
    }
    else
    {
        m_CountInTemplate = false;
        itemBytes = AppendInDataOrder(info, blobs, edges);
    }

    // 3. The trailer, outside the template's count.
    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindGreyscale;
    trailer.DeviceId = info.DeviceId;
    trailer.FrameNumber = info.FrameNumber;
    trailer.ByteCount = itemBytes;
    trailer.PreviousFrame = info.PreviousFrame;
    std::array<std::uint8_t, FrameTrailer::Size> trailerBytes;
    trailer.Encode(trailerBytes.data());
    m_Buffer.Append(trailerBytes.data(), trailerBytes.size(), nullptr, 0, false);

    // 4. The closing call.
    m_Buffer.Close();
    return m_Buffer.GetBytesSent();
}

std::uint32_t VGreyscaleStreamAssembler::SendTrailerOnly(IDatagramSink& sink,
                                                         std::uint32_t deviceId,
                                                         std::uint32_t frameNumber,
                                                         std::uint32_t previousFrame)
{
    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindGreyscale;
    trailer.DeviceId = deviceId;
    trailer.FrameNumber = frameNumber;
    trailer.PreviousFrame = previousFrame;
    std::array<std::uint8_t, FrameTrailer::Size> bytes;
    trailer.Encode(bytes.data());
    return sink.Send(bytes.data(), bytes.size()) ? static_cast<std::uint32_t>(bytes.size()) : 0;
}

std::uint32_t VGreyscaleStreamAssembler::AppendSegment(std::uint16_t word,
                                                       const IGreyscaleLineData& line)
{
    std::array<std::uint8_t, GreyscaleSegmentItem::HeadSize> head;
    GreyscaleSegmentItem::EncodeHead(head.data(), word, line);
    if (!m_Buffer.Append(head.data(), head.size(), line.Pixels, line.PixelCount, m_CountInTemplate))
        return 0;
    return static_cast<std::uint32_t>(head.size() + line.PixelCount);
}

std::uint32_t VGreyscaleStreamAssembler::AppendEdge(const IEdgePairData& edge)
{
    std::array<std::uint8_t, EdgeItem::Size> bytes;
    EdgeItem::Encode(bytes.data(), edge);
    if (!m_Buffer.Append(bytes.data(), bytes.size(), nullptr, 0, m_CountInTemplate))
        return 0;
    return static_cast<std::uint32_t>(bytes.size());
}

std::uint32_t VGreyscaleStreamAssembler::AppendSorted(std::span<const IGreyscaleBlobData> blobs,
                                                      std::span<const IEdgePairData> edges)
{
    m_Order.clear();
    std::uint32_t sequence = 0;
    for (const IGreyscaleBlobData& blob : blobs)
    {
        if (!IsUsable(blob))
            continue;
        for (std::uint16_t i = 0; i < blob.LineCount; ++i)
        {
            const IGreyscaleLineData& line = blob.Lines[i];
            if (IsUsable(line))
                m_Order.push_back({SortKey(line.Coord1, line.Coord0, sequence++), &line, nullptr});
        }
    }
    for (const IEdgePairData& edge : edges)
        m_Order.push_back({SortKey(edge.Coord1, edge.Coord0, sequence++), nullptr, &edge});

    // The sequence number in the key makes the order total, so the unstable sort (which
    // needs no scratch buffer) gives the same result every time.
    std::sort(m_Order.begin(), m_Order.end(),
              [](const SortEntry& a, const SortEntry& b) { return a.Key < b.Key; });

    std::uint32_t itemBytes = 0;
    for (const SortEntry& entry : m_Order)
    {
        itemBytes += entry.Segment != nullptr
                         ? AppendSegment(CameraData::TagGreyscaleSegment, *entry.Segment)
                         : AppendEdge(*entry.Edge);
    }
    return itemBytes;
}

std::uint32_t
VGreyscaleStreamAssembler::AppendInDataOrder(const GreyscaleFrameInfo& info,
                                             std::span<const IGreyscaleBlobData> blobs,
                                             std::span<const IEdgePairData> edges)
{
    using CameraData::EncodingMode;
    std::uint32_t itemBytes = 0;
    if (info.GreyMode != EncodingMode::None)
    {
        std::uint32_t position = 0;
        for (const IGreyscaleBlobData& blob : blobs)
        {
            const std::uint16_t word = GreyscaleSegmentItem::BlobWord(position++, blob.BlobFlag);
            if (!IsUsable(blob))
                continue;
            for (std::uint16_t i = 0; i < blob.LineCount; ++i)
            {
                if (IsUsable(blob.Lines[i]))
                    itemBytes += AppendSegment(word, blob.Lines[i]);
            }
        }
    }
    if (info.CoordMode != EncodingMode::None)
    {
        for (const IEdgePairData& edge : edges)
            itemBytes += AppendEdge(edge);
    }
    return itemBytes;
}
