#include "devices/syncunit/VTimecodeSchedule.h"

#include "timecode/ITimecode.h"
#include "timecode/VTimecode.h"

#include <cmath>
#include <cstdlib>

namespace
{
/// The HAL gives the system rate in whole hertz and thousandths, so the rate a device runs at
/// may be off the true one by up to half a thousandth.
constexpr double kRateResolutionHz = 0.0005;

/// The timecode standard that counts the frames of a stream timecode code.
bool CountingStandard(std::uint32_t streamCode, std::uint32_t& standard)
{
    switch (streamCode)
    {
    case VStreamTimecode::Film24:
    case VStreamTimecode::Film23976:
        standard = TimecodeStandard::Film;
        return true;
    case VStreamTimecode::PAL25:
        standard = TimecodeStandard::PAL;
        return true;
    case VStreamTimecode::ATSC30:
    case VStreamTimecode::NTSC2997:
        standard = TimecodeStandard::NTSC;
        return true;
    case VStreamTimecode::NTSCDrop:
        standard = TimecodeStandard::NTSCDrop;
        return true;
    default:
        return false;
    }
}
} // namespace

VTimecodeSchedule::VTimecodeSchedule(const VStreamTimecode& start, double systemFrameRate)
    : m_Start(start)
{
    if (!start.IsValid() || !CountingStandard(start.Standard, m_Standard) ||
        !SyncUnitWire::TimecodeStandardBits(start.Standard, m_StandardBits))
        return;
    if (!(systemFrameRate > 0.0) || !std::isfinite(systemFrameRate))
        return;
    const double ticks = std::trunc(VStreamTimecode::ClockRate / systemFrameRate);
    if (!(ticks >= 1.0))
        return;
    m_TicksPerSystemFrame = static_cast<std::uint32_t>(ticks);

    const std::uint32_t timecodeTicks = VStreamTimecode::TicksPerFrame(start.Standard);
    const double ratio = static_cast<double>(timecodeTicks) / m_TicksPerSystemFrame;
    const auto subFrames = static_cast<std::uint64_t>(std::llround(ratio));
    if (subFrames == 0 || subFrames >= SyncUnitWire::TimecodeMaxSubFrames)
        return;
    const double perFrameTolerance =
        1.0 + std::ceil(m_TicksPerSystemFrame * kRateResolutionHz / systemFrameRate);
    const double mismatch = std::fabs(static_cast<double>(timecodeTicks) -
                                      static_cast<double>(subFrames * m_TicksPerSystemFrame));
    if (mismatch > perFrameTolerance * static_cast<double>(subFrames))
        return;
    m_SubFramesPerFrame = static_cast<std::uint32_t>(subFrames);

    // The start's own position inside its timecode frame, in whole system frames.
    m_StartSubFrame = static_cast<std::uint32_t>(
        (std::uint64_t{start.SubFrameOffset} + m_TicksPerSystemFrame / 2) / m_TicksPerSystemFrame);
    if (m_StartSubFrame >= m_SubFramesPerFrame)
        m_StartSubFrame = m_SubFramesPerFrame - 1;

    const VTimecode counted(start.Hours, start.Minutes, start.Seconds, start.Frames, 0, false,
                            m_Standard, 1, start.UserBits);
    if (!counted.ToSubFrameCount(m_StartCount))
        return;
    m_FramesPerDay = static_cast<std::uint32_t>(counted.SubFramesPerDay());
    m_Usable = m_FramesPerDay > 0;
}

bool VTimecodeSchedule::At(std::uint32_t frame, SyncUnitWire::VTimecodeFields& out) const
{
    if (!m_Usable)
        return false;
    const std::uint64_t elapsed = std::uint64_t{m_StartSubFrame} + frame;
    const std::uint64_t count =
        (std::uint64_t{m_StartCount} + elapsed / m_SubFramesPerFrame) % m_FramesPerDay;
    VTimecode timecode(0, 0, 0, 0, 0, false, m_Standard, 1, m_Start.UserBits);
    if (!timecode.FromSubFrameCount(static_cast<std::uint32_t>(count)))
        return false;
    out.Hours = timecode.GetHours();
    out.Minutes = timecode.GetMinutes();
    out.Seconds = timecode.GetSeconds();
    out.Frames = timecode.GetFrames();
    out.SubFrame = static_cast<std::uint16_t>(elapsed % m_SubFramesPerFrame);
    out.SubFramesPerFrame = static_cast<std::uint16_t>(m_SubFramesPerFrame);
    out.StandardBits = m_StandardBits;
    out.UserBits = m_Start.UserBits;
    return true;
}
