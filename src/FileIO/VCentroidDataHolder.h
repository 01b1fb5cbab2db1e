// The centroid data holder: decodes centroid items straight into a centroid set.
#pragma once

#include "FileIO/VCentroidDatum.h"
#include "FileIO/VDataHolderNoCopying.h"
#include "FileIO/VX2DAccessors.h"

#include <cstdint>

/// Centroids, format 0xDFAA. Target: an ICentroidSetDirect (SetTarget).
/// Not thread-safe: used by the reader's thread only.
class VCentroidDataHolder : public VDataHolderNoCopying<VCentroidDatum, VX2DCentroidAccessor>
{
public:
    /// The format's scales follow a sensor of `sensorWidth` x `sensorHeight` pixels; the
    /// trial readers pass 0 and 0 (they decode with the file's field list).
    explicit VCentroidDataHolder(std::uint32_t sensorWidth = 0, std::uint32_t sensorHeight = 0);
};
