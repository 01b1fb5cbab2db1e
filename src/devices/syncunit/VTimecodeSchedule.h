// Which timecode a sync unit stamps on each system frame: the start timecode advanced by the
// frame number, counted in whole system frames per timecode frame.
#pragma once

#include "devices/syncunit/SyncUnitDatagrams.h"
#include "timecode/VStreamTimecode.h"

#include <cstdint>

/// The timecode of system frame f for a start timecode and a system frame rate.
///
/// A timecode frame spans m system frames. With T = trunc(135000000 / rate) ticks per system
/// frame and P the ticks of one timecode frame of the start's standard, m = round(P / T). The
/// rates fit when P is within a few ticks per system frame of m × T: the truncation of T (up
/// to a tick) plus what the HAL's rate, given to a thousandth of a hertz, may be off by. Then
/// frame f shows timecode frame start + (k0 + f) div m and sub-frame k = (k0 + f) mod m, where
/// k0 is the start's own sub-frame (its offset in system frames). Counting in whole system
/// frames keeps rates such as 119.88 Hz against 29.97 timecode (P = 4504500, m × T = 4504504)
/// from drifting a tick per frame; for rates that divide exactly (PAL at 100 Hz) it is the
/// same as counting in ticks. Each frame's timecode is computed afresh from the start in
/// 64-bit counts and wraps within the day.
///
/// A plain value, computed from its inputs; any thread.
class VTimecodeSchedule
{
public:
    /// Sets up the schedule; see IsUsable.
    VTimecodeSchedule(const VStreamTimecode& start, double systemFrameRate);

    /// False when nothing can be sent: an invalid start, an unknown standard, a rate that is
    /// not positive or gives a frame shorter than one tick, a timecode frame shorter than a
    /// system frame, rates that do not fit (see the class comment), or more system frames
    /// per timecode frame than the datagram can say.
    bool IsUsable() const { return m_Usable; }
    /// m, system frames per timecode frame (0 when not usable).
    std::uint32_t GetSubFramesPerFrame() const { return m_SubFramesPerFrame; }
    /// T, ticks of one system frame.
    std::uint32_t GetTicksPerSystemFrame() const { return m_TicksPerSystemFrame; }

    /// The timecode fields of system frame `frame` (time fields, sub-frame, m, standard bits,
    /// user bits; device and frame numbers are left to the caller). False when not usable.
    bool At(std::uint32_t frame, SyncUnitWire::VTimecodeFields& out) const;

private:
    VStreamTimecode m_Start;
    bool m_Usable = false;
    std::uint32_t m_TicksPerSystemFrame = 0;
    std::uint32_t m_SubFramesPerFrame = 0;
    std::uint32_t m_StartSubFrame = 0; // k0
    std::uint32_t m_StartCount = 0;    // timecode frames since midnight of the start
    std::uint32_t m_FramesPerDay = 0;
    std::uint32_t m_Standard = 0; // TimecodeStandard of the start
    std::uint16_t m_StandardBits = 0;
};
