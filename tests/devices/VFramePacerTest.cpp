// The frame clock's release schedule, on made-up times.
#include "devices/VFramePacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::chrono_literals;
using Clock = VFramePacer::Clock;

namespace
{

const Clock::time_point kStart = Clock::time_point(1h);

/// Releases frames at their release times and returns those times, from `start`.
std::vector<Clock::duration> ReleaseTimes(VFramePacer& pacer, double rate, int count)
{
    std::vector<Clock::duration> times;
    Clock::time_point now = kStart;
    for (int i = 0; i < count; ++i)
    {
        pacer.BeginTick(now, rate);
        now = pacer.GetReleaseTime();
        EXPECT_TRUE(pacer.IsReleaseDue(now));
        EXPECT_FALSE(pacer.IsReleaseDue(now - Clock::duration(1))) << "released early";
        pacer.OnReleased();
        times.push_back(now - kStart);
    }
    return times;
}

} // namespace

TEST(FramePacer, ReleasesFrameKOnceElapsedTimesRateExceedsK)
{
    VFramePacer pacer;
    const std::vector<Clock::duration> times = ReleaseTimes(pacer, 100.0, 5);
    EXPECT_EQ(times, (std::vector<Clock::duration>{10ms, 20ms, 30ms, 40ms, 50ms}));
    EXPECT_EQ(pacer.GetReleasedCount(), 5u);

    // A rate that does not divide the clock's tick: each release is the first
    // tick at which trunc(elapsed × rate) has grown.
    VFramePacer odd;
    for (const Clock::duration& time : ReleaseTimes(odd, 2000.0 / 3.0, 50))
        EXPECT_LE(time.count() % 1500000, 1) << "releases sit on multiples of 1.5 ms";
    VFramePacer fast;
    const std::vector<Clock::duration> fastTimes = ReleaseTimes(fast, 2000.0, 2000);
    EXPECT_EQ(fastTimes.back(), 1s);
}

TEST(FramePacer, RebasesAtARateChangeAndEveryFiveSeconds)
{
    VFramePacer pacer;
    pacer.BeginTick(kStart, 50.0);
    for (int i = 0; i < 10; ++i)
        pacer.OnReleased();
    // Same rate, within five seconds: the schedule goes on.
    pacer.BeginTick(kStart + 4999ms, 50.0);
    EXPECT_EQ(pacer.GetStart(), kStart);
    EXPECT_EQ(pacer.GetReleasedCount(), 10u);
    // A new rate starts a new schedule at once: no burst to catch up.
    pacer.BeginTick(kStart + 5ms, 100.0);
    EXPECT_EQ(pacer.GetStart(), kStart + 5ms);
    EXPECT_EQ(pacer.GetReleasedCount(), 0u);
    EXPECT_EQ(pacer.GetReleaseTime(), kStart + 15ms);
    EXPECT_FALSE(pacer.IsReleaseDue(kStart + 14ms));
    // Five seconds after the start, the schedule re-bases, rate unchanged.
    pacer.OnReleased();
    pacer.BeginTick(kStart + 5ms + 5s, 100.0);
    EXPECT_EQ(pacer.GetStart(), kStart + 5ms + 5s);
    EXPECT_EQ(pacer.GetReleasedCount(), 0u);
    EXPECT_EQ(pacer.GetRate(), 100.0);
}

TEST(FramePacer, ReleasesNothingWithoutAPositiveRate)
{
    VFramePacer pacer;
    for (double rate : {0.0, -5.0, std::nan(""), std::numeric_limits<double>::infinity()})
    {
        EXPECT_FALSE(pacer.BeginTick(kStart, rate)) << rate;
        EXPECT_FALSE(pacer.IsReleaseDue(kStart + 1h)) << rate;
        EXPECT_EQ(pacer.GetReleaseTime(), Clock::time_point::max()) << rate;
    }
    // A usable rate afterwards starts a schedule from that tick.
    EXPECT_TRUE(pacer.BeginTick(kStart + 3s, 10.0));
    EXPECT_EQ(pacer.GetStart(), kStart + 3s);
    EXPECT_EQ(pacer.GetReleaseTime(), kStart + 3s + 100ms);
    // A tiny rate cannot overflow the release time.
    EXPECT_TRUE(pacer.BeginTick(kStart, 1e-30));
    EXPECT_GT(pacer.GetReleaseTime(), kStart + 1000h);
}

TEST(FramePacer, RatesBeyondWhatItPacesAreClamped)
{
    VFramePacer pacer;
    const auto start = VFramePacer::Clock::now();
    ASSERT_TRUE(pacer.BeginTick(start, 4294967295.0 + 4294967.295));
    EXPECT_EQ(pacer.GetRate(), VFramePacer::MaxRate);
    EXPECT_FALSE(pacer.IsRateChange(1.0e6)) << "another rate beyond the ceiling is the same";
    EXPECT_TRUE(pacer.IsRateChange(100.0));
    EXPECT_TRUE(pacer.IsRateChange(0.0));
    // At most one frame per 100 us.
    EXPECT_EQ(pacer.GetReleaseTime() - start, std::chrono::microseconds(100));
}
