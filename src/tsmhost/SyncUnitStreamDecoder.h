// Decoding of the sync unit's data: the per-frame timecode datagram and the analogue card's
// sample datagrams with their frame trailers.
#pragma once

#include "devices/syncunit/SyncUnitDatagrams.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// The timecode datagram (40 bytes, tag 0xC003).
struct VTimecodeDatagram
{
    static constexpr std::uint16_t Tag = SyncUnitWire::TimecodeTag;
    static constexpr std::size_t Size = SyncUnitWire::TimecodeSize;

    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t PreviousFrame = 0;
    /// Hours, minutes, seconds and frames, decoded from their two BCD digits each.
    std::uint8_t Hours = 0;
    std::uint8_t Minutes = 0;
    std::uint8_t Seconds = 0;
    std::uint8_t Frames = 0;
    /// The index of this system frame within the timecode frame (bit 15 cleared), and the
    /// system frames per timecode frame (the low 12 bits of the standard word).
    std::uint16_t SubFrame = 0;
    std::uint16_t SubFramesPerFrame = 0;
    /// The standard bits: 0x3000 film, 0x0000 PAL, 0x1000 30 fps, 0x2000 NTSC drop-frame.
    std::uint16_t Standard = 0;
    std::uint32_t UserBits = 0;

    /// "10:00:00:00" (";" before the frames for NTSC drop-frame), then "." and the sub-frame
    /// when a timecode frame spans several system frames.
    std::string Format() const;
};

/// Decodes a timecode datagram; false for another tag, length or a byte that is not two BCD
/// digits.
bool DecodeTimecodeDatagram(const std::uint8_t* data, std::size_t length, VTimecodeDatagram& out);

/// The datagram's timecode as a count of system frames since midnight (timecode frames × m +
/// k) and the system frames of a whole day, for checking that timecodes follow each other.
/// False when the timecode is not valid in its standard or k is not below m.
bool TimecodeSubFrameCount(const VTimecodeDatagram& timecode, std::uint64_t& count,
                           std::uint64_t& perDay);

/// Follows the timecode datagrams of one device: each system frame moves the timecode on by
/// one sub-frame, so a later frame must show the earlier timecode advanced by the frames in
/// between, wrapping at midnight. A frame number that goes back (or a new rate) starts
/// afresh; the frame numbering itself is checked elsewhere. A value type.
class VTimecodeFollower
{
public:
    enum class EStep : std::uint8_t
    {
        Started, ///< the first timecode, or one after a frame number went back
        Follows, ///< the timecode the frames in between lead to
        Jumped,  ///< another timecode
        Invalid, ///< not a valid timecode; the next one starts afresh
    };

    EStep Next(const VTimecodeDatagram& timecode);
    void Reset() { m_Count.reset(); }

private:
    std::optional<std::uint64_t> m_Count; // the last timecode in sub-frames of the day
    std::uint32_t m_Frame = 0;            // its frame number
    std::uint64_t m_PerDay = 0;
};

/// The analogue frame trailer (44 bytes, tag 0xC005).
struct VAnalogueTrailer
{
    static constexpr std::uint16_t Tag = SyncUnitWire::AnalogueTrailerTag;
    static constexpr std::size_t Size = SyncUnitWire::AnalogueTrailerSize;

    std::uint16_t Slot = 0;
    std::uint32_t DeviceId = 0;
    std::uint32_t FrameNumber = 0;
    std::uint32_t PreviousFrame = 0;
    std::uint32_t RunningTotal = 0;
    std::uint16_t Instants = 0;
    std::uint16_t ChannelCount = 0;
    std::uint64_t ChannelMask = 0; ///< bit c = channel c, channels 0 to 63
    std::uint32_t DataBytes = 0;   ///< sample bytes sent for the frame before the trailer
};

/// True when the datagram is an analogue trailer: 44 bytes, the tag, length 44 and version 1.
/// Sample datagrams have no header; anything else is taken as samples.
bool DecodeAnalogueTrailer(const std::uint8_t* data, std::size_t length, VAnalogueTrailer& out);

/// Empty when the trailer's counts agree with each other (the channel count is the number of
/// bits in the mask, the data bytes are 2 × instants × channels); otherwise what is wrong.
std::string CheckAnalogueTrailer(const VAnalogueTrailer& trailer);
