#include "timecode/VTimecode.h"

#include "timecode/TimecodeDigits.h"

#include <algorithm>
#include <cmath>
#include <limits>

using namespace TimecodeDigits;

namespace
{

/// 30000/1001: the frame rate of NTSC colour video, which both NTSC standards run at.
constexpr double NTSCBaseRate = 29.97002997;
constexpr double PALBaseRate = 25.0;

constexpr const char* MessageNTSCRate = "Invalid Frame Rate for NTSC - ignoring timecode.";
constexpr const char* MessageUnsupportedRate = "Unsupported Timecode rate - ignoring timecode.";
constexpr const char* MessageAssumeDrop = "Timecode standard ambiguous, assuming NTSC Drop frame.";
constexpr const char* MessageAssumePAL = "Timecode standard ambiguous, assuming PAL.";
constexpr const char* MessageInvalid = "Invalid time code - ignoring timecode.";
constexpr const char* MessageEmpty = "Empty Timecode.";
constexpr const char* MessageShortText = "Unsupported timecode string. String must be 8 values in "
                                         "format H:M:S:F, with : or ; deliminators.";
constexpr const char* MessageDeliminator =
    "Unsupported timecode deliminator. Only : or ; is allowed.";
constexpr const char* MessageOldFormat = "Old Timecode Format.";
constexpr const char* MessageUnreadableRecord =
    "Unreadable timecode record: expected seven numbers (drop flag, back-off, hours, minutes, "
    "seconds, frames, sub-frame) - ignoring timecode.";
constexpr const char* MessageRecordNotValid = "Timecode is not valid - ignoring timecode.";

/// Frame numbers per second of each standard.
constexpr uint32_t FrameLimit[TimecodeStandard::Count] = {25, 30, 30, 24};

/// Reads unsigned decimal numbers the way a formatted stream would when only the
/// given characters count as white space: separators before a number are skipped,
/// a number is one or more digits, and a value beyond 32 bits fails.
class VNumberScanner
{
public:
    VNumberScanner(std::string_view text, std::string_view separators)
        : m_Text(text), m_Separators(separators)
    {
    }

    bool Read(uint32_t& value)
    {
        while (m_Pos < m_Text.size() && m_Separators.find(m_Text[m_Pos]) != std::string_view::npos)
            ++m_Pos;
        uint64_t result = 0;
        const size_t start = m_Pos;
        while (m_Pos < m_Text.size() && m_Text[m_Pos] >= '0' && m_Text[m_Pos] <= '9')
        {
            result = result * 10 + static_cast<uint64_t>(m_Text[m_Pos] - '0');
            if (result > std::numeric_limits<uint32_t>::max())
                return false;
            ++m_Pos;
        }
        if (m_Pos == start)
            return false;
        value = static_cast<uint32_t>(result);
        return true;
    }

private:
    std::string_view m_Text;
    std::string_view m_Separators;
    size_t m_Pos = 0;
};

constexpr std::string_view WhiteSpace = " \t\n\r\v\f";

uint32_t StreamCodeOf(uint32_t standard)
{
    switch (standard)
    {
    case TimecodeStandard::PAL:
        return VStreamTimecode::PAL25;
    case TimecodeStandard::NTSC:
        return VStreamTimecode::NTSC2997;
    case TimecodeStandard::NTSCDrop:
        return VStreamTimecode::NTSCDrop;
    case TimecodeStandard::Film:
        return VStreamTimecode::Film24;
    default:
        return 0xFFFFFFFF;
    }
}

uint32_t StandardOfStreamCode(uint32_t code)
{
    switch (code)
    {
    case VStreamTimecode::Film24:
    case VStreamTimecode::Film23976:
        return TimecodeStandard::Film;
    case VStreamTimecode::PAL25:
        return TimecodeStandard::PAL;
    case VStreamTimecode::ATSC30:
    case VStreamTimecode::NTSC2997:
        return TimecodeStandard::NTSC;
    case VStreamTimecode::NTSCDrop:
        return TimecodeStandard::NTSCDrop;
    default:
        return TimecodeStandard::Unknown;
    }
}

bool FitsIn(uint32_t value, uint32_t max)
{
    return value <= max;
}

} // namespace

VTimecode::VTimecode(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames,
                     uint16_t subFrame, bool secondField, uint32_t standard,
                     uint16_t subFramesPerFrame, uint32_t userBits)
{
    Set(hours, minutes, seconds, frames, subFrame, secondField, standard, subFramesPerFrame,
        userBits);
}

