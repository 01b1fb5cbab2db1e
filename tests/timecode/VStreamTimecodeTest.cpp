#include "timecode/VStreamTimecode.h"
#include "timecode/VTimecode.h"

#include "TimecodePrinting.h"

#include <gtest/gtest.h>

namespace
{

VStreamTimecode Record(uint32_t code, unsigned h, unsigned m, unsigned s, unsigned f,
                       uint32_t offset = 0, uint32_t ticksPerSubFrame = 0)
{
    VStreamTimecode record;
    record.Standard = code;
    record.Hours = static_cast<uint8_t>(h);
    record.Minutes = static_cast<uint8_t>(m);
    record.Seconds = static_cast<uint8_t>(s);
    record.Frames = static_cast<uint8_t>(f);
    record.SubFrameOffset = offset;
    record.TicksPerSubFrame = ticksPerSubFrame;
    return record;
}

TEST(StreamTimecode, TicksPerFrameAt135MHz)
{
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(0), 5625000u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(1), 5630625u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(2), 5400000u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(3), 4500000u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(4), 4504500u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(5), 4504500u);
    EXPECT_EQ(VStreamTimecode::TicksPerFrame(6), 0u);
}

TEST(StreamTimecode, ValidityFollowsTheCode)
{
    EXPECT_TRUE(Record(0, 23, 59, 59, 23).IsValid());
    EXPECT_FALSE(Record(1, 0, 0, 0, 24).IsValid());
    EXPECT_TRUE(Record(2, 0, 0, 0, 24).IsValid());
    EXPECT_FALSE(Record(2, 0, 0, 0, 25).IsValid());
    EXPECT_TRUE(Record(3, 0, 0, 0, 29).IsValid());
    EXPECT_FALSE(Record(4, 0, 0, 0, 30).IsValid());
    EXPECT_FALSE(Record(5, 0, 1, 0, 1).IsValid()) << "dropped frame number";
    EXPECT_TRUE(Record(4, 0, 1, 0, 1).IsValid()) << "only code 5 drops numbers";
    EXPECT_TRUE(Record(5, 0, 1, 0, 2).IsValid());
    EXPECT_FALSE(Record(6, 0, 0, 0, 0).IsValid());
    EXPECT_FALSE(Record(2, 24, 0, 0, 0).IsValid());
    EXPECT_FALSE(Record(2, 0, 60, 0, 0).IsValid());
    EXPECT_FALSE(Record(2, 0, 0, 60, 0).IsValid());
    EXPECT_TRUE(Record(2, 0, 0, 0, 0, 5399999).IsValid());
    EXPECT_FALSE(Record(2, 0, 0, 0, 0, 5400000).IsValid()) << "offset beyond the frame";
}

TEST(StreamTimecode, TimecodeConvertsToTheRecord)
{
    VTimecode pal(10, 20, 30, 24, 3, true, TimecodeStandard::PAL, 4, 0xCAFE);
    VStreamTimecode record;
    ASSERT_TRUE(pal.ToStreamTimecode(record));
    EXPECT_EQ(record.Standard, 2u);
    EXPECT_EQ(record.Hours, 10);
    EXPECT_EQ(record.Minutes, 20);
    EXPECT_EQ(record.Seconds, 30);
    EXPECT_EQ(record.Frames, 24);
    EXPECT_EQ(record.UserBits, 0xCAFEu);
    EXPECT_EQ(record.TicksPerSubFrame, 1350000u);
    EXPECT_EQ(record.SubFrameOffset, 4050000u);

    const struct
    {
        uint32_t Standard;
        uint32_t Code;
    } mapping[] = {{TimecodeStandard::PAL, 2},
                   {TimecodeStandard::NTSC, 4},
                   {TimecodeStandard::NTSCDrop, 5},
                   {TimecodeStandard::Film, 0}};
    for (const auto& entry : mapping)
    {
        VTimecode timecode(0, 10, 0, 0, 0, false, entry.Standard, 1, 0);
        ASSERT_TRUE(timecode.ToStreamTimecode(record)) << entry.Standard;
        EXPECT_EQ(record.Standard, entry.Code);
        EXPECT_EQ(record.TicksPerSubFrame, VStreamTimecode::TicksPerFrame(entry.Code));
        EXPECT_EQ(record.SubFrameOffset, 0u);
    }

    // An invalid timecode leaves the record alone.
    const VStreamTimecode before = record;
    EXPECT_FALSE(VTimecode().ToStreamTimecode(record));
    EXPECT_FALSE(
        VTimecode(0, 1, 0, 0, 0, false, TimecodeStandard::NTSCDrop, 1, 0).ToStreamTimecode(record));
    EXPECT_EQ(record, before);
}

