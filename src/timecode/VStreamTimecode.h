// The timecode record of the data stream: time fields, user bits and the position
// inside the frame in ticks of the 135 MHz stream clock.
#pragma once

#include <cstdint>
#include <string>

/// Plain value, copy freely. Not synchronised: one object, one thread at a time.
struct VStreamTimecode
{
    /// Standard codes of the stream record (they differ from `TimecodeStandard`).
    enum EStandard : uint32_t
    {
        Film24 = 0,    ///< 24 fps
        Film23976 = 1, ///< 24000/1001 fps
        PAL25 = 2,     ///< 25 fps
        ATSC30 = 3,    ///< 30 fps
        NTSC2997 = 4,  ///< 30000/1001 fps
        NTSCDrop = 5,  ///< 30000/1001 fps with dropped frame numbers
    };

    /// Ticks per second of the stream clock.
    static constexpr uint32_t ClockRate = 135000000;

    uint32_t Standard = 0xFFFFFFFF;
    uint8_t Hours = 0;
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
    uint32_t UserBits = 0;
    uint32_t SubFrameOffset = 0; ///< ticks since the start of the frame
    uint32_t TicksPerSubFrame = 0;

    /// Ticks of one frame of a standard code, 0 for an unknown code.
    static uint32_t TicksPerFrame(uint32_t standardCode);

    /// Frame numbers per second of a standard code (24, 24, 25, 30, 30, 30), 0 when unknown.
    static uint32_t NominalRate(uint32_t standardCode);

    /// Hours < 24, minutes and seconds < 60, frames below the code's nominal rate,
    /// the offset within one frame, and the drop-frame rule for code 5.
    bool IsValid() const;

    /// Derives the sub-frame index and the sub-frames per frame from the offset. Fails
    /// when the ticks per sub-frame are 0, do not divide both the frame's ticks and the
    /// offset, or give more sub-frames per frame than 65535.
    bool DeriveSubFrame(uint32_t& subFrame, uint32_t& subFramesPerFrame) const;

    /// Display text, "HH:MM:SS:FF" (";" for drop-frame, "." or "," before the frames of
    /// a second field), with "(sub-frame)" zero-padded to the width of the largest
    /// sub-frame index and " [ standard ]" when asked for.
    std::string ToString(bool withSubFrame, bool withStandard) const;

    bool operator==(const VStreamTimecode&) const = default;
};
