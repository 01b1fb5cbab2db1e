// Comparison of a trial with a recording of its replay: each recorded frame is checked
// against the trial frame that its number selects, on what the camera stream carries.
#pragma once

#include "tsmtrial/ITrialReader.h"
#include "tsmtrial/TsmtrialCommands.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// What a replay comparison found.
struct VReplayDiffResult
{
    /// Recorded cameras the source does not have, a source without frames, kinds that are
    /// not X2D; nothing is compared then.
    std::vector<std::string> Problems;
    /// Source cameras the recording does not hold (not compared).
    std::vector<std::string> Notes;
    std::uint32_t FramesRecorded = 0;
    /// Frames whose every camera was compared and found equal.
    std::uint32_t FramesCompared = 0;
    /// Frames not compared: camera frames the replay sent empty at a wrap of the trial, or
    /// analogue frames that carried no sample; SkipReason says which.
    std::uint32_t FramesSkipped = 0;
    std::string SkipReason = "sent empty at a wrap of the replay";
    std::uint32_t FramesDifferent = 0;
    /// The first difference: recorded index, its frame number, the source index, and what.
    std::optional<std::uint32_t> FirstIndex;
    std::uint32_t FirstFrameNumber = 0;
    std::uint32_t FirstSourceIndex = 0;
    std::string FirstDifference;

    /// Equal when nothing stood in the way, at least one frame was compared and none
    /// differed.
    bool IsEqual() const { return Problems.empty() && FramesDifferent == 0 && FramesCompared > 0; }
};

/// Checks a recording of a replayed X2D trial against the trial. Recorded frame number n
/// stands for trial frame n mod F (F the trial's frame count), as the replay selects it.
/// Recorded cameras are matched to the trial's by CameraId (the device id of a trial camera).
/// Compared is what the wire carries: centroid x, y and radius at 1/256 pixel and the
/// fraction at 1/256 (the trial's values truncated, as the camera encodes them); tracks,
/// where the recording has them, by Id, Length (16 bits) and Confidence (1/65535); blobs
/// that have segments, in order, with their flag and segments; edges in order. Cameras whose
/// greyscale is framed by protocol 2 (the Wren family) carry no blobs: their segments and
/// edges are compared in the line-then-column order they travel in. A camera frame recorded
/// empty at trial frame 0 (or in a one-frame trial), where the replay wraps and sends no
/// data, is skipped.
///
/// Two X1D trials are compared as the replay of a sync unit: every recorded analogue device
/// against the source's first analogue device (the one the unit replays). Recorded block c
/// holds channel c's N samples of the frame (empty when the channel was not sent); recorded
/// frame number n stands for source frame n mod F, and the expected samples are channel c of
/// that frame resampled to N with the next source frame's first sample after the last
/// (AnalogueResampling::Resample), exactly as the unit computes them; a channel the source
/// lacks is expected as 0. Frames that carried no sample are skipped. Stateless; the readers
/// are used on the caller's thread.
class VReplayDiff
{
public:
    static VReplayDiffResult Compare(ITrialReader& source, ITrialReader& recording);
    /// The X1D comparison described above.
    static VReplayDiffResult CompareAnalogue(ITrialReader& source, ITrialReader& recording);

    /// The first difference of one camera's recorded frame from its source frame, or empty.
    /// `lineOrdered`: the camera's greyscale is protocol 2.
    static std::string CompareCamera(const VTrialCameraFrame& source,
                                     const VTrialCameraFrame& recorded, bool lineOrdered);

    /// True for the device types whose cameras frame their greyscale by protocol 2.
    static bool IsLineOrderedGreyscale(const std::string& deviceType);
};

/// "tsmtrial diff SOURCE RECORDING --replay": runs the comparison and reports it on the
/// console. Returns Tsmtrial::kExitOk when the recording matches, kExitFailure otherwise.
int RunReplayDiff(ITrialReader& source, ITrialReader& recording, const std::string& sourcePath,
                  const std::string& recordingPath, const VTsmtrialConsole& console);
