// Building a timecode from fields or text and a capture rate.
#include "timecode/VTimecode.h"

#include "TimecodePrinting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace
{

using namespace TimecodeStandard;

constexpr const char* Ambiguous = "Timecode standard ambiguous, assuming PAL.";
constexpr const char* AmbiguousDrop = "Timecode standard ambiguous, assuming NTSC Drop frame.";
constexpr const char* Unsupported = "Unsupported Timecode rate - ignoring timecode.";
constexpr const char* Invalid = "Invalid time code - ignoring timecode.";

struct VFieldsResult
{
    bool Ok = false;
    std::string Message;
    VTimecode Timecode;
};

VFieldsResult FromFields(double rate, bool drop, bool divisors30And25 = true, unsigned h = 1,
                         unsigned m = 0, unsigned s = 0, unsigned f = 2, unsigned subFrame = 0,
                         uint32_t backOff = 1)
{
    VFieldsResult result;
    VStringStd message("stale");
    result.Ok = result.Timecode.FromTimecodeFields(backOff, h, m, s, f, subFrame, drop, rate,
                                                   divisors30And25, message);
    result.Message = message.Str();
    return result;
}

TEST(TimecodeFromRate, RateSelectsStandardAndSubFrames)
{
    const struct
    {
        double Rate;
        bool Drop;
        bool Divisors30And25;
        bool Ok;
        uint32_t Standard;
        uint16_t PerFrame;
        const char* Message;
    } cases[] = {
        {100, false, true, true, PAL, 4, ""},
        {100, true, true, true, PAL, 4, ""},
        {120, false, true, true, NTSC, 4, ""},
        {120, true, true, true, NTSCDrop, 4, ""},
        {119.88, false, true, true, NTSC, 4, ""},
        {119.88, true, true, true, NTSCDrop, 4, ""},
        {59.94, false, true, true, NTSC, 2, ""},
        {150, false, true, true, PAL, 6, Ambiguous},
        {150, true, true, true, NTSCDrop, 5, AmbiguousDrop},
        {25, false, true, true, PAL, 1, ""},
        {30, false, true, true, NTSC, 1, ""},
        {110, false, true, false, 0, 0, Unsupported},
        {110, true, true, false, 0, 0, Unsupported},
        {100.5, false, true, false, 0, 0, "Invalid Frame Rate for NTSC - ignoring timecode."},
        {119.5, false, true, true, NTSC, 4, ""},
        // With the divisors 60 and 50.
        {100, false, false, true, PAL, 4, ""},
        {120, false, false, true, NTSC, 4, ""},
        {60, false, false, true, NTSC, 2, ""},
        {150, false, false, true, PAL, 6, ""},
        {300, false, false, true, PAL, 12, Ambiguous},
        {30, false, false, false, 0, 0, Unsupported},
        {110, false, false, false, 0, 0, Unsupported},
        // Rates with no sensible integer part.
        {0, false, true, false, 0, 0, Unsupported},
        {-100, false, true, false, 0, 0, Unsupported},
        {std::nan(""), false, true, false, 0, 0, Unsupported},
        {std::numeric_limits<double>::infinity(), false, true, false, 0, 0, Unsupported},
        {1.0e30, false, true, false, 0, 0, Unsupported},
        {25.0 * 70000, false, true, false, 0, 0, Unsupported},
        // Too slow for even one sub-frame per frame.
        {0.3, false, true, false, 0, 0, Invalid},
    };
    for (const auto& c : cases)
    {
        const VFieldsResult result = FromFields(c.Rate, c.Drop, c.Divisors30And25);
        const std::string label = std::to_string(c.Rate) + (c.Drop ? " drop" : "") +
                                  (c.Divisors30And25 ? " 30/25" : " 60/50");
        EXPECT_EQ(result.Ok, c.Ok) << label;
        EXPECT_EQ(result.Message, c.Message) << label;
        if (!c.Ok)
        {
            EXPECT_EQ(result.Timecode, VTimecode()) << label << ": left unchanged";
            continue;
        }
        EXPECT_EQ(result.Timecode.GetStandard(), c.Standard) << label;
        EXPECT_EQ(result.Timecode.GetSubFramesPerFrame(), c.PerFrame) << label;
        EXPECT_EQ(result.Timecode.ToString(false, false).substr(0, 8), "01:00:00") << label;
    }
}

TEST(TimecodeFromRate, FieldsAreValidatedWithoutNarrowing)
{
    const VFieldsResult dropped = FromFields(30, true, true, 0, 1, 0, 0);
    EXPECT_FALSE(dropped.Ok);
    EXPECT_EQ(dropped.Message, Invalid);

    // An ambiguity message is replaced by the later failure.
    const VFieldsResult ambiguous = FromFields(150, false, true, 24, 0, 0, 0);
    EXPECT_FALSE(ambiguous.Ok);
    EXPECT_EQ(ambiguous.Message, Invalid);

    // 256 would read as hour 0 if narrowed to the field.
    EXPECT_FALSE(FromFields(25, false, true, 256, 0, 0, 0).Ok);
    EXPECT_FALSE(FromFields(25, false, true, 0, 0, 0, 256 + 1).Ok);
    EXPECT_FALSE(FromFields(100, false, true, 0, 0, 0, 0, 65536).Ok);
    EXPECT_FALSE(FromFields(100, false, true, 0, 0, 0, 0, 4).Ok) << "sub-frame beyond the rate";

    const VFieldsResult second = FromFields(100, false, true, 0, 0, 0, 0, 3);
    ASSERT_TRUE(second.Ok);
    EXPECT_TRUE(second.Timecode.GetSecondField());
    EXPECT_EQ(second.Timecode.GetSubFrame(), 3);
    EXPECT_EQ(FromFields(100, false, true, 0, 0, 0, 0, 2).Timecode.GetSecondField(), false);
}

TEST(TimecodeFromRate, BackOffMovesBackWithinTheDay)
{
    // k of 0 and 1 leave the timecode where it is.
    EXPECT_EQ(FromFields(100, false, true, 0, 0, 0, 0, 0, 0).Timecode.ToString(true, false),
              "00:00:00:00(0)");
    EXPECT_EQ(FromFields(100, false, true, 0, 0, 0, 0, 0, 1).Timecode.ToString(true, false),
              "00:00:00:00(0)");
    // Midnight moves to the end of the previous day, not to an hour 255.
    const VFieldsResult wrapped = FromFields(100, false, true, 0, 0, 0, 0, 0, 2);
    ASSERT_TRUE(wrapped.Ok);
    EXPECT_EQ(wrapped.Timecode.ToString(true, false), "23:59:59.24(3)");
    EXPECT_TRUE(wrapped.Timecode.IsValid());
    EXPECT_EQ(FromFields(100, false, true, 0, 0, 0, 0, 0, 5).Timecode.ToString(true, false),
              "23:59:59:24(0)");
    // Drop-frame steps over the missing frame numbers.
    EXPECT_EQ(FromFields(30, true, true, 0, 1, 0, 2, 0, 2).Timecode.ToString(false, false),
              "00:00:59;29");
    // Any k stays inside the day.
    const VFieldsResult far = FromFields(120, true, true, 0, 0, 0, 0, 0, 0xFFFFFFFF);
    ASSERT_TRUE(far.Ok);
    EXPECT_TRUE(far.Timecode.IsValid());
}

TEST(TimecodeFromRate, ClockTextReadsFourNumbers)
{
    VTimecode timecode;
    VStringStd message;
    VStreamTimecode stream;

    ASSERT_TRUE(timecode.FromTimecodeText("10:00:00:05", 100, true, message, stream));
    EXPECT_EQ(message.Str(), "");
    EXPECT_EQ(timecode.ToString(true, true), "10:00:00:05(0) [ PAL ]");
    EXPECT_EQ(stream.Standard, 2u);
    EXPECT_EQ(stream.Hours, 10);
    EXPECT_EQ(stream.Frames, 5);
    EXPECT_EQ(stream.TicksPerSubFrame, 1350000u);
    EXPECT_EQ(stream.SubFrameOffset, 0u);

    // Drop-frame text uses ";" throughout.
    ASSERT_TRUE(timecode.FromTimecodeText("00;01;00;02", 119.88, true, message, stream));
    EXPECT_EQ(timecode.ToString(false, true), "00:01:00;02 [ NTSC Drop ]");
    EXPECT_EQ(stream.Standard, 5u);
    EXPECT_EQ(stream.TicksPerSubFrame, 1126125u);

    // Trailing text after four numbers is ignored.
    ASSERT_TRUE(timecode.FromTimecodeText("1;2;3;4;end", 30, true, message, stream));
    EXPECT_EQ(timecode.GetStandard(), NTSCDrop);

    const VTimecode before = timecode;
    const VStreamTimecode streamBefore = stream;
    const struct
    {
        const char* Text;
        const char* Message;
    } failures[] = {
        {"", "Empty Timecode."},
        {"1:2:3:4", "Unsupported timecode string. String must be 8 values in format H:M:S:F, "
                    "with : or ; deliminators."},
        {"10-00-00-00", "Unsupported timecode deliminator. Only : or ; is allowed."},
        {"10:00;00:00", ""},
        {"00:01:00;02", ""},
        {"aa:bb:cc:dd", ""},
        {" 10:00:00:00", ""},
        {"10:00:00:", ""},
        {"99999999999:0:0:0", ""},
        {"24:00:00:00", Invalid},
        {"00:00:00:25", Invalid},
    };
    for (const auto& failure : failures)
    {
        message.Assign("stale");
        EXPECT_FALSE(timecode.FromTimecodeText(failure.Text, 25, true, message, stream))
            << failure.Text;
        EXPECT_EQ(message.Str(), failure.Message) << failure.Text;
        EXPECT_EQ(timecode, before) << failure.Text;
        EXPECT_EQ(stream, streamBefore) << failure.Text;
    }
    EXPECT_FALSE(timecode.FromTimecodeText("00;01;00;00", 30, true, message, stream));
    EXPECT_EQ(message.Str(), Invalid);
    EXPECT_FALSE(timecode.FromTimecodeText("00:00:00:00", 110, true, message, stream));
    EXPECT_EQ(message.Str(), Unsupported);
}

TEST(TimecodeFromRate, RecordTextReadsSevenNumbers)
{
    VTimecode timecode;
    VStringStd message;
    VStreamTimecode stream;

    ASSERT_TRUE(timecode.FromTimecodeRecordText("TC: 1,1,0,1,0,2,0", 30, true, message, stream));
    EXPECT_EQ(timecode.ToString(false, true), "00:01:00;02 [ NTSC Drop ]");
    EXPECT_EQ(stream.Standard, 5u);

    // Blanks and tabs separate too; k moves back; the sub-frame is kept.
    ASSERT_TRUE(
        timecode.FromTimecodeRecordText("abcd0, 3\t10 0 0 0,0", 100, true, message, stream));
    EXPECT_EQ(timecode.ToString(true, true), "09:59:59:24(2) [ PAL ]");
    EXPECT_EQ(stream.SubFrameOffset, 2u * 1350000u);
    ASSERT_TRUE(timecode.FromTimecodeRecordText("abcd0,1,10,0,0,0,3", 100, true, message, stream));
    EXPECT_EQ(timecode.ToString(true, false), "10:00:00.00(3)");

    const struct
    {
        const char* Text;
        const char* Message;
    } failures[] = {
        {"", "Empty Timecode."},
        {"12345", "Old Timecode Format."},
        {"TC: 1,1,0,1,0,2", "Unreadable timecode record: expected seven numbers (drop flag, "
                            "back-off, hours, minutes, seconds, frames, sub-frame) - ignoring "
                            "timecode."},
        {"TC: 1;1;0;1;0;2;0", "Unreadable timecode record: expected seven numbers (drop flag, "
                              "back-off, hours, minutes, seconds, frames, sub-frame) - ignoring "
                              "timecode."},
        {"TC: 1,1,0,1,0,0,0", Invalid},
    };
    for (const auto& failure : failures)
    {
        message.Assign("stale");
        EXPECT_FALSE(timecode.FromTimecodeRecordText(failure.Text, 30, true, message, stream))
            << failure.Text;
        EXPECT_EQ(message.Str(), failure.Message) << failure.Text;
    }
}

TEST(TimecodeFromRate, CaptureRecordNeedsItsValidFlag)
{
    VTimecode timecode;
    VStringStd message;
    VStreamTimecode stream;

    VTimecodeRecord record;
    record.Standard = 2;
    record.BackOff = 1;
    record.Minutes = 1;
    record.Frames = 2;
    EXPECT_FALSE(timecode.FromTimecodeRecord(record, 30, true, message, stream));
    EXPECT_EQ(message.Str(), "Timecode is not valid - ignoring timecode.");

    record.Valid = true;
    ASSERT_TRUE(timecode.FromTimecodeRecord(record, 30, true, message, stream));
    EXPECT_EQ(message.Str(), "");
    EXPECT_EQ(timecode.GetStandard(), NTSCDrop);
    EXPECT_EQ(stream.Standard, 5u);

    record.Standard = 1;
    ASSERT_TRUE(timecode.FromTimecodeRecord(record, 30, true, message, stream));
    EXPECT_EQ(timecode.GetStandard(), NTSC) << "only code 2 means drop-frame";
}

} // namespace
