// The timecode interface shared across module boundaries, and the timecode standards.
#pragma once

#include <cstdint>

/// Video standards of a timecode (the `Standard` field).
namespace TimecodeStandard
{
inline constexpr uint32_t PAL = 0;      ///< 25 fps
inline constexpr uint32_t NTSC = 1;     ///< 30 fps
inline constexpr uint32_t NTSCDrop = 2; ///< 29.97 fps labelled with dropped frame numbers
inline constexpr uint32_t Film = 3;     ///< 24 fps
inline constexpr uint32_t Count = 4;
inline constexpr uint32_t Unknown = 0xFFFFFFFF; ///< the standard of a default timecode
} // namespace TimecodeStandard

/// A timecode as nine plain values: hours, minutes, seconds, frames, the sub-frame
/// index within the frame, the second-field flag, the standard, the number of
/// sub-frames per frame and the user bits. No validation happens here.
/// Not synchronised: one object, one thread at a time.
class ITimecode
{
public:
    virtual ~ITimecode() = default;

    /// Stores the nine values as given (the second-field flag is not recomputed).
    virtual void Set(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames,
                     uint16_t subFrame, bool secondField, uint32_t standard,
                     uint16_t subFramesPerFrame, uint32_t userBits) = 0;

    /// Copies the nine values out.
    virtual void Get(uint8_t& hours, uint8_t& minutes, uint8_t& seconds, uint8_t& frames,
                     uint16_t& subFrame, bool& secondField, uint32_t& standard,
                     uint16_t& subFramesPerFrame, uint32_t& userBits) const = 0;
};
