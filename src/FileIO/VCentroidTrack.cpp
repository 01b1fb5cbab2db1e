#include "FileIO/VCentroidTrack.h"

VCentroidTrack& VCentroidTrack::Assign(const ICentroidTrackData& data)
{
    m_Data = data;
    return *this;
}

VCentroidTrack& VCentroidTrack::Assign(const ICentroidTrack& source)
{
    source.CopyTo(*this);
    return *this;
}
