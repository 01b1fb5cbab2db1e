#include "FileIO/DefaultFormats.h"

#include <algorithm>
#include <cmath>

namespace DefaultFormats
{

VDataFormatInfo MakeCentroids(std::uint32_t width, std::uint32_t height)
{
    const double unit = std::ldexp(1.0, -24);
    VDataFormatInfo format(kCentroidFormatId);
    format.AddFieldWithScale(0xAA00, 3, static_cast<float>(width * unit));
    format.AddFieldWithScale(0xAA01, 3, static_cast<float>(height * unit));
    format.AddFieldWithScale(0xAA02, 3, static_cast<float>((std::max(width, height) / 2) * unit));
    format.AddFieldWithScale(0xAA03, 2, static_cast<float>(std::ldexp(1.0, -16)));
    // Padding of (8 - 1) div 8 = 0 bytes for 0 bits.
    format.AddFieldWithU32(0xAA04, 0, 0);
    return format;
}

const VDataFormatInfo& Centroids()
{
    static const VDataFormatInfo format = MakeCentroids(0, 0);
    return format;
}

const VDataFormatInfo& CentroidTracks()
{
    static const VDataFormatInfo format = []
    {
        VDataFormatInfo built(kCentroidTrackFormatId);
        built.AddField(0xAA00, 8);
        built.AddField(0xAA01, 4);
        built.AddField(0xAA02, 4);
        return built;
    }();
    return format;
}

const VDataFormatInfo& GreyscaleBlobs()
{
    static const VDataFormatInfo format = []
    {
        VDataFormatInfo built(kGreyscaleBlobFormatId);
        built.AddField(0xBB00, VDataFormatField::kVariableSize);
        built.AddField(0xBB01, 4);
        return built;
    }();
    return format;
}

const VDataFormatInfo& EdgePairs()
{
    static const VDataFormatInfo format = []
    {
        VDataFormatInfo built(kEdgePairFormatId);
        built.AddField(0xCC00, 2);
        built.AddField(0xCC01, 2);
        built.AddField(0xCC02, 2);
        return built;
    }();
    return format;
}

const VDataFormatInfo& CameraFrameInfo()
{
    static const VDataFormatInfo format = []
    {
        VDataFormatInfo built(kCameraFrameInfoFormatId);
        built.AddField(0xCC00, 1);
        return built;
    }();
    return format;
}

const VDataFormatInfo& FrameInfo()
{
    static const VDataFormatInfo format(kFrameInfoFormatId);
    return format;
}

const VDataFormatInfo& AnalogueBlocks()
{
    static const VDataFormatInfo format = []
    {
        VDataFormatInfo built(kAnalogueBlockFormatId);
        built.AddField(0xAA00, VDataFormatField::kVariableSize);
        return built;
    }();
    return format;
}

} // namespace DefaultFormats
