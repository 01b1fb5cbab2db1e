// Assembles and sends the greyscale stream of one camera frame: for protocol 2 the header
// template and settings item, then segments and edges, then the trailer and the closing call.
#pragma once

#include "devices/camerawire/CameraDataFormat.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/VGreyscaleDatagramBuffer.h"

#include "FileIO/FrameRecords.h"

#include <cstdint>
#include <span>
#include <vector>

class IDatagramSink;

/// The camera parameters and frame numbers that one greyscale frame is assembled with.
struct GreyscaleFrameInfo
{
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t PreviousFrame = 0;
    /// "ProtocolVersion": 2 frames every datagram with a header; any other value is protocol 1.
    std::int32_t ProtocolVersion = 1;
    CameraData::EncodingMode GreyMode = CameraData::EncodingMode::All;  ///< "GreyMode"
    CameraData::EncodingMode CoordMode = CameraData::EncodingMode::All; ///< "CoordMode"
    std::int32_t Threshold = 0;        ///< "Threshold" (protocol 2 settings item)
    std::int32_t MinRatio = 0;         ///< "MinRatio"
    std::int32_t MaxPixelsPerLine = 0; ///< "MaxPixelsPerLine"
    double SystemFrameRate = 0.0;      ///< "SystemFrameRate" (protocol 2 header)
};

/// Sends greyscale frames. Protocol 2 with "GreyMode" not "none": the settings item, then all
/// segments (tag 0xC008) and edges of the frame sorted by line, then column (a segment comes
/// before an edge at the same place, and equal items keep their order). Otherwise: when
/// "GreyMode" is not "none" the segments blob by blob with their blob words, then when
/// "CoordMode" is not "none" the edges, in the data's order. Then the trailer (its byte count:
/// 8 per segment plus its pixels and 8 per edge) and the closing call.
///
/// State kept between frames: only the storage of the datagram buffers and of the sort
/// order (so steady frames allocate nothing), the last frame's template (for inspection)
/// and the count of dropped items. The template is filled afresh for each frame: its index
/// and payload count start at 0.
///
/// Threading contract: one thread at a time (the frame thread of the owning source). The
/// frame data is read during SendFrame only. Not copyable.
class VGreyscaleStreamAssembler
{
public:
    VGreyscaleStreamAssembler() = default;
    VGreyscaleStreamAssembler(const VGreyscaleStreamAssembler&) = delete;
    VGreyscaleStreamAssembler& operator=(const VGreyscaleStreamAssembler&) = delete;

    /// Assembles the frame from `blobs` and `edges` (pass empty spans for a frame without
    /// data) and sends its datagrams through `sink`. Returns the bytes of the datagrams that
    /// went out, headers and settings included. Blobs whose Lines is null but LineCount is
    /// not 0, and segments whose Pixels is null but PixelCount is not 0, are skipped.
    std::uint32_t SendFrame(IDatagramSink& sink, const GreyscaleFrameInfo& info,
                            std::span<const IGreyscaleBlobData> blobs,
                            std::span<const IEdgePairData> edges);

    /// The greyscale stream of a frame without any data as the synthetic source sends it:
    /// one trailer datagram (stream kind 0x00010002, byte count 0). Returns 36, or 0 when the
    /// datagram was dropped.
    static std::uint32_t SendTrailerOnly(IDatagramSink& sink, std::uint32_t deviceId,
                                         std::uint32_t frameNumber, std::uint32_t previousFrame);

    /// The header template of the last protocol-2 frame (its index counts the datagrams).
    const DatagramHeader_t& GetHeaderTemplate() const { return m_Template; }
    /// Items dropped as too large for any datagram, since construction.
    std::uint64_t GetDroppedItemCount() const { return m_Buffer.GetDroppedItemCount(); }

private:
    /// One segment or edge in the protocol-2 order.
    struct SortEntry
    {
        std::uint64_t Key;                 // line, column, then the item's sequence number
        const IGreyscaleLineData* Segment; // null for an edge
        const IEdgePairData* Edge;
    };

    std::uint32_t AppendSegment(std::uint16_t word, const IGreyscaleLineData& line);
    std::uint32_t AppendEdge(const IEdgePairData& edge);
    std::uint32_t AppendSorted(std::span<const IGreyscaleBlobData> blobs,
                               std::span<const IEdgePairData> edges);
    std::uint32_t AppendInDataOrder(const GreyscaleFrameInfo& info,
                                    std::span<const IGreyscaleBlobData> blobs,
                                    std::span<const IEdgePairData> edges);

    VGreyscaleDatagramBuffer m_Buffer;
    DatagramHeader_t m_Template;
    bool m_CountInTemplate = false; // whether the items now appended count in the template
    std::vector<SortEntry> m_Order; // reused from frame to frame
};
