#include "timecode/VTimecode.h"

#include "timecode/TimecodeDigits.h"

#include "TimecodePrinting.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

using namespace TimecodeStandard;

VTimecode Make(unsigned h, unsigned m, unsigned s, unsigned f, uint32_t standard,
               unsigned subFrame = 0, unsigned perFrame = 1, bool secondField = false)
{
    return VTimecode(static_cast<uint8_t>(h), static_cast<uint8_t>(m), static_cast<uint8_t>(s),
                     static_cast<uint8_t>(f), static_cast<uint16_t>(subFrame), secondField,
                     standard, static_cast<uint16_t>(perFrame), 0);
}

uint32_t CountOf(const VTimecode& timecode)
{
    uint32_t count = 0;
    EXPECT_TRUE(timecode.ToSubFrameCount(count)) << timecode.ToString(true, true);
    return count;
}

VTimecode FromCount(uint32_t count, uint32_t standard, unsigned perFrame = 1)
{
    VTimecode timecode = Make(0, 0, 0, 0, standard, 0, perFrame);
    EXPECT_TRUE(timecode.FromSubFrameCount(count));
    return timecode;
}

// The reading table must agree with the digit table, apart from the drop-frame minute.
static_assert(TimecodeDigits::BitWeights[PAL][0] == 1);
static_assert(TimecodeDigits::BitWeights[PAL][3] == 8);
static_assert(TimecodeDigits::BitWeights[PAL][6] == 0, "frames tens has two bits");
static_assert(TimecodeDigits::BitWeights[PAL][29] == 1800000);
static_assert(TimecodeDigits::BitWeights[PAL][30] == 0, "hours tens has two bits");
static_assert(TimecodeDigits::BitWeights[NTSCDrop][16] == 1798);
static_assert(TimecodeDigits::BitWeights[NTSCDrop][19] == 8 * 1798);
static_assert(TimecodeDigits::BitWeights[NTSC][16] == 1800);
static_assert(TimecodeDigits::BitWeights[Film][23] == 0, "minutes tens has three bits");
static_assert(TimecodeDigits::PackBCD(23, 59, 58, 29) == 0x23595829);
static_assert(TimecodeDigits::FramesPerDay[NTSCDrop] == 2589408);

TEST(Timecode, DefaultIsInvalidAndShowsQuestionMarks)
{
    const VTimecode timecode;
    EXPECT_FALSE(timecode.IsValid());
    EXPECT_EQ(timecode.GetHours(), 255);
    EXPECT_EQ(timecode.GetSubFrame(), 65535);
    EXPECT_EQ(timecode.GetSubFramesPerFrame(), 65535);
    EXPECT_EQ(timecode.GetStandard(), 0xFFFFFFFFu);
    EXPECT_FALSE(timecode.GetSecondField());
    EXPECT_EQ(timecode.GetUserBits(), 0u);
    EXPECT_EQ(timecode.ToString(false, false), "??:??:??:??");
    EXPECT_EQ(timecode.ToString(false, true), "??:??:??:?? [ Unknown Timecode Standard ]");
    EXPECT_EQ(timecode.ToString(true, true), "??:??:??:?\?(65535) [ Unknown Timecode Standard ]");
    EXPECT_EQ(timecode.ToText(), "255 255 255 255 65535 0 4294967295 65535");
    uint32_t count = 7;
    EXPECT_FALSE(timecode.ToSubFrameCount(count));
}

TEST(Timecode, ValidityFollowsTheStandard)
{
    // Drop-frame skips frame numbers 0 and 1 at the start of every minute but each tenth.
    EXPECT_FALSE(Make(0, 1, 0, 0, NTSCDrop).IsValid());
    EXPECT_FALSE(Make(0, 1, 0, 1, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 1, 0, 2, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 10, 0, 0, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 0, 0, 0, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 1, 1, 0, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 1, 0, 0, NTSC).IsValid()) << "only drop-frame skips numbers";

    // Frame limits per standard.
    EXPECT_TRUE(Make(0, 0, 0, 24, PAL).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 25, PAL).IsValid());
    EXPECT_TRUE(Make(0, 0, 0, 29, NTSC).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 30, NTSC).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 30, NTSCDrop).IsValid());
    EXPECT_TRUE(Make(0, 0, 0, 23, Film).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 24, Film).IsValid());

    // Time fields, sub-frames and the standard.
    EXPECT_TRUE(Make(23, 59, 59, 24, PAL, 3, 4).IsValid());
    EXPECT_FALSE(Make(24, 0, 0, 0, PAL).IsValid());
    EXPECT_FALSE(Make(0, 60, 0, 0, PAL).IsValid());
    EXPECT_FALSE(Make(0, 0, 60, 0, PAL).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 0, PAL, 4, 4).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 0, PAL, 0, 0).IsValid());
    EXPECT_FALSE(Make(0, 0, 0, 0, 4).IsValid());
}

