#include "tsmhost/VFrameSchedule.h"

VFrameSchedule::VFrameSchedule(std::chrono::milliseconds limit) : m_Limit(limit) {}

void VFrameSchedule::Start(Clock::time_point sent, double rate)
{
    m_Sent = sent;
    m_Rate = rate;
    m_Base = 0.0;
}

bool VFrameSchedule::OnFrame(std::uint32_t frame, Clock::time_point arrival,
                             VFrameSequence::EVerdict verdict)
{
    using EVerdict = VFrameSequence::EVerdict;
    if (!m_Sent || m_Rate <= 0.0)
        return false;
    if (verdict == EVerdict::Jump)
    {
        m_Base.reset();
        return false;
    }
    if (verdict == EVerdict::First)
        return false;
    // When this frame would have been due with B = 0, in seconds after the sync.
    const double offset = std::chrono::duration<double>(arrival - *m_Sent).count() -
                          static_cast<double>(frame) / m_Rate;
    if (verdict == EVerdict::InSequence && (!m_Base || offset < *m_Base))
        m_Base = offset;
    if (!m_Base)
        return false;
    return offset - *m_Base > std::chrono::duration<double>(m_Limit).count();
}
