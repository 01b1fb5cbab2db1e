#include "timecode/VStreamTimecode.h"

#include "timecode/TimecodeDigits.h"

#include <string>

uint32_t VStreamTimecode::TicksPerFrame(uint32_t standardCode)
{
    switch (standardCode)
    {
    case Film24:
        return ClockRate / 24;
    case Film23976:
        return static_cast<uint32_t>(uint64_t{ClockRate} * 1001 / 24000);
    case PAL25:
        return ClockRate / 25;
    case ATSC30:
        return ClockRate / 30;
    case NTSC2997:
    case NTSCDrop:
        return static_cast<uint32_t>(uint64_t{ClockRate} * 1001 / 30000);
    default:
        return 0;
    }
}

uint32_t VStreamTimecode::NominalRate(uint32_t standardCode)
{
    switch (standardCode)
    {
    case Film24:
    case Film23976:
        return 24;
    case PAL25:
        return 25;
    case ATSC30:
    case NTSC2997:
    case NTSCDrop:
        return 30;
    default:
        return 0;
    }
}

bool VStreamTimecode::IsValid() const
{
    if (Hours >= 24 || Minutes >= 60 || Seconds >= 60 || Frames >= NominalRate(Standard))
        return false;
    if (SubFrameOffset >= TicksPerFrame(Standard))
        return false;
    return Standard != NTSCDrop || !TimecodeDigits::IsDroppedFrame(Minutes, Seconds, Frames);
}

bool VStreamTimecode::DeriveSubFrame(uint32_t& subFrame, uint32_t& subFramesPerFrame) const
{
    const uint32_t ticksPerFrame = TicksPerFrame(Standard);
    if (TicksPerSubFrame == 0 || ticksPerFrame % TicksPerSubFrame != 0 ||
        SubFrameOffset % TicksPerSubFrame != 0)
        return false;
    const uint32_t perFrame = ticksPerFrame / TicksPerSubFrame;
    // The timecode value keeps the count in 16 bits.
    if (perFrame == 0 || perFrame > 65535)
        return false;
    subFramesPerFrame = perFrame;
    subFrame = SubFrameOffset / TicksPerSubFrame;
    return true;
}

std::string VStreamTimecode::ToString(bool withSubFrame, bool withStandard) const
{
    uint32_t subFrame = 0;
    uint32_t perFrame = 0;
    const bool derived = DeriveSubFrame(subFrame, perFrame);
    const bool secondField = derived && subFrame > perFrame / 2;
    const bool drop = Standard == NTSCDrop;
    const char separator = drop ? ';' : ':';
    const char framesSeparator = secondField ? (drop ? ',' : '.') : separator;
    std::string text =
        TimecodeDigits::FormatClock(Hours, Minutes, Seconds, Frames, framesSeparator);
    if (withSubFrame)
    {
        std::string index = "0";
        if (derived)
        {
            index = std::to_string(subFrame);
            const size_t width = std::to_string(perFrame - 1).size();
            if (index.size() < width)
                index.insert(0, width - index.size(), '0');
        }
        text += '(' + index + ')';
    }
    if (withStandard)
    {
        switch (Standard)
        {
        case Film24:
        case Film23976:
            text += " [ Film ]";
            break;
        case PAL25:
            text += " [ PAL ]";
            break;
        case ATSC30:
            text += " [ ATSC ]";
            break;
        case NTSC2997:
            text += " [ NTSC ]";
            break;
        case NTSCDrop:
            text += " [ NTSC Drop ]";
            break;
        default:
            text += " [ Unknown Timecode Standard ]";
            break;
        }
    }
    return text;
}
