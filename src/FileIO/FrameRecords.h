// The plain records of the frame data model: one item each of centroids, centroid tracks,
// edge pairs, greyscale lines and blobs, and analogue blocks.
#pragma once

#include <cstdint>

// Plain records: no virtual functions, copied bytewise. The pointers in the greyscale and
// analogue records refer to storage owned by the element or set that holds the record;
// copying such a record copies the pointers, never the bytes.

/// One centroid. X, Y and Radius in sensor pixels; Fraction in [0, 1).
struct ICentroidData
{
    double X = 0.0;
    double Y = 0.0;
    double Radius = 0.0;
    double Fraction = 0.0;
};

/// One centroid's track. Id -1 means "no track".
struct ICentroidTrackData
{
    std::int64_t Id = -1;
    std::uint32_t Length = 0;
    float Confidence = 0.0f;
};

/// One edge pair: three sensor values carried unchanged from file to wire.
struct IEdgePairData
{
    std::uint16_t Coord0 = 0;
    std::uint16_t Coord1 = 0;
    std::uint16_t Coord2 = 0;
};

/// One run of pixels of a blob: Coord0 is the column of its first pixel, Coord1 its line.
/// Pixels is null exactly when PixelCount is 0.
struct IGreyscaleLineData
{
    std::uint16_t Coord0 = 0;
    std::uint16_t Coord1 = 0;
    const std::uint8_t* Pixels = nullptr;
    std::uint16_t PixelCount = 0;
};

/// One greyscale blob. Lines is null exactly when LineCount is 0; BlobFlag is 0 or 1.
struct IGreyscaleBlobData
{
    const IGreyscaleLineData* Lines = nullptr;
    std::uint16_t LineCount = 0;
    std::uint8_t BlobFlag = 0;
};

/// An opaque block of analogue sample bytes. Data is null exactly when Size is 0.
struct IAnalogueBlockData
{
    const std::uint8_t* Data = nullptr;
    std::uint32_t Size = 0;
};
