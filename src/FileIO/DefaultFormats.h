// The default data formats of the data holders, one per data kind, built once as constants.
#pragma once

#include "FileIO/VDataFormatInfo.h"

#include <cstdint>

/// Format identifiers and default field lists. A holder's format identifier selects the data
/// blocks of a file that it reads; its field list is what it writes with (reading uses the
/// file's own list). The centroid and analogue-block formats share 0xDFAA: they belong to
/// different file types and never meet. The constants are built on first use, thread-safely,
/// and never change.
namespace DefaultFormats
{
constexpr std::uint16_t kCentroidFormatId = 0xDFAA;
constexpr std::uint16_t kCentroidTrackFormatId = 0xDFDD;
constexpr std::uint16_t kGreyscaleBlobFormatId = 0xDFBB;
constexpr std::uint16_t kEdgePairFormatId = 0xDFCC;
constexpr std::uint16_t kCameraFrameInfoFormatId = 0xDFEE;
constexpr std::uint16_t kFrameInfoFormatId = 0xFDDF;
constexpr std::uint16_t kAnalogueBlockFormatId = 0xDFAA;

/// Centroids of a sensor of `width` x `height` pixels: X, Y and Radius in 3 bytes with
/// scales W / 2^24, H / 2^24 and (max(W, H) div 2) / 2^24, Fraction in 2 bytes with scale
/// 1 / 2^16, then a padding field of size 0 and 0 bits.
VDataFormatInfo MakeCentroids(std::uint32_t width, std::uint32_t height);
/// MakeCentroids(0, 0), as the trial readers use it.
const VDataFormatInfo& Centroids();
/// 0xAA00 size 8, 0xAA01 size 4, 0xAA02 size 4.
const VDataFormatInfo& CentroidTracks();
/// 0xBB00 variable, 0xBB01 size 4.
const VDataFormatInfo& GreyscaleBlobs();
/// 0xCC00, 0xCC01, 0xCC02, size 2 each.
const VDataFormatInfo& EdgePairs();
/// 0xCC00 size 1.
const VDataFormatInfo& CameraFrameInfo();
/// No fields.
const VDataFormatInfo& FrameInfo();
/// 0xAA00 variable.
const VDataFormatInfo& AnalogueBlocks();
} // namespace DefaultFormats