TEST(Timecode, DropFrameCountsSkipTheDroppedNumbers)
{
    EXPECT_EQ(FromCount(1800, NTSCDrop).ToString(false, false), "00:01:00;02");
    EXPECT_EQ(FromCount(1799, NTSCDrop).ToString(false, false), "00:00:59;29");
    EXPECT_EQ(FromCount(17982, NTSCDrop).ToString(false, false), "00:10:00;00");
    EXPECT_EQ(FromCount(3598, NTSCDrop).ToString(false, false), "00:02:00;02");
    EXPECT_EQ(FromCount(3597, NTSCDrop).ToString(false, false), "00:01:59;29");

    EXPECT_EQ(CountOf(Make(0, 1, 0, 2, NTSCDrop)), 1800u);
    EXPECT_EQ(CountOf(Make(0, 0, 59, 29, NTSCDrop)), 1799u);
    EXPECT_EQ(CountOf(Make(0, 10, 0, 0, NTSCDrop)), 17982u);
    EXPECT_EQ(CountOf(Make(1, 0, 0, 0, NTSCDrop)), 107892u);
    EXPECT_EQ(CountOf(Make(1, 0, 0, 0, NTSC)), 108000u);
    EXPECT_EQ(CountOf(Make(1, 0, 0, 0, PAL)), 90000u);
    EXPECT_EQ(CountOf(Make(1, 0, 0, 0, Film)), 86400u);
}

TEST(Timecode, SubFramesCountWithinTheFrame)
{
    // PAL at 100 Hz: four sub-frames per timecode frame.
    const VTimecode timecode = Make(0, 0, 1, 0, PAL, 3, 4);
    EXPECT_EQ(CountOf(timecode), 103u);

    const VTimecode back = FromCount(103, PAL, 4);
    EXPECT_EQ(back, timecode);
    EXPECT_TRUE(back.GetSecondField());
    EXPECT_EQ(back.GetStandard(), PAL);
    EXPECT_EQ(back.GetSubFramesPerFrame(), 4);

    // The second field starts above half of the sub-frames.
    EXPECT_FALSE(FromCount(102, PAL, 4).GetSecondField());
    EXPECT_TRUE(FromCount(3, PAL, 5).GetSecondField());
    EXPECT_FALSE(FromCount(0, PAL, 1).GetSecondField());
}

TEST(Timecode, EveryFrameOfTheDayRoundTrips)
{
    for (uint32_t standard : {PAL, NTSC, NTSCDrop, Film})
    {
        const uint32_t day = TimecodeDigits::FramesPerDay[standard];
        VTimecode timecode = Make(0, 0, 0, 0, standard);
        uint32_t failures = 0;
        uint32_t count = 0;
        for (uint32_t n = 0; n < day && failures < 5; ++n)
        {
            if (!timecode.FromSubFrameCount(n) || !timecode.IsValid() ||
                !timecode.ToSubFrameCount(count) || count != n)
            {
                ++failures;
                ADD_FAILURE() << "standard " << standard << " count " << n << " gives "
                              << timecode.ToString(true, false);
            }
        }
        ASSERT_EQ(failures, 0u);
        EXPECT_EQ(FromCount(day - 1, standard).ToString(false, false).substr(0, 8), "23:59:59");
        EXPECT_FALSE(FromCount(day, standard).IsValid()) << "the day ends at 24:00:00:00";
    }

    // Sub-frames interleave with frames the same way at any rate.
    for (uint32_t n = 0; n < TimecodeDigits::FramesPerDay[NTSCDrop] * 3; n += 997)
    {
        const VTimecode timecode = FromCount(n, NTSCDrop, 3);
        ASSERT_TRUE(timecode.IsValid()) << n;
        ASSERT_EQ(CountOf(timecode), n);
    }
}

TEST(Timecode, CountsThatDoNotFit32BitsAreRefused)
{
    uint32_t count = 0;
    EXPECT_TRUE(Make(23, 59, 59, 24, PAL, 0, 1657).ToSubFrameCount(count));
    EXPECT_FALSE(Make(23, 0, 0, 0, NTSC, 0, 65535).ToSubFrameCount(count))
        << "a wrapped count would name another time";
    // Comparison and day arithmetic still work at such a rate.
    EXPECT_TRUE(Make(22, 0, 0, 0, NTSC, 0, 65535) < Make(23, 0, 0, 0, NTSC, 0, 65535));
    VTimecode late = Make(23, 59, 59, 29, NTSC, 65534, 65535);
    ASSERT_TRUE(late.OffsetWithinDay(1));
    EXPECT_EQ(late, Make(0, 0, 0, 0, NTSC, 0, 65535));

    // Counts cannot be turned into a timecode without a rate.
    VTimecode noRate = Make(1, 2, 3, 4, PAL, 0, 0);
    EXPECT_FALSE(noRate.FromSubFrameCount(5));
    EXPECT_EQ(noRate.GetHours(), 1) << "unchanged after failure";
    VTimecode unknown = Make(1, 2, 3, 4, 7);
    EXPECT_FALSE(unknown.FromSubFrameCount(5));
}

