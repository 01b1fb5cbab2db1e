// Follows the frame numbers of one stream's frame ends and counts the frames that went
// missing, arrived late or came twice, telling those apart from the sender's own jumps.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>

/// Each frame end names its frame and the frame its sender produced just before. A frame end
/// whose predecessor is the last frame seen continues the stream, even across a jump of the
/// numbers (a new FRAME_NUMBER, a restarted device): nothing is lost. A frame end whose
/// predecessor lies between the last frame seen and itself shows frames that were sent and
/// not received: those are lost. The last frame again, or a frame below it that does not
/// continue the frame received just before, is out of order; when it is one counted as lost (a late
/// arrival), it stops counting as lost. A jump whose gap exceeds MaxGap counts as a jump.
///
/// Threading contract: one thread at a time. Copyable value type.
class VFrameSequence
{
public:
    static constexpr std::uint32_t MaxGap = 1000000;
    /// Lost frame numbers remembered for late arrivals.
    static constexpr std::size_t MissingMemory = 256;

    enum class EVerdict : std::uint8_t
    {
        First,      ///< the stream's first frame
        InSequence, ///< the next frame
        Jump,       ///< the sender's own jump (or a restart): nothing lost
        AfterLoss,  ///< frames went missing before this one
        OutOfOrder, ///< late, or a duplicate
    };

    EVerdict OnFrame(std::uint32_t frame, std::uint32_t previous);
    /// Forgets the stream's position (the device restarted); counters stay.
    void Restart();

    std::uint64_t GetFrames() const { return m_Frames; }
    std::uint64_t GetLost() const { return m_Lost; }
    std::uint64_t GetOutOfOrder() const { return m_OutOfOrder; }
    std::uint64_t GetJumps() const { return m_Jumps; }
    std::optional<std::uint32_t> GetLastFrame() const { return m_Last; }

private:
    void RememberMissing(std::uint32_t first, std::uint32_t last);
    bool ForgetMissing(std::uint32_t frame);

    std::optional<std::uint32_t> m_Last;     // highest frame of the current run
    std::optional<std::uint32_t> m_LastSeen; // the frame received just before
    std::deque<std::uint32_t> m_Missing;     // frames counted lost, newest last
    std::uint64_t m_Frames = 0;
    std::uint64_t m_Lost = 0;
    std::uint64_t m_OutOfOrder = 0;
    std::uint64_t m_Jumps = 0;
};
