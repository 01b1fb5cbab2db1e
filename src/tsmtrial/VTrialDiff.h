// Comparison of two trials: their headers, then frame by frame, stopping at the first frame
// that differs.
#pragma once

#include "tsmtrial/ITrialReader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// What a comparison found.
struct VTrialDiffResult
{
    /// Differences of the headers (cameras, rate, timecode, counts, ...), one text each.
    std::vector<std::string> HeaderDifferences;
    /// Differences of the container that do not make the trials differ (version, formats).
    std::vector<std::string> Notes;
    /// The first frame index whose contents differ, and what differs there.
    std::optional<std::uint32_t> FirstFrameIndex;
    std::string FrameDifference;
    /// Frames compared (up to and including the first differing one).
    std::uint32_t FramesCompared = 0;

    bool IsEqual() const { return HeaderDifferences.empty() && !FirstFrameIndex; }
};

/// Compares two trial sources. The sources are any ITrialReader, so a replayed stream can be
/// compared with its file by giving a reader of the received frames as one side. Exact
/// comparison: doubles must be equal bit for bit in value (0.0 and -0.0 count as equal),
/// greyscale pixels byte for byte. Stateless; the readers are used on the caller's thread.
class VTrialDiff
{
public:
    /// Compares headers, then frames 0, 1, ... of both sides up to the shorter one's count.
    static VTrialDiffResult Compare(ITrialReader& first, ITrialReader& second);

    /// The differences of two header summaries; container-only differences go to `notes`.
    static std::vector<std::string> CompareInfo(const VTrialInfo& first, const VTrialInfo& second,
                                                std::vector<std::string>& notes);

    /// The first difference of two frames as text ("camera 2 (zt:3): centroid 1 x: 1 vs 2"),
    /// or empty when they are equal. Frame number and read result count too.
    static std::string CompareFrames(const VTrialFrame& first, const VTrialFrame& second);
};
