// How the trial-file sources map the system's endless frame numbers onto the frames of a
// trial, which they replay in a loop.
#pragma once

#include <cstdint>
#include <optional>

/// The trial frames that a system frame and its predecessor replay.
struct VTrialFrameMapping
{
    /// Trial frame of the system frame: frame mod frame count.
    std::uint32_t Index = 0;
    /// Trial frame of the previous system frame: previous mod frame count.
    std::uint32_t PreviousIndex = 0;

    /// The trial index did not advance: the replay went past the last trial frame, or the
    /// frame number stood still or went back. Every frame of a one-frame trial is a wrap.
    bool IsWrap() const { return Index <= PreviousIndex; }

    /// The mapping of `frame` and `previous` onto a trial of `frameCount` frames; nothing for
    /// a trial without frames (whose sources send frames without data).
    static std::optional<VTrialFrameMapping> Map(std::uint32_t frame, std::uint32_t previous,
                                                 std::uint32_t frameCount)
    {
        if (frameCount == 0)
        {
            return std::nullopt;
        }
        return VTrialFrameMapping{frame % frameCount, previous % frameCount};
    }
};
