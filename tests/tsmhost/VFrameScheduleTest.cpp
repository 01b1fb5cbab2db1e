// When the rig's frames are due at the host and which came late.
#include "tsmhost/VFrameSchedule.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(FrameSchedule, FramesLaterThanTheLimitAfterTheirDueTimeAreLate)
{
    using V = VFrameSequence::EVerdict;
    VFrameSchedule schedule(100ms);
    const VFrameSchedule::Clock::time_point sync = VFrameSchedule::Clock::now();
    EXPECT_FALSE(schedule.OnFrame(5, sync + 5s, V::InSequence)) << "nothing is due before a sync";

    // At 100 Hz frame f is due f × 10 ms after the FRAME_NUMBER.
    schedule.Start(sync, 100.0);
    EXPECT_FALSE(schedule.OnFrame(0, sync + 5ms, V::First)) << "a first frame is not judged";
    EXPECT_FALSE(schedule.OnFrame(1, sync + 15ms, V::InSequence));
    EXPECT_FALSE(schedule.OnFrame(2, sync + 119ms, V::InSequence)) << "99 ms late is in time";
    EXPECT_TRUE(schedule.OnFrame(3, sync + 131ms, V::InSequence));
    EXPECT_TRUE(schedule.OnFrame(2, sync + 140ms, V::OutOfOrder)) << "late whatever its order";

    // The rig runs ahead of the host's guess: the schedule follows it.
    EXPECT_FALSE(schedule.OnFrame(100, sync + 900ms, V::InSequence));
    EXPECT_TRUE(schedule.OnFrame(101, sync + 1011ms, V::InSequence)) << "101 ms after 910 ms";

    // After a jump of the numbers the schedule is learnt again from the next frame.
    EXPECT_FALSE(schedule.OnFrame(0, sync + 5s, V::Jump));
    EXPECT_FALSE(schedule.OnFrame(1, sync + 5010ms, V::InSequence));
    EXPECT_FALSE(schedule.OnFrame(2, sync + 5100ms, V::InSequence));
    EXPECT_TRUE(schedule.OnFrame(3, sync + 5200ms, V::AfterLoss));
}
