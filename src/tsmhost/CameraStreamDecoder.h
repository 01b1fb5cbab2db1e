// Decoding of a camera's data streams on the host: the centroid stream (centroid and track
// records, then the end-of-frame trailer) and the greyscale stream of both protocols (optional
// datagram headers and settings item, segments, edges, then the trailer), cut into frames.
#pragma once

#include "devices/camerawire/CameraRecords.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// The end-of-frame trailer as received (FrameTrailer's layout).
struct VWireTrailer
{
    std::uint32_t StreamKind = 0;
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t ByteCount = 0;
    std::uint32_t CentroidCount = 0;
    std::uint32_t PreviousFrame = 0;
    std::uint32_t Tracking = 0;
};

/// Decodes a trailer from the FrameTrailer::Size bytes at `data`; false when the tag or the
/// length field is wrong or fewer bytes are given.
bool DecodeFrameTrailer(const std::uint8_t* data, std::size_t length, VWireTrailer& trailer);

/// A centroid record's fields: X, Y and radius in 1/256 pixel, the fraction in 1/256.
struct VWireCentroid
{
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Radius = 0;
    std::uint16_t Fraction = 0;

    bool operator==(const VWireCentroid&) const = default;
};

/// A track record's fields; Confidence in 1/65535.
struct VWireTrack
{
    std::uint16_t Position = 0;
    std::uint16_t Length = 0;
    std::uint16_t Confidence = 0;
    std::int64_t Id = 0;

    bool operator==(const VWireTrack&) const = default;
};

/// A greyscale segment: its first word (the protocol-2 tag or the protocol-1 blob word), its
/// line and column, and where its pixels lie in the frame's pixel bytes.
struct VWireSegment
{
    std::uint16_t Word = 0;
    std::uint16_t Line = 0;
    std::uint16_t Column = 0;
    std::uint16_t PixelCount = 0;
    std::uint32_t PixelOffset = 0;

    /// Protocol 1: the blob word's position part and flag (0x2000 marks blob flag 0).
    bool HasBlobWord() const { return Word != CameraData::TagGreyscaleSegment; }
    std::uint16_t BlobPosition() const { return Word & 0x1FFFu; }
    std::uint8_t BlobFlag() const { return (Word & 0x2000u) != 0 ? 0 : 1; }
};

/// An edge item's fields.
struct VWireEdge
{
    std::uint16_t Line = 0;
    std::uint16_t Column = 0;
    std::uint16_t Coord2 = 0;

    bool operator==(const VWireEdge&) const = default;
};

/// The protocol-2 greyscale settings item.
struct VWireGreyscaleSettings
{
    std::uint16_t Threshold = 0;
    std::uint16_t MinRatio = 0;
    std::uint16_t MaxPixelsPerLine = 0;
    std::uint32_t Flags = 0;
};

/// What one stream delivered for one frame, up to and including its trailer. A value type.
struct VCameraStreamFrame
{
    VWireTrailer Trailer;
    std::vector<VWireCentroid> Centroids;
    std::vector<VWireTrack> Tracks;
    std::vector<VWireSegment> Segments;
    std::vector<std::uint8_t> Pixels;
    std::vector<VWireEdge> Edges;
    bool HasSettings = false;
    VWireGreyscaleSettings Settings;
    /// Datagram headers seen (protocol 2) and how many of them were out of step with the
    /// frame (an index that skips: a datagram of the frame went missing).
    std::uint32_t Headers = 0;
    std::uint32_t HeaderGaps = 0;
    /// Bytes of records or items received, counted as the trailer counts them (16 per
    /// record, 8 plus the pixels per segment, 8 per edge).
    std::uint32_t ItemBytes = 0;
    /// Datagrams that carried bytes of the frame.
    std::uint32_t Datagrams = 0;

    /// True when everything the trailer announces arrived: the byte counts agree and no
    /// header went missing.
    bool IsComplete() const { return ItemBytes == Trailer.ByteCount && HeaderGaps == 0; }
    /// Empties the frame, keeping the storage.
    void Clear();
};

/// Cuts one camera stream (one UDP port) into frames. Datagrams are decoded item by item:
/// a 16-bit tag (or a protocol-1 blob word) opens every item and fixes its size. An item may
/// continue in the next datagram only when its datagram was a full 1400 bytes (the prepared
/// streams cut their byte strings so); anywhere else an unknown tag or a cut item makes the
/// rest of the datagram malformed: it is counted, described and skipped, and decoding starts
/// afresh at the next datagram. A datagram header of another frame number, or more than
/// MaxFrameBytes of items without a trailer, drops the unfinished frame (counted).
///
/// Threading contract: one thread at a time (the host's receive thread). The handler runs
/// inside Feed, on that thread, with the finished frame; it may move the frame's contents
/// away. Not copyable.
class VCameraStreamDecoder
{
public:
    using FrameHandler = std::function<void(VCameraStreamFrame& frame)>;

    /// Items beyond this many bytes in one frame are not kept: the frame is dropped.
    static constexpr std::uint32_t MaxFrameBytes = 64u << 20;

    explicit VCameraStreamDecoder(FrameHandler handler);
    VCameraStreamDecoder(const VCameraStreamDecoder&) = delete;
    VCameraStreamDecoder& operator=(const VCameraStreamDecoder&) = delete;

    /// Decodes one datagram of `length` bytes (0 is allowed and ignored).
    void Feed(const std::uint8_t* data, std::size_t length);
    /// Drops the unfinished frame and any cut item (after the device restarted).
    void Reset();

    /// Datagrams with undecodable bytes, and the last such problem in words.
    std::uint64_t GetMalformedCount() const { return m_Malformed; }
    const std::string& GetLastProblem() const { return m_LastProblem; }
    /// Unfinished frames dropped (a header of a new frame, or too many bytes).
    std::uint64_t GetDroppedPartialCount() const { return m_DroppedPartials; }

private:
    /// Size of the item at `item` given `available` bytes: 0 for an unknown tag, or more
    /// than available when the item is cut. Needs 8 bytes to size a segment.
    static std::size_t ItemSize(const std::uint8_t* item, std::size_t available);
    /// Decodes the whole bytes; returns how many were used (less when an item is cut).
    std::size_t Decode(const std::uint8_t* data, std::size_t length, bool mayContinue);
    void TakeItem(const std::uint8_t* item, std::size_t size);
    void Malformed(std::string problem);
    void DropPartialFrame();

    FrameHandler m_Handler;
    VCameraStreamFrame m_Frame;
    bool m_FrameHasHeaderNumber = false; // m_Frame's number is known from a header
    std::uint32_t m_HeaderFrameNumber = 0;
    std::uint16_t m_NextHeaderIndex = 0;
    std::vector<std::uint8_t> m_Carry;  // a cut item waiting for its rest
    std::vector<std::uint8_t> m_Joined; // carry plus the next datagram
    std::uint64_t m_Malformed = 0;
    std::uint64_t m_DroppedPartials = 0;
    std::string m_LastProblem;
};
