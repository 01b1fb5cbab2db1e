#include "tsmhost/SyncUnitStreamDecoder.h"

#include "FileIO/ByteCodec.h"
#include "devices/syncunit/SyncUnitDatagrams.h"
#include "timecode/VTimecode.h"

#include <bit>
#include <cstdio>

namespace
{

using LittleEndian::LoadU16;
using LittleEndian::LoadU32;
namespace Wire = SyncUnitWire;

constexpr std::size_t OffsetTag = 0;
constexpr std::size_t OffsetLength = 2;
constexpr std::size_t OffsetVersion = 4;

constexpr std::uint16_t StandardMask = 0x3000;
constexpr std::uint16_t StandardFilm = 0x3000;
constexpr std::uint16_t StandardPal = 0x0000;
constexpr std::uint16_t StandardThirty = 0x1000;
constexpr std::uint16_t StandardDropFrame = 0x2000;
constexpr std::uint16_t SubFramesMask = Wire::TimecodeMaxSubFrames - 1;

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
        LoadU16(data + OffsetVersion) != Wire::TimecodeVersion)
        return false;
    VTimecodeDatagram decoded;
    const std::uint8_t* clock = data + Wire::TimecodeOffsetBCD;
    if (!DecodeBcd(clock[0], decoded.Hours) || !DecodeBcd(clock[1], decoded.Minutes) ||
        !DecodeBcd(clock[2], decoded.Seconds) || !DecodeBcd(clock[3], decoded.Frames))
        return false;
    decoded.DeviceId = LoadU32(data + Wire::TimecodeOffsetDeviceId);
    decoded.FrameNumber = LoadU32(data + Wire::TimecodeOffsetFrame);
    decoded.PreviousFrame = LoadU32(data + Wire::TimecodeOffsetPrevious);
    decoded.SubFrame = LoadU16(data + Wire::TimecodeOffsetSubFrame) & ~Wire::TimecodeSecondHalf;
    const std::uint16_t standard = LoadU16(data + Wire::TimecodeOffsetStandard);
    decoded.Standard = standard & StandardMask;
    decoded.SubFramesPerFrame = standard & SubFramesMask;
    decoded.UserBits = LoadU32(data + Wire::TimecodeOffsetUserBits);
    out = decoded;
    return true;
}

bool TimecodeSubFrameCount(const VTimecodeDatagram& timecode, std::uint64_t& count,
                           std::uint64_t& perDay)
{
    std::uint32_t standard = TimecodeStandard::Unknown;
    switch (timecode.Standard)
    {
    case StandardFilm:
        standard = TimecodeStandard::Film;
        break;
    case StandardPal:
        standard = TimecodeStandard::PAL;
        break;
    case StandardThirty:
        standard = TimecodeStandard::NTSC;
        break;
    case StandardDropFrame:
        standard = TimecodeStandard::NTSCDrop;
        break;
    default:
        return false;
    }
    const VTimecode value(timecode.Hours, timecode.Minutes, timecode.Seconds, timecode.Frames,
                          timecode.SubFrame, false, standard, timecode.SubFramesPerFrame, 0);
    std::uint32_t subFrames = 0;
    if (!value.ToSubFrameCount(subFrames))
        return false;
    count = subFrames;
    perDay = value.SubFramesPerDay();
    return perDay > 0;
}

VTimecodeFollower::EStep VTimecodeFollower::Next(const VTimecodeDatagram& timecode)
{
    std::uint64_t count = 0;
    std::uint64_t perDay = 0;
    if (!TimecodeSubFrameCount(timecode, count, perDay))
    {
        m_Count.reset();
        return EStep::Invalid;
    }
    EStep step = EStep::Started;
    if (m_Count && m_PerDay == perDay && timecode.FrameNumber > m_Frame)
    {
        const std::uint64_t expected = (*m_Count + (timecode.FrameNumber - m_Frame)) % perDay;
        step = count == expected ? EStep::Follows : EStep::Jumped;
    }
    m_Count = count;
    m_Frame = timecode.FrameNumber;
    m_PerDay = perDay;
    return step;
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
        LoadU16(data + Wire::AnalogueOffsetTag) != VAnalogueTrailer::Tag ||
        LoadU16(data + Wire::AnalogueOffsetLength) != VAnalogueTrailer::Size ||
        LoadU16(data + Wire::AnalogueOffsetVersion) != Wire::AnalogueTrailerVersion)
        return false;
    out.Slot = LoadU16(data + Wire::AnalogueOffsetSlot);
    out.DeviceId = LoadU32(data + Wire::AnalogueOffsetDeviceId);
    out.FrameNumber = LoadU32(data + Wire::AnalogueOffsetFrame);
    out.PreviousFrame = LoadU32(data + Wire::AnalogueOffsetPrevious);
    out.RunningTotal = LoadU32(data + Wire::AnalogueOffsetRunningTotal);
    out.Instants = LoadU16(data + Wire::AnalogueOffsetInstants);
    out.ChannelCount = LoadU16(data + Wire::AnalogueOffsetChannels);
    out.ChannelMask = (std::uint64_t{LoadU32(data + Wire::AnalogueOffsetMaskHigh)} << 32) |
                      LoadU32(data + Wire::AnalogueOffsetMaskLow);
    out.DataBytes = LoadU32(data + Wire::AnalogueOffsetDataBytes);
    return true;
}

std::string CheckAnalogueTrailer(const VAnalogueTrailer& trailer)
{
    const int channels = std::popcount(trailer.ChannelMask);
    if (trailer.ChannelCount != channels)
        return "analogue frame " + std::to_string(trailer.FrameNumber) + ": " +
               std::to_string(trailer.ChannelCount) + " channels but " + std::to_string(channels) +
               " in the channel mask";
    const std::uint64_t bytes = 2ull * trailer.Instants * trailer.ChannelCount;
    if (trailer.DataBytes != bytes)
        return "analogue frame " + std::to_string(trailer.FrameNumber) + ": " +
               std::to_string(trailer.DataBytes) + " data bytes for " +
               std::to_string(trailer.Instants) + " instants of " +
               std::to_string(trailer.ChannelCount) + " channels";
    return {};
}