VTimecode::VTimecode(const ITimecode& other)
{
    other.Get(m_Hours, m_Minutes, m_Seconds, m_Frames, m_SubFrame, m_SecondField, m_Standard,
              m_SubFramesPerFrame, m_UserBits);
}

void VTimecode::Set(uint8_t hours, uint8_t minutes, uint8_t seconds, uint8_t frames,
                    uint16_t subFrame, bool secondField, uint32_t standard,
                    uint16_t subFramesPerFrame, uint32_t userBits)
{
    m_Hours = hours;
    m_Minutes = minutes;
    m_Seconds = seconds;
    m_Frames = frames;
    m_SubFrame = subFrame;
    m_SecondField = secondField;
    m_Standard = standard;
    m_SubFramesPerFrame = subFramesPerFrame;
    m_UserBits = userBits;
}

void VTimecode::Get(uint8_t& hours, uint8_t& minutes, uint8_t& seconds, uint8_t& frames,
                    uint16_t& subFrame, bool& secondField, uint32_t& standard,
                    uint16_t& subFramesPerFrame, uint32_t& userBits) const
{
    hours = m_Hours;
    minutes = m_Minutes;
    seconds = m_Seconds;
    frames = m_Frames;
    subFrame = m_SubFrame;
    secondField = m_SecondField;
    standard = m_Standard;
    subFramesPerFrame = m_SubFramesPerFrame;
    userBits = m_UserBits;
}

bool VTimecode::IsValid() const
{
    if (m_Hours >= 24 || m_Minutes >= 60 || m_Seconds >= 60)
        return false;
    if (m_SubFramesPerFrame == 0 || m_SubFrame >= m_SubFramesPerFrame)
        return false;
    if (m_Standard >= TimecodeStandard::Count || m_Frames >= FrameLimit[m_Standard])
        return false;
    if (m_Standard == TimecodeStandard::NTSCDrop && IsDroppedFrame(m_Minutes, m_Seconds, m_Frames))
        return false;
    return true;
}

bool VTimecode::operator==(const VTimecode& other) const
{
    return m_Hours == other.m_Hours && m_Minutes == other.m_Minutes &&
           m_Seconds == other.m_Seconds && m_Frames == other.m_Frames &&
           m_SubFrame == other.m_SubFrame && m_SubFramesPerFrame == other.m_SubFramesPerFrame &&
           m_Standard == other.m_Standard;
}

bool VTimecode::SameRate(const VTimecode& other) const
{
    return m_Standard == other.m_Standard && m_SubFramesPerFrame == other.m_SubFramesPerFrame;
}

void VTimecode::CopyRate(const VTimecode& other)
{
    m_Standard = other.m_Standard;
    m_SubFramesPerFrame = other.m_SubFramesPerFrame;
}

bool VTimecode::ToSubFrameCount64(uint64_t& count) const
{
    if (!IsValid())
        return false;
    const uint32_t frames =
        FramesOfBCD(PackBCD(m_Hours, m_Minutes, m_Seconds, m_Frames), m_Standard);
    count = uint64_t{m_SubFramesPerFrame} * frames + m_SubFrame;
    return true;
}

bool VTimecode::ToSubFrameCount(uint32_t& count) const
{
    uint64_t wide = 0;
    if (!ToSubFrameCount64(wide) || wide > std::numeric_limits<uint32_t>::max())
        return false;
    count = static_cast<uint32_t>(wide);
    return true;
}

bool VTimecode::FromSubFrameCount64(uint64_t count)
{
    if (m_SubFramesPerFrame == 0 || m_Standard >= TimecodeStandard::Count)
        return false;
    const DigitRow& weights = DigitWeights[m_Standard];
    uint64_t remainder = count / m_SubFramesPerFrame;
    const auto subFrame = static_cast<uint16_t>(count % m_SubFramesPerFrame);

    // Greedy from hours tens to frames units. Only the hours tens digit is unbounded
    // (counts beyond the day); every later digit is below 10 by construction.
    uint64_t digits[DigitCount] = {};
    for (unsigned digit = 0; digit < DigitCount && remainder != 0; ++digit)
    {
        const uint64_t weight = weights[digit];
        if (m_Standard == TimecodeStandard::NTSCDrop && digit == MinutesUnits)
        {
            // A drop-frame minute holds 1798 frames but is only complete once 1800
            // remain, because it starts at frame number 2.
            while (remainder >= weight)
            {
                ++digits[digit];
                remainder -= DropMinuteFrames;
            }
            continue;
        }
        digits[digit] = remainder / weight;
        remainder %= weight;
    }

    const uint64_t hours = digits[HoursTens] * 10 + digits[HoursUnits];
    m_Hours = static_cast<uint8_t>(std::min<uint64_t>(hours, 255));
    m_Minutes = static_cast<uint8_t>(digits[MinutesTens] * 10 + digits[MinutesUnits]);
    m_Seconds = static_cast<uint8_t>(digits[SecondsTens] * 10 + digits[SecondsUnits]);
    m_Frames = static_cast<uint8_t>(digits[FramesTens] * 10 + digits[FramesUnits]);
    m_SubFrame = subFrame;
    m_SecondField = m_SubFrame > m_SubFramesPerFrame / 2;
    return true;
}