TEST(StreamTimecode, RecordConvertsBackToTheTimecode)
{
    // Round trip for each standard at rates whose sub-frames divide the frame's ticks.
    for (uint32_t standard : {TimecodeStandard::PAL, TimecodeStandard::NTSC,
                              TimecodeStandard::NTSCDrop, TimecodeStandard::Film})
    {
        for (uint16_t perFrame : {1, 2, 4, 5})
        {
            const VTimecode timecode(12, 34, 56, 21, static_cast<uint16_t>(perFrame - 1),
                                     perFrame > 2, standard, perFrame, 0x55AA);
            VStreamTimecode record;
            ASSERT_TRUE(timecode.ToStreamTimecode(record));
            VTimecode back;
            ASSERT_TRUE(back.FromStreamTimecode(record));
            EXPECT_EQ(back, timecode) << standard << " " << perFrame;
            EXPECT_EQ(back.GetSecondField(), timecode.GetSecondField());
            EXPECT_EQ(back.GetUserBits(), 0x55AAu);
        }
    }

    // Codes without a standard of their own map to the nearest one.
    VTimecode timecode;
    ASSERT_TRUE(timecode.FromStreamTimecode(Record(1, 1, 2, 3, 4)));
    EXPECT_EQ(timecode.GetStandard(), TimecodeStandard::Film);
    ASSERT_TRUE(timecode.FromStreamTimecode(Record(3, 1, 2, 3, 4)));
    EXPECT_EQ(timecode.GetStandard(), TimecodeStandard::NTSC);

    // A sub-frame that cannot be derived becomes 0 of 1.
    for (uint32_t ticksPerSubFrame : {0u, 7u, 1u})
    {
        ASSERT_TRUE(timecode.FromStreamTimecode(Record(2, 1, 2, 3, 4, 1350000, ticksPerSubFrame)))
            << ticksPerSubFrame;
        EXPECT_EQ(timecode.GetSubFrame(), 0) << ticksPerSubFrame;
        EXPECT_EQ(timecode.GetSubFramesPerFrame(), 1) << "1 tick would need 5400000 sub-frames";
    }
    ASSERT_TRUE(timecode.FromStreamTimecode(Record(2, 1, 2, 3, 4, 1000, 1000)));
    EXPECT_EQ(timecode.GetSubFrame(), 1);
    EXPECT_EQ(timecode.GetSubFramesPerFrame(), 5400);
    EXPECT_FALSE(timecode.GetSecondField());

    // Invalid records change nothing.
    const VTimecode before = timecode;
    EXPECT_FALSE(timecode.FromStreamTimecode(Record(5, 0, 1, 0, 0)));
    EXPECT_FALSE(timecode.FromStreamTimecode(Record(9, 0, 0, 0, 0)));
    EXPECT_FALSE(timecode.FromStreamTimecode(Record(0, 0, 0, 0, 24)));
    EXPECT_EQ(timecode, before);
}

TEST(StreamTimecode, DisplayTextPadsTheSubFrame)
{
    // 100 sub-frames per frame: the index takes two digits.
    EXPECT_EQ(Record(2, 1, 2, 3, 4, 7 * 54000, 54000).ToString(true, true),
              "01:02:03:04(07) [ PAL ]");
    EXPECT_EQ(Record(2, 1, 2, 3, 4, 99 * 54000, 54000).ToString(true, false), "01:02:03.04(99)");
    EXPECT_EQ(Record(5, 1, 2, 3, 4, 3 * 1126125, 1126125).ToString(true, true),
              "01:02:03,04(3) [ NTSC Drop ]");
    EXPECT_EQ(Record(5, 1, 2, 3, 4, 0, 1126125).ToString(true, false), "01:02:03;04(0)");
    EXPECT_EQ(Record(2, 1, 2, 3, 4, 5, 0).ToString(true, false), "01:02:03:04(0)")
        << "no sub-frame to derive";

    EXPECT_EQ(Record(0, 0, 0, 0, 0).ToString(false, true), "00:00:00:00 [ Film ]");
    EXPECT_EQ(Record(1, 0, 0, 0, 0).ToString(false, true), "00:00:00:00 [ Film ]");
    EXPECT_EQ(Record(3, 0, 0, 0, 0).ToString(false, true), "00:00:00:00 [ ATSC ]");
    EXPECT_EQ(Record(4, 0, 0, 0, 0).ToString(false, true), "00:00:00:00 [ NTSC ]");
    EXPECT_EQ(Record(6, 24, 0, 0, 30).ToString(true, true),
              "??:00:00:?\?(0) [ Unknown Timecode Standard ]");
}

} // namespace
