#include "FileIO/VCentroidDataHolder.h"

#include "FileIO/DefaultFormats.h"

VCentroidDataHolder::VCentroidDataHolder(std::uint32_t sensorWidth, std::uint32_t sensorHeight)
    : VDataHolderNoCopying(sensorWidth == 0 && sensorHeight == 0
                               ? DefaultFormats::Centroids()
                               : DefaultFormats::MakeCentroids(sensorWidth, sensorHeight))
{
}
