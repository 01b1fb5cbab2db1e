// The release schedule of a master's frame clock: when each frame may go, at a
// given rate, re-based at every rate change and every five seconds.
#pragma once

#include <chrono>
#include <cstdint>

/// The frame clock's schedule. After a (re-)start at time s with rate r, the
/// frame clock releases its k-th frame (k counted from 1) once
/// trunc((now - s) × r) >= k, that is at s + k / r. The schedule re-bases
/// (s = now, count 0) when a tick finds another rate than the one in force, or
/// when five seconds or more have passed since s. A rate that is not a positive
/// finite number releases nothing.
///
/// Pure arithmetic on the times it is given; it never reads a clock or sleeps.
/// Threading: owned and used by one thread (the sync thread).
class VFramePacer
{
public:
    using Clock = std::chrono::steady_clock;

    /// How long one schedule lasts before it re-bases.
    static constexpr std::chrono::seconds RebasePeriod{5};

    /// The fastest rate the frame clock paces, in hertz. Above it the clock would
    /// never sleep (a tick of a rig with a few devices takes tens of microseconds)
    /// and, at real-time priority, would hold a core until the kernel throttles it;
    /// a MASTER asking for more runs at this rate (VFakeDevice clamps
    /// "SystemFrameRate"), and BeginTick clamps any faster rate it is given.
    static constexpr double MaxRate = 10000.0;

    /// Step 1 of a tick at `now` with the rate read for it: re-bases when `rate`
    /// differs from the rate in force or RebasePeriod has passed, then puts
    /// `rate` in force. Returns whether frames may be released at this rate
    /// (positive and finite); when not, the schedule is cleared and the next
    /// usable rate starts a new one.
    bool BeginTick(Clock::time_point now, double rate);

    /// Whether BeginTick with `rate` would re-base for a change of rate (the rate,
    /// clamped to MaxRate, differs from the one in force).
    bool IsRateChange(double rate) const;

    /// Whether the frame after the ones released so far may go at `now`:
    /// trunc(elapsed seconds × rate) > released count. False without a usable rate.
    bool IsReleaseDue(Clock::time_point now) const;

    /// The earliest time at which IsReleaseDue holds, rounded up to the clock's
    /// tick. Clock::time_point::max() without a usable rate.
    Clock::time_point GetReleaseTime() const;

    /// Counts one released frame.
    void OnReleased() { ++m_Released; }

    double GetRate() const { return m_Rate; }
    uint32_t GetReleasedCount() const { return m_Released; }
    Clock::time_point GetStart() const { return m_Start; }

private:
    static bool IsUsable(double rate);

    Clock::time_point m_Start{};
    double m_Rate = 0.0; // the rate in force; 0 before the first usable tick
    uint32_t m_Released = 0;
};