bool VTimecode::FromSubFrameCount(uint32_t count)
{
    return FromSubFrameCount64(count);
}

uint64_t VTimecode::CountOrZero() const
{
    uint64_t count = 0;
    return ToSubFrameCount64(count) ? count : 0;
}

VTimecode VTimecode::WithCount(uint64_t count) const
{
    VTimecode result(*this);
    result.FromSubFrameCount64(count);
    return result;
}

bool VTimecode::operator<(const VTimecode& other) const
{
    uint64_t mine = 0;
    uint64_t theirs = 0;
    return ToSubFrameCount64(mine) && other.ToSubFrameCount64(theirs) && mine < theirs;
}

bool VTimecode::operator>(const VTimecode& other) const
{
    uint64_t mine = 0;
    uint64_t theirs = 0;
    return ToSubFrameCount64(mine) && other.ToSubFrameCount64(theirs) && mine > theirs;
}

VTimecode VTimecode::operator+(const VTimecode& other) const
{
    return WithCount(CountOrZero() + other.CountOrZero());
}

VTimecode VTimecode::operator-(const VTimecode& other) const
{
    // Below zero the count wraps to a huge value, which saturates the hours: invalid.
    return WithCount(CountOrZero() - other.CountOrZero());
}

VTimecode VTimecode::operator+(uint32_t subFrames) const
{
    return WithCount(CountOrZero() + subFrames);
}

VTimecode VTimecode::operator-(uint32_t subFrames) const
{
    return WithCount(CountOrZero() - subFrames);
}

VTimecode& VTimecode::operator+=(uint32_t subFrames)
{
    *this = *this + subFrames;
    return *this;
}

VTimecode& VTimecode::operator-=(uint32_t subFrames)
{
    *this = *this - subFrames;
    return *this;
}

int32_t VTimecode::Difference(const VTimecode& other) const
{
    return static_cast<int32_t>(static_cast<uint32_t>(CountOrZero() - other.CountOrZero()));
}

uint64_t VTimecode::SubFramesPerDay() const
{
    if (m_Standard >= TimecodeStandard::Count)
        return 0;
    return uint64_t{FramesPerDay[m_Standard]} * m_SubFramesPerFrame;
}

bool VTimecode::OffsetWithinDay(int64_t subFrames)
{
    uint64_t count = 0;
    if (!ToSubFrameCount64(count))
        return false;
    const auto day = static_cast<int64_t>(SubFramesPerDay());
    int64_t moved = (static_cast<int64_t>(count) + subFrames % day) % day;
    if (moved < 0)
        moved += day;
    return FromSubFrameCount64(static_cast<uint64_t>(moved));
}

std::string VTimecode::ToText() const
{
    return std::to_string(m_Hours) + ' ' + std::to_string(m_Minutes) + ' ' +
           std::to_string(m_Seconds) + ' ' + std::to_string(m_Frames) + ' ' +
           std::to_string(m_SubFrame) + ' ' + (m_SecondField ? '1' : '0') + ' ' +
           std::to_string(m_Standard) + ' ' + std::to_string(m_SubFramesPerFrame);
}

