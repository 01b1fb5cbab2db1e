// The timecode value: validity, exact frame arithmetic including NTSC drop-frame,
// its text forms, and its conversions to and from the stream timecode record.
#pragma once

#include "params/IString.h"
#include "timecode/ITimecode.h"
#include "timecode/VStreamTimecode.h"

#include <cstdint>
#include <string>
#include <string_view>

/// The fields of a timecode as a capture system records them, read by
/// VTimecode::FromTimecodeRecord. Plain value.
struct VTimecodeRecord
{
    bool Valid = false;
    uint32_t Standard = 0; ///< 2 means drop-frame; any other value does not
    uint32_t BackOff = 0;  ///< k: the timecode is moved back by k - 1 sub-frames when k >= 2
    uint32_t Hours = 0;
    uint32_t Minutes = 0;
    uint32_t Seconds = 0;
    uint32_t Frames = 0;
    uint32_t SubFrame = 0;
};

/// A timecode in one of the four standards (TimecodeStandard), refined by a sub-frame
/// index when the capture rate is a multiple of the video rate. A small value type:
/// copy freely. Not synchronised: one object, one thread at a time.
///
/// A sub-frame count numbers the sub-frames of the day from 00:00:00:00 sub-frame 0:
/// SubFramesPerFrame x frames + SubFrame, where NTSC drop-frame skips the frame numbers
/// that do not exist. Conversions that fail return false; none throws.
class VTimecode : public ITimecode
{
public:
    /// An invalid timecode: time fields 255, SubFrame and SubFramesPerFrame 65535,
    /// Standard TimecodeStandard::Unknown, SecondField false, UserBits 0.
    VTimecode() = default;
    /// The nine values in the order of Set.
    VTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames, uint16_t subFrame,
              bool secondField, uint32_t standard, uint16_t subFramesPerFrame, uint32_t userBits);
    /// Copies any timecode through its Get.
    explicit VTimecode(const ITimecode& other);
    VTimecode(const VTimecode&) = default;
    VTimecode& operator=(const VTimecode&) = default;

    void Set(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames, uint16_t subFrame,
             bool secondField, uint32_t standard, uint16_t subFramesPerFrame,
             uint32_t userBits) override;
    void Get(uint8_t& hours, uint8_t& minutes, uint8_t& seconds, uint8_t& frames,
             uint16_t& subFrame, bool& secondField, uint32_t& standard, uint16_t& subFramesPerFrame,
             uint32_t& userBits) const override;

    uint8_t GetHours() const { return m_Hours; }
    uint8_t GetMinutes() const { return m_Minutes; }
    uint8_t GetSeconds() const { return m_Seconds; }
    uint8_t GetFrames() const { return m_Frames; }
    uint16_t GetSubFrame() const { return m_SubFrame; }
    uint16_t GetSubFramesPerFrame() const { return m_SubFramesPerFrame; }
    bool GetSecondField() const { return m_SecondField; }
    uint32_t GetStandard() const { return m_Standard; }
    uint32_t GetUserBits() const { return m_UserBits; }
    void SetUserBits(uint32_t userBits) { m_UserBits = userBits; }

    /// Hours < 24, minutes and seconds < 60, frames below the standard's rate (and not
    /// a dropped frame number in NTSC drop), SubFrame < SubFramesPerFrame, a known standard.
    bool IsValid() const;

    /// Compares the time fields, SubFrame, SubFramesPerFrame and Standard; SecondField
    /// and UserBits are not compared.
    bool operator==(const VTimecode& other) const;

    /// True when Standard and SubFramesPerFrame match.
    bool SameRate(const VTimecode& other) const;
    /// Takes Standard and SubFramesPerFrame from `other`.
    void CopyRate(const VTimecode& other);

    /// The sub-frame count of this timecode. Fails for an invalid timecode, and when the
    /// count does not fit 32 bits (only possible above 1657 sub-frames per frame).
    bool ToSubFrameCount(uint32_t& count) const;

    /// Sets the time fields, SubFrame and SecondField from a sub-frame count, keeping
    /// Standard, SubFramesPerFrame and UserBits. Fails, changing nothing, when
    /// SubFramesPerFrame is 0 or the standard unknown. A count beyond the day gives
    /// hours of 24 or more (up to 255), which IsValid rejects.
    bool FromSubFrameCount(uint32_t count);

    /// By sub-frame count; false when either side is invalid.
    bool operator<(const VTimecode& other) const;
    bool operator>(const VTimecode& other) const;

    /// Arithmetic on sub-frame counts (an invalid timecode counts 0). The result has this
    /// timecode's Standard, SubFramesPerFrame and UserBits. A result beyond the day has
    /// hours of 24 or more, one before 00:00:00:00 hours of 255: both are invalid.
    VTimecode operator+(const VTimecode& other) const;
    VTimecode operator-(const VTimecode& other) const;
    VTimecode operator+(uint32_t subFrames) const;
    VTimecode operator-(uint32_t subFrames) const;
    VTimecode& operator+=(uint32_t subFrames);
    VTimecode& operator-=(uint32_t subFrames);

    /// Count of this minus count of `other` (each 0 when invalid), truncated to 32 bits.
    int32_t Difference(const VTimecode& other) const;

    /// Sub-frames in the 24 hours of a day at this rate; 0 for an unknown standard.
    uint64_t SubFramesPerDay() const;

    /// Moves a valid timecode by a signed number of sub-frames, wrapping within the
    /// 24 hours of the day (one sub-frame before midnight is the last of the previous
    /// day). Fails, changing nothing, for an invalid timecode.
    bool OffsetWithinDay(int64_t subFrames);

    /// Numeric text: "Hours Minutes Seconds Frames SubFrame SecondField Standard
    /// SubFramesPerFrame" in decimal, SecondField 1 or 0; UserBits are not part of it.
    std::string ToText() const;

    /// Reads the eight numbers of ToText separated by white space; SecondField becomes
    /// true only for 1; text after the eighth number is ignored. Fails, changing
    /// nothing, when a number is missing, not plain decimal digits, or too large for
    /// its field. Does not check validity.
    bool FromText(std::string_view text);

    /// Display text, e.g. "10:00:00:00(0) [ PAL ]", "01:00:00;02 [ NTSC Drop ]",
    /// "01:00:00.12" (PAL, second field); fields out of range show as "??".
    std::string ToString(bool withSubFrame, bool withStandard) const;

    /// Fills the stream record (standard code, time fields, user bits, offset in
    /// 135 MHz ticks). Fails, changing nothing, for an invalid timecode.
    bool ToStreamTimecode(VStreamTimecode& stream) const;

    /// Takes a valid stream record; the sub-frame is derived from the offset when the
    /// ticks per sub-frame divide it and the frame evenly, else it is 0 of 1. Fails,
    /// changing nothing, for an invalid record.
    bool FromStreamTimecode(const VStreamTimecode& stream);

    /// Builds the timecode from fields and a capture rate in Hz. `divisors30And25`
    /// selects the rate divisors 30 and 25 (when false: 60 and 50). `backOff` (k) >= 2
    /// moves the result back by k - 1 sub-frames within the day. `message` receives
    /// the one message of the conversion, or is cleared; a success may carry an
    /// "ambiguous" message. On failure this timecode is left unchanged.
    bool FromTimecodeFields(uint32_t backOff, uint32_t hours, uint32_t minutes, uint32_t seconds,
                            uint32_t frames, uint32_t subFrame, bool dropFrame, double rate,
                            bool divisors30And25, IString& message);

    /// Reads "H:M:S:F" (";" separators select drop-frame) through FromTimecodeFields with
    /// k 1 and sub-frame 0, then fills `stream` from the result. A text that does not read
    /// as four numbers fails with no message.
    bool FromTimecodeText(std::string_view text, double rate, bool divisors30And25,
                          IString& message, VStreamTimecode& stream);

    /// Reads the record form: four leading characters, then seven numbers separated by
    /// ",", blanks or tabs: drop flag (non-zero set), k, hours, minutes, seconds, frames,
    /// sub-frame; then as FromTimecodeText.
    bool FromTimecodeRecordText(std::string_view text, double rate, bool divisors30And25,
                                IString& message, VStreamTimecode& stream);

    /// Builds from a capture system's timecode record (standard 2 selects drop-frame),
    /// then as FromTimecodeText.
    bool FromTimecodeRecord(const VTimecodeRecord& record, double rate, bool divisors30And25,
                            IString& message, VStreamTimecode& stream);

private:
    bool ToSubFrameCount64(uint64_t& count) const;
    bool FromSubFrameCount64(uint64_t count);
    uint64_t CountOrZero() const;
    VTimecode WithCount(uint64_t count) const;

    uint8_t m_Hours = 255;
    uint8_t m_Minutes = 255;
    uint8_t m_Seconds = 255;
    uint8_t m_Frames = 255;
    uint16_t m_SubFrame = 65535;
    uint16_t m_SubFramesPerFrame = 65535;
    bool m_SecondField = false;
    uint32_t m_Standard = TimecodeStandard::Unknown;
    uint32_t m_UserBits = 0;
};
