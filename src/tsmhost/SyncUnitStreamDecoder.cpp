#include "tsmhost/SyncUnitStreamDecoder.h"

#include "FileIO/ByteCodec.h"

#include <cstdio>

namespace
{

using LittleEndian::LoadU16;
using LittleEndian::LoadU32;

constexpr std::size_t OffsetTag = 0;
constexpr std::size_t OffsetLength = 2;
constexpr std::size_t OffsetVersion = 4;

// Timecode datagram.
constexpr std::uint16_t TimecodeVersion = 2;
constexpr std::size_t OffsetTimecodeDevice = 8;
constexpr std::size_t OffsetTimecodeFrame = 12;
constexpr std::size_t OffsetTimecodePrevious = 16;
constexpr std::size_t OffsetTimecodeClock = 24; // hours, minutes, seconds, frames
constexpr std::size_t OffsetTimecodeSubFrame = 28;
constexpr std::size_t OffsetTimecodeStandard = 30;
constexpr std::size_t OffsetTimecodeUserBits = 32;
constexpr std::uint16_t StandardMask = 0x3000;
constexpr std::uint16_t StandardDropFrame = 0x2000;

// Analogue trailer.
constexpr std::uint16_t AnalogueVersion = 1;
constexpr std::size_t OffsetAnalogueSlot = 6;
constexpr std::size_t OffsetAnalogueDevice = 8;
constexpr std::size_t OffsetAnalogueFrame = 12;
constexpr std::size_t OffsetAnaloguePrevious = 16;
constexpr std::size_t OffsetAnalogueTotal = 20;
constexpr std::size_t OffsetAnalogueInstants = 24;
constexpr std::size_t OffsetAnalogueChannels = 26;
constexpr std::size_t OffsetAnalogueMaskLow = 28;
constexpr std::size_t OffsetAnalogueMaskHigh = 32;
constexpr std::size_t OffsetAnalogueBytes = 36;

bool DecodeBcd(std::uint8_t byte, std::uint8_t& value)
{
    const unsigned tens = byte >> 4;
    const unsigned units = byte & 0x0Fu;
    if (tens > 9 || units > 9)
        return false;
    value = static_cast<std::uint8_t>(tens * 10 + units);
    return true;
}

} // namespace

bool DecodeTimecodeDatagram(const std::uint8_t* data, std::size_t length, VTimecodeDatagram& out)
{
    if (data == nullptr || length != VTimecodeDatagram::Size ||
        LoadU16(data + OffsetTag) != VTimecodeDatagram::Tag ||
        LoadU16(data + OffsetLength) != VTimecodeDatagram::Size ||
        LoadU16(data + OffsetVersion) != TimecodeVersion)
        return false;
    VTimecodeDatagram decoded;
    const std::uint8_t* clock = data + OffsetTimecodeClock;
    if (!DecodeBcd(clock[0], decoded.Hours) || !DecodeBcd(clock[1], decoded.Minutes) ||
        !DecodeBcd(clock[2], decoded.Seconds) || !DecodeBcd(clock[3], decoded.Frames))
        return false;
    decoded.DeviceId = LoadU32(data + OffsetTimecodeDevice);
    decoded.FrameNumber = LoadU32(data + OffsetTimecodeFrame);
    decoded.PreviousFrame = LoadU32(data + OffsetTimecodePrevious);
    decoded.SubFrame = LoadU16(data + OffsetTimecodeSubFrame) & 0x7FFFu;
    const std::uint16_t standard = LoadU16(data + OffsetTimecodeStandard);
    decoded.Standard = standard & StandardMask;
    decoded.SubFramesPerFrame = standard & 0x0FFFu;
    decoded.UserBits = LoadU32(data + OffsetTimecodeUserBits);
    out = decoded;
    return true;
}

std::string VTimecodeDatagram::Format() const
{
    char text[32];
    const char separator = Standard == StandardDropFrame ? ';' : ':';
    std::snprintf(text, sizeof(text), "%02u:%02u:%02u%c%02u", Hours, Minutes, Seconds, separator,
                  Frames);
    std::string formatted = text;
    if (SubFramesPerFrame > 1)
        formatted += "." + std::to_string(SubFrame);
    return formatted;
}

bool DecodeAnalogueTrailer(const std::uint8_t* data, std::size_t length, VAnalogueTrailer& out)
{
    if (data == nullptr || length != VAnalogueTrailer::Size ||
        LoadU16(data + OffsetTag) != VAnalogueTrailer::Tag ||
        LoadU16(data + OffsetLength) != VAnalogueTrailer::Size ||
        LoadU16(data + OffsetVersion) != AnalogueVersion)
        return false;
    out.Slot = LoadU16(data + OffsetAnalogueSlot);
    out.DeviceId = LoadU32(data + OffsetAnalogueDevice);
    out.FrameNumber = LoadU32(data + OffsetAnalogueFrame);
    out.PreviousFrame = LoadU32(data + OffsetAnaloguePrevious);
    out.RunningTotal = LoadU32(data + OffsetAnalogueTotal);
    out.Instants = LoadU16(data + OffsetAnalogueInstants);
    out.ChannelCount = LoadU16(data + OffsetAnalogueChannels);
    out.ChannelMask = (std::uint64_t{LoadU32(data + OffsetAnalogueMaskHigh)} << 32) |
                      LoadU32(data + OffsetAnalogueMaskLow);
    out.DataBytes = LoadU32(data + OffsetAnalogueBytes);
    return true;
}
