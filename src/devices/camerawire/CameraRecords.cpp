#include "devices/camerawire/CameraRecords.h"

#include "FileIO/ByteCodec.h"

using namespace LittleEndian;

namespace
{

/// Low 16 bits of a signed parameter value, without a narrowing surprise.
std::uint16_t Low16(std::int32_t value)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(value));
}

} // namespace

void FrameTrailer::Encode(std::uint8_t* out) const
{
    StoreU16(out + OffsetTag, CameraData::TagFrameTrailer);
    StoreU16(out + OffsetLength, static_cast<std::uint16_t>(Size));
    StoreU32(out + OffsetStreamKind, StreamKind);
    StoreU32(out + OffsetDeviceId, DeviceId);
    StoreU32(out + OffsetFrameNumber, FrameNumber);
    StoreU32(out + OffsetByteCount, ByteCount);
    StoreU32(out + OffsetCentroidCount, CentroidCount);
    StoreU32(out + OffsetReserved, 0);
    StoreU32(out + OffsetPreviousFrame, PreviousFrame);
    StoreU32(out + OffsetTracking, Tracking);
}

void FrameTrailer::PatchFrameNumbers(std::uint8_t* trailer, std::uint32_t frameNumber,
                                     std::uint32_t previousFrame)
{
    StoreU32(trailer + OffsetFrameNumber, frameNumber);
    StoreU32(trailer + OffsetPreviousFrame, previousFrame);
}

void CentroidRecord::Encode(std::uint8_t* out, double x, double y, double radius, double fraction)
{
    using CameraData::ScaleToWireBits;
    StoreU16(out + OffsetTag, CameraData::TagCentroid);
    StoreU16(out + OffsetFraction, static_cast<std::uint16_t>(ScaleToWireBits(fraction, 256.0)));
    StoreU32(out + OffsetX, static_cast<std::uint32_t>(ScaleToWireBits(x, 256.0)));
    StoreU32(out + OffsetY, static_cast<std::uint32_t>(ScaleToWireBits(y, 256.0)));
    StoreU32(out + OffsetRadius, static_cast<std::uint32_t>(ScaleToWireBits(radius, 256.0)));
}

void TrackRecord::Encode(std::uint8_t* out, std::uint32_t position, const ICentroidTrackData& track)
{
    const auto id = static_cast<std::uint64_t>(track.Id);
    const auto confidence =
        CameraData::ScaleToWireBits(static_cast<double>(track.Confidence), 65535.0);
    StoreU16(out + OffsetTag, CameraData::TagTrack);
    StoreU16(out + OffsetPosition, static_cast<std::uint16_t>(position));
    StoreU16(out + OffsetLength, static_cast<std::uint16_t>(track.Length));
    StoreU16(out + OffsetConfidence, static_cast<std::uint16_t>(confidence));
    StoreU32(out + OffsetIdLow, static_cast<std::uint32_t>(id));
    StoreU32(out + OffsetIdHigh, static_cast<std::uint32_t>(id >> 32));
}

void DatagramHeader_t::Fill(std::uint32_t deviceId, std::uint32_t frameNumber,
                            std::uint32_t previousFrame, double systemFrameRate)
{
    Index = 0;
    FrameNumber = frameNumber;
    PayloadBytes = 0;
    DeviceId = deviceId;
    FrameTicks = CameraData::FrameTicks16(systemFrameRate);
    FrameDelta = static_cast<std::uint16_t>(previousFrame - frameNumber);
    Flags = 0;
}

void DatagramHeader_t::Encode(std::uint8_t* out) const
{
    StoreU16(out + OffsetTag, CameraData::TagDatagramHeader);
    StoreU16(out + OffsetIndex, Index);
    StoreU32(out + OffsetFrameNumber, FrameNumber);
    StoreU32(out + OffsetPayloadBytes, PayloadBytes);
    StoreU32(out + OffsetDeviceId, DeviceId);
    StoreU32(out + OffsetClockRate, CameraData::ClockRateHz);
    StoreU32(out + OffsetFrameTicks, FrameTicks);
    StoreU16(out + OffsetOne1, 1);
    StoreU16(out + OffsetFrameDelta, FrameDelta);
    StoreU16(out + OffsetOne2, 1);
    StoreU16(out + OffsetFlags, Flags);
}

void DatagramHeader_t::MarkLast(std::uint8_t* header)
{
    StoreU16(header + OffsetFlags,
             static_cast<std::uint16_t>(LoadU16(header + OffsetFlags) | FlagLastDatagram));
}

std::uint32_t GreyscaleSettingsItem::FlagsFromGreyMode(CameraData::EncodingMode greyMode)
{
    using CameraData::EncodingMode;
    std::uint32_t flags = 0;
    if (greyMode == EncodingMode::All || greyMode == EncodingMode::Some)
        flags |= 1u << 1;
    if (greyMode == EncodingMode::All)
        flags |= 1u << 2;
    if (greyMode != EncodingMode::Only)
        flags |= 1u << 3;
    return flags;
}

void GreyscaleSettingsItem::Encode(std::uint8_t* out, std::int32_t threshold, std::int32_t minRatio,
                                   std::int32_t maxPixelsPerLine, CameraData::EncodingMode greyMode)
{
    StoreU16(out + OffsetTag, CameraData::TagGreyscaleSettings);
    StoreU16(out + OffsetLength, static_cast<std::uint16_t>(Size));
    StoreU16(out + OffsetThreshold, Low16(threshold));
    StoreU16(out + OffsetMinRatio, Low16(minRatio));
    StoreU16(out + OffsetMaxPixelsPerLine, Low16(maxPixelsPerLine));
    StoreU16(out + OffsetReserved, 0);
    StoreU32(out + OffsetFlags, FlagsFromGreyMode(greyMode));
}

std::uint16_t GreyscaleSegmentItem::BlobWord(std::uint32_t blobPosition, std::uint8_t blobFlag)
{
    std::uint32_t word = (blobPosition & 0xFFFFu) | 0x8000u;
    if (blobFlag == 0)
        word |= 0x2000u;
    return static_cast<std::uint16_t>(word);
}

void GreyscaleSegmentItem::EncodeHead(std::uint8_t* out, std::uint16_t word,
                                      const IGreyscaleLineData& line)
{
    StoreU16(out + OffsetWord, word);
    StoreU16(out + OffsetLine, line.Coord1);
    StoreU16(out + OffsetColumn, line.Coord0);
    StoreU16(out + OffsetPixelCount, line.PixelCount);
}

void EdgeItem::Encode(std::uint8_t* out, const IEdgePairData& edge)
{
    StoreU16(out + OffsetTag, CameraData::TagEdge);
    StoreU16(out + OffsetLine, edge.Coord1);
    StoreU16(out + OffsetColumn, edge.Coord0);
    StoreU16(out + OffsetCoord2, edge.Coord2);
}
