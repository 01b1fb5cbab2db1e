// The records and items of the camera data stream, each with its field offsets and one
// little-endian encoder: trailer, centroid, track, greyscale datagram header, greyscale
// settings, greyscale segment and edge.
#pragma once

#include "devices/camerawire/CameraDataFormat.h"

#include "FileIO/FrameRecords.h"

#include <cstddef>
#include <cstdint>

// Every Encode writes exactly the record's Size bytes (HeadSize for a segment head) at `out`,
// which the caller provides, and nothing else. Plain values; no threading concerns.

/// End-of-frame trailer, one per frame and stream.
struct FrameTrailer
{
    static constexpr std::size_t Size = 36;
    static constexpr std::size_t OffsetTag = 0;            // u16 0xC001
    static constexpr std::size_t OffsetLength = 2;         // u16 36
    static constexpr std::size_t OffsetStreamKind = 4;     // u32
    static constexpr std::size_t OffsetDeviceId = 8;       // u32
    static constexpr std::size_t OffsetFrameNumber = 12;   // u32
    static constexpr std::size_t OffsetByteCount = 16;     // u32
    static constexpr std::size_t OffsetCentroidCount = 20; // u32
    static constexpr std::size_t OffsetReserved = 24;      // u32 0
    static constexpr std::size_t OffsetPreviousFrame = 28; // u32
    static constexpr std::size_t OffsetTracking = 32;      // u32
    /// Value at OffsetTracking when a trial-file camera's "Tracking" is not "Off".
    static constexpr std::uint32_t TrackingOn = 8;

    std::uint32_t StreamKind = CameraData::StreamKindCentroid;
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    /// Bytes of records or items the stream sent for the frame before the trailer.
    std::uint32_t ByteCount = 0;
    std::uint32_t CentroidCount = 0;
    std::uint32_t PreviousFrame = 0;
    std::uint32_t Tracking = 0;

    void Encode(std::uint8_t* out) const;

    /// Rewrites the frame and previous frame numbers of an encoded trailer at `trailer`
    /// (Size bytes), as a prepared stream does before each replay.
    static void PatchFrameNumbers(std::uint8_t* trailer, std::uint32_t frameNumber,
                                  std::uint32_t previousFrame);
};

/// One centroid, made from four real values: x, y and radius in pixels with 8 fraction bits,
/// and a fourth value (the centroid's fraction) × 256 in 16 bits.
struct CentroidRecord
{
    static constexpr std::size_t Size = 16;
    static constexpr std::size_t OffsetTag = 0;      // u16 0xC007
    static constexpr std::size_t OffsetFraction = 2; // u16 d × 256
    static constexpr std::size_t OffsetX = 4;        // i32 a × 256
    static constexpr std::size_t OffsetY = 8;        // i32 b × 256
    static constexpr std::size_t OffsetRadius = 12;  // i32 c × 256

    static void Encode(std::uint8_t* out, double x, double y, double radius, double fraction);
    static void Encode(std::uint8_t* out, const ICentroidData& centroid)
    {
        Encode(out, centroid.X, centroid.Y, centroid.Radius, centroid.Fraction);
    }
};

/// The track of one centroid, naming the centroid by its position in the frame's records.
struct TrackRecord
{
    static constexpr std::size_t Size = 16;
    static constexpr std::size_t OffsetTag = 0;        // u16 0xC006
    static constexpr std::size_t OffsetPosition = 2;   // u16
    static constexpr std::size_t OffsetLength = 4;     // u16, low bits of Length
    static constexpr std::size_t OffsetConfidence = 6; // u16 Confidence × 65535
    static constexpr std::size_t OffsetIdLow = 8;      // u32
    static constexpr std::size_t OffsetIdHigh = 12;    // u32

    static void Encode(std::uint8_t* out, std::uint32_t position, const ICentroidTrackData& track);
};

