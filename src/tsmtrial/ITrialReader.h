// The read side of a trial as the tool sees it: header summary and frames by index, whatever
// the file kind (and, later, whatever else delivers frames, such as a replayed stream).
#pragma once

#include "tsmtrial/TrialSnapshot.h"

#include <cstdint>
#include <string>
#include <vector>

/// A source of trial frames. Implementations: VX2DTrialReader, VX1DTrialReader.
/// Not thread-safe: one thread at a time.
class ITrialReader
{
public:
    virtual ~ITrialReader() = default;

    virtual TrialKind GetKind() const = 0;
    /// True when the source could be opened (its header read).
    virtual bool IsOpen() const = 0;
    /// The header summary, with the messages reported so far.
    virtual VTrialInfo GetInfo() const = 0;
    /// Frames available, by index from 0.
    virtual std::uint32_t GetFrameCount() const = 0;
    /// Fills `frame` with frame `index`. Returns what the underlying ReadFrame returned;
    /// `frame` holds whatever was read, also on failure.
    virtual bool ReadFrame(std::uint32_t index, VTrialFrame& frame) = 0;
    /// Every message reported so far, in order.
    virtual const std::vector<std::string>& GetErrors() const = 0;
};