bool VTimecode::FromText(std::string_view text)
{
    VNumberScanner scanner(text, WhiteSpace);
    uint32_t values[8] = {};
    for (uint32_t& value : values)
    {
        if (!scanner.Read(value))
            return false;
    }
    // Narrowing a number that does not fit would silently read another timecode.
    for (int field : {0, 1, 2, 3})
    {
        if (!FitsIn(values[field], 255))
            return false;
    }
    if (!FitsIn(values[4], 65535) || !FitsIn(values[7], 65535))
        return false;
    Set(static_cast<uint8_t>(values[0]), static_cast<uint8_t>(values[1]),
        static_cast<uint8_t>(values[2]), static_cast<uint8_t>(values[3]),
        static_cast<uint16_t>(values[4]), values[5] == 1, values[6],
        static_cast<uint16_t>(values[7]), m_UserBits);
    return true;
}

std::string VTimecode::ToString(bool withSubFrame, bool withStandard) const
{
    const bool drop = m_Standard == TimecodeStandard::NTSCDrop;
    const char separator = drop ? ';' : ':';
    const char framesSeparator = m_SecondField ? (drop ? ',' : '.') : separator;
    std::string text = FormatClock(m_Hours, m_Minutes, m_Seconds, m_Frames, framesSeparator);
    if (withSubFrame)
        text += '(' + std::to_string(m_SubFrame) + ')';
    if (withStandard)
    {
        switch (m_Standard)
        {
        case TimecodeStandard::PAL:
            text += " [ PAL ]";
            break;
        case TimecodeStandard::NTSC:
            text += " [ NTSC ]";
            break;
        case TimecodeStandard::NTSCDrop:
            text += " [ NTSC Drop ]";
            break;
        case TimecodeStandard::Film:
            text += " [ Film ]";
            break;
        default:
            text += " [ Unknown Timecode Standard ]";
            break;
        }
    }
    return text;
}

bool VTimecode::ToStreamTimecode(VStreamTimecode& stream) const
{
    if (!IsValid())
        return false;
    const uint32_t code = StreamCodeOf(m_Standard);
    const uint32_t ticksPerFrame = VStreamTimecode::TicksPerFrame(code);
    if (ticksPerFrame == 0)
        return false;
    stream.Standard = code;
    stream.Hours = m_Hours;
    stream.Minutes = m_Minutes;
    stream.Seconds = m_Seconds;
    stream.Frames = m_Frames;
    stream.UserBits = m_UserBits;
    stream.TicksPerSubFrame = ticksPerFrame / m_SubFramesPerFrame;
    stream.SubFrameOffset = m_SubFrame * stream.TicksPerSubFrame;
    return true;
}

bool VTimecode::FromStreamTimecode(const VStreamTimecode& stream)
{
    if (!stream.IsValid())
        return false;
    uint32_t subFrame = 0;
    uint32_t subFramesPerFrame = 1;
    if (!stream.DeriveSubFrame(subFrame, subFramesPerFrame))
    {
        subFrame = 0;
        subFramesPerFrame = 1;
    }
    m_Standard = StandardOfStreamCode(stream.Standard);
    m_Hours = stream.Hours;
    m_Minutes = stream.Minutes;
    m_Seconds = stream.Seconds;
    m_Frames = stream.Frames;
    m_UserBits = stream.UserBits;
    // A valid record's offset lies within the frame, so the index fits below the count.
    m_SubFrame = static_cast<uint16_t>(subFrame);
    m_SubFramesPerFrame = static_cast<uint16_t>(subFramesPerFrame);
    m_SecondField = m_SubFrame > m_SubFramesPerFrame / 2;
    return true;
}

