#include "FileIO/VCentroid.h"

VCentroid& VCentroid::Assign(const ICentroid& source)
{
    source.CopyTo(*this);
    return *this;
}

VCentroid& VCentroid::Assign(const ICentroidDirect& source)
{
    source.CopyTo(*this);
    return *this;
}
