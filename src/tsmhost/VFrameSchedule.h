// When the frames of a rig are due at the host, and which of them came later than a limit.
#pragma once

#include "tsmhost/VFrameSequence.h"

#include <chrono>
#include <cstdint>
#include <optional>

/// The rig's frames are due one frame period apart: frame F at B + F / rate. B starts as the
/// moment the host sent FRAME_NUMBER 0 (frame 0 cannot come earlier), and moves earlier
/// whenever a frame that follows its predecessor arrives earlier than that schedule says (the
/// rig's clock ran ahead of the host's guess). A frame arriving more than the limit after it
/// was due is late. When the numbers jump (a new FRAME_NUMBER, a master that restarted), the
/// schedule is learnt again from the next frame that follows its predecessor. Frames whose
/// place in their stream is unknown (the first of a stream, a jump) are not judged.
///
/// So a device whose frames come late against the others' shows them late, and so does a rig
/// that is late as a whole against the host's sync; a rig late as a whole from the first
/// frame after a jump of the numbers is not seen.
///
/// Threading contract: one thread at a time (the host session's lock). Copyable value type.
class VFrameSchedule
{
public:
    using Clock = std::chrono::steady_clock;

    explicit VFrameSchedule(std::chrono::milliseconds limit = std::chrono::milliseconds(50));

    /// The host sent FRAME_NUMBER 0 at `sent` with the rig at `rate` frames a second.
    void Start(Clock::time_point sent, double rate);
    /// Frame `frame` of some stream arrived at `arrival`; `verdict` is what the stream's
    /// VFrameSequence made of it. True when it is late.
    bool OnFrame(std::uint32_t frame, Clock::time_point arrival, VFrameSequence::EVerdict verdict);

    std::chrono::milliseconds GetLimit() const { return m_Limit; }

private:
    std::chrono::milliseconds m_Limit;
    std::optional<Clock::time_point> m_Sent;
    double m_Rate = 0.0;
    /// B, in seconds after m_Sent; unset while the schedule is learnt again.
    std::optional<double> m_Base;
};