bool VTimecode::FromTimecodeFields(uint32_t backOff, uint32_t hours, uint32_t minutes,
                                   uint32_t seconds, uint32_t frames, uint32_t subFrame,
                                   bool dropFrame, double rate, bool divisors30And25,
                                   IString& message)
{
    message.Assign("");
    // A rate that is not a positive finite number has no integer part to classify.
    if (!std::isfinite(rate) || rate <= 0.0 || rate > 1.0e9)
    {
        message.Assign(MessageUnsupportedRate);
        return false;
    }
    const auto rounded = static_cast<uint64_t>(std::floor(rate + 0.5));
    const uint32_t ntscStandard = dropFrame ? TimecodeStandard::NTSCDrop : TimecodeStandard::NTSC;
    uint32_t standard = TimecodeStandard::PAL;
    double baseRate = PALBaseRate;
    if (rate != std::floor(rate))
    {
        if (rounded % 30 != 0)
        {
            message.Assign(MessageNTSCRate);
            return false;
        }
        standard = ntscStandard;
        baseRate = NTSCBaseRate;
    }
    else
    {
        const uint64_t notNTSC = rounded % (divisors30And25 ? 30 : 60);
        const uint64_t notPAL = rounded % (divisors30And25 ? 25 : 50);
        if (notNTSC != 0 && notPAL != 0)
        {
            message.Assign(MessageUnsupportedRate);
            return false;
        }
        if (notPAL != 0)
        {
            standard = ntscStandard;
            baseRate = NTSCBaseRate;
        }
        else if (notNTSC == 0)
        {
            message.Assign(dropFrame ? MessageAssumeDrop : MessageAssumePAL);
            if (dropFrame)
            {
                standard = TimecodeStandard::NTSCDrop;
                baseRate = NTSCBaseRate;
            }
        }
    }

    const double subFramesPerFrame = std::floor(rate / baseRate + 0.5);
    if (subFramesPerFrame > 65535.0)
    {
        message.Assign(MessageUnsupportedRate);
        return false;
    }
    // Fields too large for the value would otherwise be narrowed into valid-looking ones.
    if (!FitsIn(hours, 255) || !FitsIn(minutes, 255) || !FitsIn(seconds, 255) ||
        !FitsIn(frames, 255) || !FitsIn(subFrame, 65535))
    {
        message.Assign(MessageInvalid);
        return false;
    }
    const auto perFrame = static_cast<uint16_t>(subFramesPerFrame);
    VTimecode result(static_cast<uint8_t>(hours), static_cast<uint8_t>(minutes),
                     static_cast<uint8_t>(seconds), static_cast<uint8_t>(frames),
                     static_cast<uint16_t>(subFrame), subFrame > perFrame / 2u, standard, perFrame,
                     0);
    if (!result.IsValid())
    {
        message.Assign(MessageInvalid);
        return false;
    }
    if (backOff >= 2)
        result.OffsetWithinDay(-static_cast<int64_t>(backOff - 1));
    *this = result;
    return true;
}

bool VTimecode::FromTimecodeText(std::string_view text, double rate, bool divisors30And25,
                                 IString& message, VStreamTimecode& stream)
{
    message.Assign("");
    if (text.empty())
    {
        message.Assign(MessageEmpty);
        return false;
    }
    if (text.size() < 9)
    {
        message.Assign(MessageShortText);
        return false;
    }
    std::string_view separator;
    bool dropFrame = false;
    if (text.find(';') != std::string_view::npos)
    {
        separator = ";";
        dropFrame = true;
    }
    else if (text.find(':') != std::string_view::npos)
    {
        separator = ":";
    }
    else
    {
        message.Assign(MessageDeliminator);
        return false;
    }
    VNumberScanner scanner(text, separator);
    uint32_t hours = 0;
    uint32_t minutes = 0;
    uint32_t seconds = 0;
    uint32_t frames = 0;
    if (!scanner.Read(hours) || !scanner.Read(minutes) || !scanner.Read(seconds) ||
        !scanner.Read(frames))
        return false;
    if (!FromTimecodeFields(1, hours, minutes, seconds, frames, 0, dropFrame, rate, divisors30And25,
                            message))
        return false;
    return ToStreamTimecode(stream);
}

bool VTimecode::FromTimecodeRecordText(std::string_view text, double rate, bool divisors30And25,
                                       IString& message, VStreamTimecode& stream)
{
    message.Assign("");
    if (text.empty())
    {
        message.Assign(MessageEmpty);
        return false;
    }
    if (text.size() < 6)
    {
        message.Assign(MessageOldFormat);
        return false;
    }
    VNumberScanner scanner(text.substr(4), ", \t");
    uint32_t values[7] = {};
    for (uint32_t& value : values)
    {
        if (!scanner.Read(value))
        {
            message.Assign(MessageUnreadableRecord);
            return false;
        }
    }
    if (!FromTimecodeFields(values[1], values[2], values[3], values[4], values[5], values[6],
                            values[0] != 0, rate, divisors30And25, message))
        return false;
    return ToStreamTimecode(stream);
}

bool VTimecode::FromTimecodeRecord(const VTimecodeRecord& record, double rate, bool divisors30And25,
                                   IString& message, VStreamTimecode& stream)
{
    message.Assign("");
    if (!record.Valid)
    {
        message.Assign(MessageRecordNotValid);
        return false;
    }
    if (!FromTimecodeFields(record.BackOff, record.Hours, record.Minutes, record.Seconds,
                            record.Frames, record.SubFrame, record.Standard == 2, rate,
                            divisors30And25, message))
        return false;
    return ToStreamTimecode(stream);
}