TEST(Timecode, ArithmeticKeepsTheRateAndLeavesTheDayAsInvalid)
{
    // One sub-frame after the last of the day gives hours 24.
    const VTimecode last = Make(23, 59, 59, 24, PAL, 3, 4);
    EXPECT_EQ(CountOf(last), 8639999u);
    const VTimecode next = last + 1u;
    EXPECT_EQ(next.GetHours(), 24);
    EXPECT_EQ(next.GetMinutes(), 0);
    EXPECT_FALSE(next.IsValid());

    // Before midnight the hours saturate: invalid, never a wrapped valid time.
    const VTimecode before = Make(0, 0, 0, 0, PAL, 0, 4) - 1u;
    EXPECT_FALSE(before.IsValid());
    EXPECT_EQ(before.GetHours(), 255);
    EXPECT_FALSE((Make(0, 0, 0, 0, PAL) + 0xFFFFFFFFu).IsValid());

    const VTimecode start = Make(10, 0, 0, 0, NTSCDrop, 1, 2);
    VTimecode moved = start + 3600u;
    EXPECT_EQ(moved.ToString(true, false), "10:01:00;02(1)");
    EXPECT_EQ(moved.GetStandard(), NTSCDrop);
    EXPECT_EQ(moved.GetSubFramesPerFrame(), 2);
    EXPECT_EQ(moved - 3600u, start);
    EXPECT_EQ(moved.Difference(start), 3600);
    EXPECT_EQ(start.Difference(moved), -3600);
    EXPECT_EQ(moved.Difference(VTimecode()), static_cast<int32_t>(CountOf(moved)))
        << "an invalid side counts 0";

    moved -= 3601u;
    EXPECT_EQ(moved.ToString(true, false), "10:00:00;00(0)");
    moved += 2u;
    EXPECT_EQ(moved.ToString(true, false), "10:00:00;01(0)");

    // Timecode plus timecode adds the counts, with the left side's rate.
    const VTimecode sum = Make(0, 0, 1, 0, PAL, 1, 4) + Make(0, 0, 0, 2, NTSC, 0, 1);
    EXPECT_EQ(sum, Make(0, 0, 1, 0, PAL, 3, 4));
    EXPECT_EQ(Make(0, 0, 1, 0, PAL, 3, 4) - Make(0, 0, 0, 2, PAL, 0, 1),
              Make(0, 0, 1, 0, PAL, 1, 4));
    EXPECT_EQ(VTimecode() + 5u, VTimecode()) << "no rate: the result stays invalid";

    // Ordering needs both sides valid.
    EXPECT_TRUE(Make(0, 0, 0, 1, PAL) < Make(0, 0, 0, 2, PAL));
    EXPECT_FALSE(Make(0, 0, 0, 2, PAL) < Make(0, 0, 0, 2, PAL));
    EXPECT_TRUE(Make(0, 0, 0, 2, PAL) > Make(0, 0, 0, 1, PAL));
    EXPECT_FALSE(VTimecode() < Make(0, 0, 0, 1, PAL));
    EXPECT_FALSE(Make(0, 0, 0, 1, PAL) > VTimecode());
    EXPECT_FALSE(VTimecode() > Make(0, 0, 0, 1, PAL));
}

TEST(Timecode, OffsetWithinDayWrapsAroundMidnight)
{
    VTimecode timecode = Make(0, 0, 0, 0, PAL, 0, 4);
    ASSERT_TRUE(timecode.OffsetWithinDay(-1));
    EXPECT_EQ(timecode.ToString(true, false), "23:59:59.24(3)");
    ASSERT_TRUE(timecode.OffsetWithinDay(2));
    EXPECT_EQ(timecode.ToString(true, false), "00:00:00:00(1)");
    ASSERT_TRUE(timecode.OffsetWithinDay(-3 * static_cast<int64_t>(timecode.SubFramesPerDay())));
    EXPECT_EQ(timecode.ToString(true, false), "00:00:00:00(1)");

    VTimecode drop = Make(0, 0, 0, 0, NTSCDrop);
    ASSERT_TRUE(drop.OffsetWithinDay(-1));
    EXPECT_EQ(drop.ToString(false, false), "23:59:59;29");

    VTimecode invalid;
    EXPECT_FALSE(invalid.OffsetWithinDay(1));
    EXPECT_EQ(VTimecode().SubFramesPerDay(), 0u);
}

