#include "devices/VFramePacer.h"

#include <algorithm>
#include <cmath>

bool VFramePacer::IsUsable(double rate)
{
    return rate > 0.0 && std::isfinite(rate);
}

bool VFramePacer::BeginTick(Clock::time_point now, double rate)
{
    if (!IsUsable(rate))
    {
        m_Rate = 0.0;
        m_Released = 0;
        return false;
    }
    rate = std::min(rate, MaxRate);
    if (rate != m_Rate || now - m_Start >= RebasePeriod)
    {
        m_Start = now;
        m_Released = 0;
    }
    m_Rate = rate;
    return true;
}

bool VFramePacer::IsRateChange(double rate) const
{
    return (IsUsable(rate) ? std::min(rate, MaxRate) : 0.0) != m_Rate;
}

bool VFramePacer::IsReleaseDue(Clock::time_point now) const
{
    if (!IsUsable(m_Rate))
        return false;
    const double elapsed = std::chrono::duration<double>(now - m_Start).count();
    return std::floor(elapsed * m_Rate) > static_cast<double>(m_Released);
}

VFramePacer::Clock::time_point VFramePacer::GetReleaseTime() const
{
    if (!IsUsable(m_Rate))
        return Clock::time_point::max();
    // Capped so that tiny rates cannot overflow the clock's duration type.
    const double seconds = std::min((static_cast<double>(m_Released) + 1.0) / m_Rate, 1.0e7);
    // The exact quotient is rarely a whole number of clock ticks: start from the
    // nearest tick and settle on the first one at which the release test holds
    // (a step or two at most, for the rounding of the product in that test).
    const auto offset = std::chrono::round<Clock::duration>(std::chrono::duration<double>(seconds));
    Clock::time_point release = m_Start + offset;
    for (int step = 0; step < 8 && !IsReleaseDue(release); ++step)
        release += Clock::duration(1);
    for (int step = 0; step < 8 && IsReleaseDue(release - Clock::duration(1)); ++step)
        release -= Clock::duration(1);
    return release;
}
