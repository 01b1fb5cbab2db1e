#include "devices/syncunit/SyncUnitDatagrams.h"

#include "FileIO/ByteCodec.h"
#include "devices/DeviceStatusDatagram.h"
#include "timecode/TimecodeDigits.h"
#include "timecode/VStreamTimecode.h"

#include <cstring>

namespace SyncUnitWire
{

void EncodeInputStatus(std::uint8_t* out, std::uint32_t frame, std::uint16_t levels,
                       std::int32_t changedInput)
{
    std::memset(out, 0, InputStatusSize);
    DeviceStatus::EncodeHeader(out, DeviceStatus::TypeInputStatus, InputStatusSize);
    LittleEndian::StoreU32(out + InputStatusOffsetFrame, frame);
    LittleEndian::StoreU16(out + InputStatusOffsetLevels, levels);
    const bool single = changedInput >= 0 && changedInput < static_cast<std::int32_t>(InputCount);
    LittleEndian::StoreU16(out + InputStatusOffsetChanged,
                           single ? static_cast<std::uint16_t>(1u << changedInput) : 0);
}

std::uint32_t TimecodeStatusStandardWord(std::uint32_t streamCode)
{
    switch (streamCode)
    {
    case VStreamTimecode::Film24:
    case VStreamTimecode::Film23976:
        return 0x214F0000u;
    case VStreamTimecode::PAL25:
        return 0x211F0000u;
    case VStreamTimecode::ATSC30:
    case VStreamTimecode::NTSC2997:
        return 0x212F0000u;
    case VStreamTimecode::NTSCDrop:
        return 0x213F0000u;
    default:
        return 0x210F0000u;
    }
}

void EncodeTimecodeStatus(std::uint8_t* out, std::uint32_t streamCode)
{
    std::memset(out, 0, TimecodeStatusSize);
    DeviceStatus::EncodeHeader(out, DeviceStatus::TypeTimecodeStatus, TimecodeStatusSize);
    LittleEndian::StoreU32(out + TimecodeStatusOffsetValue, 1);
    LittleEndian::StoreU32(out + TimecodeStatusOffsetStandard,
                           TimecodeStatusStandardWord(streamCode));
}

void EncodeAnalogueTrailer(std::uint8_t* out, const VAnalogueTrailerFields& fields)
{
    std::memset(out, 0, AnalogueTrailerSize);
    LittleEndian::StoreU16(out + AnalogueOffsetTag, AnalogueTrailerTag);
    LittleEndian::StoreU16(out + AnalogueOffsetLength, AnalogueTrailerSize);
    LittleEndian::StoreU16(out + AnalogueOffsetVersion, AnalogueTrailerVersion);
    LittleEndian::StoreU16(out + AnalogueOffsetSlot, fields.Slot);
    LittleEndian::StoreU32(out + AnalogueOffsetDeviceId, fields.DeviceId);
    LittleEndian::StoreU32(out + AnalogueOffsetFrame, fields.Frame);
    LittleEndian::StoreU32(out + AnalogueOffsetPrevious, fields.Previous);
    LittleEndian::StoreU32(out + AnalogueOffsetRunningTotal, fields.RunningTotal);
    LittleEndian::StoreU16(out + AnalogueOffsetInstants, fields.Instants);
    LittleEndian::StoreU16(out + AnalogueOffsetChannels, fields.Channels);
    LittleEndian::StoreU32(out + AnalogueOffsetMaskLow,
                           static_cast<std::uint32_t>(fields.ChannelMask));
    LittleEndian::StoreU32(out + AnalogueOffsetMaskHigh,
                           static_cast<std::uint32_t>(fields.ChannelMask >> 32));
    LittleEndian::StoreU32(out + AnalogueOffsetDataBytes, fields.DataBytes);
}

bool TimecodeStandardBits(std::uint32_t streamCode, std::uint16_t& bits)
{
    switch (streamCode)
    {
    case VStreamTimecode::Film24:
    case VStreamTimecode::Film23976:
        bits = 0x3000;
        return true;
    case VStreamTimecode::PAL25:
        bits = 0x0000;
        return true;
    case VStreamTimecode::ATSC30:
    case VStreamTimecode::NTSC2997:
        bits = 0x1000;
        return true;
    case VStreamTimecode::NTSCDrop:
        bits = 0x2000;
        return true;
    default:
        return false;
    }
}

void EncodeTimecode(std::uint8_t* out, const VTimecodeFields& fields)
{
    std::memset(out, 0, TimecodeSize);
    LittleEndian::StoreU16(out + 0, TimecodeTag);
    LittleEndian::StoreU16(out + 2, TimecodeSize);
    LittleEndian::StoreU16(out + 4, TimecodeVersion);
    LittleEndian::StoreU32(out + TimecodeOffsetDeviceId, fields.DeviceId);
    LittleEndian::StoreU32(out + TimecodeOffsetFrame, fields.Frame);
    LittleEndian::StoreU32(out + TimecodeOffsetPrevious, fields.Previous);
    out[TimecodeOffsetBCD + 0] = TimecodeDigits::ToBCD(fields.Hours);
    out[TimecodeOffsetBCD + 1] = TimecodeDigits::ToBCD(fields.Minutes);
    out[TimecodeOffsetBCD + 2] = TimecodeDigits::ToBCD(fields.Seconds);
    out[TimecodeOffsetBCD + 3] = TimecodeDigits::ToBCD(fields.Frames);
    std::uint16_t subFrame = fields.SubFrame;
    if (fields.SubFrame > fields.SubFramesPerFrame / 2)
        subFrame |= TimecodeSecondHalf;
    LittleEndian::StoreU16(out + TimecodeOffsetSubFrame, subFrame);
    LittleEndian::StoreU16(
        out + TimecodeOffsetStandard,
        static_cast<std::uint16_t>(fields.StandardBits | fields.SubFramesPerFrame));
    LittleEndian::StoreU32(out + TimecodeOffsetUserBits, fields.UserBits);
}

} // namespace SyncUnitWire