/// The header that opens every greyscale datagram of a protocol-2 camera. One object serves
/// as the frame's template: each datagram carries a copy, after which the template's index
/// goes up by one.
struct DatagramHeader_t
{
    static constexpr std::size_t Size = 32;
    static constexpr std::size_t OffsetTag = 0;          // u16 0xC009
    static constexpr std::size_t OffsetIndex = 2;        // u16
    static constexpr std::size_t OffsetFrameNumber = 4;  // u32
    static constexpr std::size_t OffsetPayloadBytes = 8; // u32
    static constexpr std::size_t OffsetDeviceId = 12;    // u32
    static constexpr std::size_t OffsetClockRate = 16;   // u32 135000000
    static constexpr std::size_t OffsetFrameTicks = 20;  // u32, only the low 16 bits used
    static constexpr std::size_t OffsetOne1 = 24;        // u16 1
    static constexpr std::size_t OffsetFrameDelta = 26;  // u16 previous - frame
    static constexpr std::size_t OffsetOne2 = 28;        // u16 1
    static constexpr std::size_t OffsetFlags = 30;       // u16
    static constexpr std::uint16_t FlagLastDatagram = 0x0001;

    std::uint16_t Index = 0;
    std::uint32_t FrameNumber = 0;
    /// Payload bytes appended to the frame before the datagram was opened.
    std::uint32_t PayloadBytes = 0;
    std::uint32_t DeviceId = 0;
    std::uint16_t FrameTicks = 0;
    std::uint16_t FrameDelta = 0;
    std::uint16_t Flags = 0;

    /// Starts the template of a frame: index, payload count and flags 0, the rate fields from
    /// `systemFrameRate` (0 gives 0 ticks).
    void Fill(std::uint32_t deviceId, std::uint32_t frameNumber, std::uint32_t previousFrame,
              double systemFrameRate);
    void Encode(std::uint8_t* out) const;
    /// Sets the last-datagram flag in an encoded header at `header` (Size bytes).
    static void MarkLast(std::uint8_t* header);
};

/// The first payload item of a protocol-2 greyscale frame: threshold settings and the flags
/// derived from "GreyMode".
struct GreyscaleSettingsItem
{
    static constexpr std::size_t Size = 16;
    static constexpr std::size_t OffsetTag = 0;              // u16 0xE001
    static constexpr std::size_t OffsetLength = 2;           // u16 16
    static constexpr std::size_t OffsetThreshold = 4;        // u16
    static constexpr std::size_t OffsetMinRatio = 6;         // u16
    static constexpr std::size_t OffsetMaxPixelsPerLine = 8; // u16
    static constexpr std::size_t OffsetReserved = 10;        // u16 0
    static constexpr std::size_t OffsetFlags = 12;           // u32

    /// Bits 1 ("all" or "some"), 2 ("all") and 3 (anything but "only").
    static std::uint32_t FlagsFromGreyMode(CameraData::EncodingMode greyMode);
    /// The three parameters keep their low 16 bits.
    static void Encode(std::uint8_t* out, std::int32_t threshold, std::int32_t minRatio,
                       std::int32_t maxPixelsPerLine, CameraData::EncodingMode greyMode);
};

/// The 8 bytes before a greyscale segment's pixel bytes. The first word is the tag 0xC008
/// (protocol 2) or the blob word (protocol 1).
struct GreyscaleSegmentItem
{
    static constexpr std::size_t HeadSize = 8;
    static constexpr std::size_t OffsetWord = 0;       // u16 tag or blob word
    static constexpr std::size_t OffsetLine = 2;       // u16 Coord1
    static constexpr std::size_t OffsetColumn = 4;     // u16 Coord0
    static constexpr std::size_t OffsetPixelCount = 6; // u16 n, then n pixel bytes

    /// The protocol-1 blob word: the blob's position in the frame's list (low 16 bits), OR
    /// 0x8000, OR 0x2000 when the blob's flag is 0.
    static std::uint16_t BlobWord(std::uint32_t blobPosition, std::uint8_t blobFlag);
    /// Writes the head only; the segment's pixel bytes follow it on the wire.
    static void EncodeHead(std::uint8_t* out, std::uint16_t word, const IGreyscaleLineData& line);
};

/// One edge pair.
struct EdgeItem
{
    static constexpr std::size_t Size = 8;
    static constexpr std::size_t OffsetTag = 0;    // u16 0xC002
    static constexpr std::size_t OffsetLine = 2;   // u16 Coord1
    static constexpr std::size_t OffsetColumn = 4; // u16 Coord0
    static constexpr std::size_t OffsetCoord2 = 6; // u16 Coord2

    static void Encode(std::uint8_t* out, const IEdgePairData& edge);
};
