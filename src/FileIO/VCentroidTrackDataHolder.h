// The centroid track data holder: decodes track items straight into a track set.
#pragma once

#include "FileIO/DefaultFormats.h"
#include "FileIO/VCentroidTrackDatum.h"
#include "FileIO/VDataHolderNoCopying.h"
#include "FileIO/VX2DAccessors.h"

/// Centroid tracks, format 0xDFDD. Target: an ICentroidTrackSet (SetTarget).
/// Not thread-safe: used by the reader's thread only.
class VCentroidTrackDataHolder
    : public VDataHolderNoCopying<VCentroidTrackDatum, VX2DCentroidTrackAccessor>
{
public:
    VCentroidTrackDataHolder() : VDataHolderNoCopying(DefaultFormats::CentroidTracks()) {}
};
