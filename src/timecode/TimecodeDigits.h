// The frame weights of the timecode digits per standard, the packed BCD timecode word,
// and the clock text shared by the display forms of a timecode and a stream record.
#pragma once

#include "timecode/ITimecode.h"

#include <array>
#include <cstdint>
#include <string>

namespace TimecodeDigits
{

/// Digit order of the weight rows: hours tens first, frames units last.
enum EDigit : unsigned
{
    HoursTens,
    HoursUnits,
    MinutesTens,
    MinutesUnits,
    SecondsTens,
    SecondsUnits,
    FramesTens,
    FramesUnits,
    DigitCount
};

using DigitRow = std::array<uint32_t, DigitCount>;

/// Frames that one unit of each digit stands for, one row per standard. Turning a
/// count into digits uses these; NTSC drop takes a minute only when 1800 frames
/// remain although it costs 1798 (see BitWeights for the reading side).
inline constexpr std::array<DigitRow, TimecodeStandard::Count> DigitWeights = {{
    {900000, 90000, 15000, 1500, 250, 25, 10, 1},   // PAL
    {1080000, 108000, 18000, 1800, 300, 30, 10, 1}, // NTSC
    {1078920, 107892, 17982, 1800, 300, 30, 10, 1}, // NTSC drop
    {864000, 86400, 14400, 1440, 240, 24, 10, 1},   // Film
}};

/// A minute of NTSC drop-frame timecode skips frame numbers 0 and 1, so it holds
/// two frames less than the 1800 of its digit weight.
inline constexpr uint32_t DropMinuteFrames = 1798;

/// Frames in the 24 hours of a day, per standard.
inline constexpr std::array<uint32_t, TimecodeStandard::Count> FramesPerDay = {
    2 * DigitWeights[0][HoursTens] + 4 * DigitWeights[0][HoursUnits],
    2 * DigitWeights[1][HoursTens] + 4 * DigitWeights[1][HoursUnits],
    2 * DigitWeights[2][HoursTens] + 4 * DigitWeights[2][HoursUnits],
    2 * DigitWeights[3][HoursTens] + 4 * DigitWeights[3][HoursUnits],
};

/// Bits that each digit occupies in the packed word; tens digits need fewer than four.
inline constexpr DigitRow DigitBits = {2, 4, 3, 4, 3, 4, 2, 4};

using BitRow = std::array<uint32_t, 32>;

namespace Detail
{
constexpr BitRow MakeBitWeights(uint32_t standard)
{
    BitRow row{};
    for (unsigned bit = 0; bit < 32; ++bit)
    {
        // Nibble 0 is frames units (bits 0-3), nibble 7 hours tens (bits 28-31).
        const unsigned digit = DigitCount - 1 - bit / 4;
        const unsigned bitInDigit = bit % 4;
        uint32_t weight = DigitWeights[standard][digit];
        if (standard == TimecodeStandard::NTSCDrop && digit == MinutesUnits)
            weight = DropMinuteFrames;
        row[bit] = bitInDigit < DigitBits[digit] ? (1u << bitInDigit) * weight : 0;
    }
    return row;
}
} // namespace Detail

/// Frames that each bit of the packed BCD word stands for when a timecode is read into
/// a count, one row of 32 per standard (bit 0 first). Bits beyond a digit's width weigh 0.
inline constexpr std::array<BitRow, TimecodeStandard::Count> BitWeights = {
    Detail::MakeBitWeights(0),
    Detail::MakeBitWeights(1),
    Detail::MakeBitWeights(2),
    Detail::MakeBitWeights(3),
};

/// One value below 100 as two BCD digits, tens in the high nibble.
constexpr uint8_t ToBCD(uint8_t value)
{
    return static_cast<uint8_t>(((value / 10) << 4) | (value % 10));
}

/// Packs hours, minutes, seconds and frames (each below 100) into the BCD word:
/// hours in bits 31-24, minutes 23-16, seconds 15-8, frames 7-0.
constexpr uint32_t PackBCD(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames)
{
    return (uint32_t{ToBCD(hours)} << 24) | (uint32_t{ToBCD(minutes)} << 16) |
           (uint32_t{ToBCD(seconds)} << 8) | uint32_t{ToBCD(frames)};
}

/// Sum of the bit weights of the set bits of a packed word, for a standard below Count.
constexpr uint32_t FramesOfBCD(uint32_t packed, uint32_t standard)
{
    uint32_t frames = 0;
    for (unsigned bit = 0; bit < 32; ++bit)
    {
        if ((packed >> bit) & 1u)
            frames += BitWeights[standard][bit];
    }
    return frames;
}

/// True when frame numbers 0 and 1 do not exist at this time in NTSC drop-frame:
/// the first second of every minute that is not a multiple of ten.
constexpr bool IsDroppedFrame(unsigned minutes, unsigned seconds, unsigned frames)
{
    return seconds == 0 && minutes % 10 != 0 && frames < 2;
}

/// "HH:MM:SS" and the frames after `framesSeparator` (";" marks drop-frame, "." and ","
/// a second field); a value outside its range (hours < 24, minutes and seconds < 60,
/// frames < 30) is written "??".
std::string FormatClock(unsigned hours, unsigned minutes, unsigned seconds, unsigned frames,
                        char framesSeparator);

} // namespace TimecodeDigits
