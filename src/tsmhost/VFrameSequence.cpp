#include "tsmhost/VFrameSequence.h"

#include <algorithm>
#include <utility>

VFrameSequence::EVerdict VFrameSequence::OnFrame(std::uint32_t frame, std::uint32_t previous)
{
    ++m_Frames;
    const std::optional<std::uint32_t> lastSeen = std::exchange(m_LastSeen, frame);
    if (!m_Last)
    {
        m_Last = frame;
        return EVerdict::First;
    }
    const std::uint32_t last = *m_Last;
    if (frame > last)
    {
        m_Last = frame;
        if (frame == last + 1)
            return EVerdict::InSequence;
        if (previous == last)
        {
            ++m_Jumps;
            return EVerdict::Jump;
        }
        if (previous > last && previous < frame && previous - last <= MaxGap)
        {
            m_Lost += previous - last;
            RememberMissing(last + 1, previous);
            return EVerdict::AfterLoss;
        }
        if (previous < last && frame - last > 1 && frame - last - 1 <= MaxGap)
        {
            // The sender's predecessor is older than what we hold: it was re-numbered while
            // frames between went missing; count the gap.
            m_Lost += frame - last - 1;
            RememberMissing(last + 1, frame - 1);
            return EVerdict::AfterLoss;
        }
        ++m_Jumps;
        return EVerdict::Jump;
    }
    // Below the last frame: the sender continuing from the frame received just before has
    // jumped back (a new frame number, a restart); anything else, and the last frame again,
    // is late or repeated.
    if (frame != last && lastSeen && previous == *lastSeen && frame != *lastSeen)
    {
        m_Last = frame;
        ++m_Jumps;
        return EVerdict::Jump;
    }
    if (ForgetMissing(frame))
        --m_Lost;
    ++m_OutOfOrder;
    return EVerdict::OutOfOrder;
}

void VFrameSequence::Restart()
{
    m_Last.reset();
    m_LastSeen.reset();
    m_Missing.clear();
}

void VFrameSequence::RememberMissing(std::uint32_t first, std::uint32_t last)
{
    // Only the newest ones matter: late datagrams arrive soon or never.
    const std::uint32_t start = last - first + 1 > MissingMemory
                                    ? last - static_cast<std::uint32_t>(MissingMemory) + 1
                                    : first;
    for (std::uint32_t frame = start;; ++frame)
    {
        m_Missing.push_back(frame);
        if (frame == last)
            break;
    }
    while (m_Missing.size() > MissingMemory)
        m_Missing.pop_front();
}

bool VFrameSequence::ForgetMissing(std::uint32_t frame)
{
    const auto found = std::find(m_Missing.begin(), m_Missing.end(), frame);
    if (found == m_Missing.end())
        return false;
    m_Missing.erase(found);
    return true;
}
