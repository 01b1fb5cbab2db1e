// Interface of one centroid track; the track family has no Direct interfaces.
#pragma once

#include "FileIO/FrameRecords.h"

/// The track of one centroid. Copied through the copy protocol (CopyTo pushes the record
/// into the target's SetData). Not thread-safe: one thread at a time.
class ICentroidTrack
{
public:
    virtual ~ICentroidTrack() = default;
    /// Copies the record in.
    virtual void SetData(const ICentroidTrackData& data) = 0;
    /// Calls target.SetData with this track's record.
    virtual void CopyTo(ICentroidTrack& target) const = 0;
    /// Copies the record in; returns this track.
    virtual ICentroidTrack& Assign(const ICentroidTrackData& data) = 0;
    /// source.CopyTo(*this); returns this track.
    virtual ICentroidTrack& Assign(const ICentroidTrack& source) = 0;
};