TEST(Timecode, EqualityComparesTimeAndRateOnly)
{
    VTimecode a(1, 2, 3, 4, 1, false, PAL, 4, 0x1234);
    VTimecode b(1, 2, 3, 4, 1, true, PAL, 4, 0x9999);
    EXPECT_EQ(a, b) << "SecondField and UserBits are not compared";
    EXPECT_NE(a, VTimecode(1, 2, 3, 4, 2, false, PAL, 4, 0));
    EXPECT_NE(a, VTimecode(1, 2, 3, 4, 1, false, Film, 4, 0));
    EXPECT_NE(a, VTimecode(1, 2, 3, 4, 1, false, PAL, 5, 0));
    EXPECT_NE(a, VTimecode(1, 2, 3, 5, 1, false, PAL, 4, 0));

    EXPECT_TRUE(a.SameRate(b));
    VTimecode c = Make(0, 0, 0, 0, NTSCDrop, 0, 2);
    EXPECT_FALSE(a.SameRate(c));
    c.CopyRate(a);
    EXPECT_TRUE(c.SameRate(a));
    EXPECT_EQ(c.GetStandard(), PAL);
    EXPECT_EQ(c.GetSubFramesPerFrame(), 4);

    // Copying through the interface keeps all nine values.
    const ITimecode& asInterface = b;
    const VTimecode copy(asInterface);
    EXPECT_EQ(copy, b);
    EXPECT_TRUE(copy.GetSecondField());
    EXPECT_EQ(copy.GetUserBits(), 0x9999u);
}

TEST(Timecode, NumericTextRoundTrips)
{
    VTimecode timecode(10, 20, 30, 12, 3, true, NTSCDrop, 4, 0xABCD);
    EXPECT_EQ(timecode.ToText(), "10 20 30 12 3 1 2 4");

    VTimecode read;
    read.SetUserBits(77);
    ASSERT_TRUE(read.FromText(timecode.ToText()));
    EXPECT_EQ(read, timecode);
    EXPECT_TRUE(read.GetSecondField());
    EXPECT_EQ(read.GetUserBits(), 77u) << "user bits are not part of the text";

    // Any white space separates; only 1 means the second field; trailing text is ignored.
    ASSERT_TRUE(read.FromText("\t1\n2  3 4 0 2 3 1\r\nrest"));
    EXPECT_EQ(read, Make(1, 2, 3, 4, Film));
    EXPECT_FALSE(read.GetSecondField());
    ASSERT_TRUE(read.FromText("0 0 0 0 0 0 7 1"));
    EXPECT_EQ(read.GetStandard(), 7u) << "reading does not validate";

    // Refused without changing the value.
    read = timecode;
    for (const char* bad : {"", "1 2 3 4 5 6 7", "1 2 3 4 5 6 7 x", "-1 2 3 4 5 6 7 8",
                            "+1 2 3 4 5 6 7 8", "256 0 0 0 0 0 0 1", "0 0 0 0 65536 0 0 1",
                            "0 0 0 0 0 0 0 65536", "0 0 0 0 0 0 4294967296 1", "1,2,3,4,5,6,7,8"})
    {
        EXPECT_FALSE(read.FromText(bad)) << bad;
        EXPECT_EQ(read.ToText(), timecode.ToText()) << bad;
    }
}

TEST(Timecode, DisplayTextShowsSeparatorsSubFrameAndStandard)
{
    EXPECT_EQ(Make(10, 0, 0, 0, PAL).ToString(true, true), "10:00:00:00(0) [ PAL ]");
    EXPECT_EQ(Make(1, 0, 0, 2, NTSCDrop).ToString(false, true), "01:00:00;02 [ NTSC Drop ]");
    EXPECT_EQ(Make(1, 0, 0, 12, PAL, 3, 4, true).ToString(false, false), "01:00:00.12");
    EXPECT_EQ(Make(1, 0, 0, 12, NTSCDrop, 3, 4, true).ToString(false, false), "01:00:00,12");
    EXPECT_EQ(Make(9, 8, 7, 6, NTSC, 12, 20).ToString(true, true), "09:08:07:06(12) [ NTSC ]");
    EXPECT_EQ(Make(0, 0, 0, 0, Film).ToString(false, true), "00:00:00:00 [ Film ]");
    EXPECT_EQ(Make(0, 0, 0, 0, 4).ToString(false, true),
              "00:00:00:00 [ Unknown Timecode Standard ]");
    // Each field has its own range; frames up to 29 show whatever the standard.
    EXPECT_EQ(Make(24, 60, 59, 29, PAL).ToString(false, false), "??:??:59:29");
    EXPECT_EQ(Make(23, 59, 60, 30, PAL).ToString(false, false), "23:59:??:??");
}

} // namespace
