// The synthetic centroid source: a grid of centroids computed from the camera's parameters
// that, in its default pattern, shows the frame number in binary.
#pragma once

#include "devices/camerawire/VCentroidStreamWriter.h"
#include "sources/VFakeSource.h"

#include <cstdint>
#include <optional>

class IFakeSourceParams;

/// The camera parameters the grid is computed from, with the parameters' defaults.
struct VCentroidGridSettings
{
    std::int32_t CentroidsX = 25;    ///< "CentroidsX"
    std::int32_t CentroidsY = 25;    ///< "CentroidsY"
    std::int32_t SensorWidth = 0;    ///< "SensorWidth"
    std::int32_t SensorHeight = 0;   ///< "SensorHeight"
    std::int32_t MaxThreshold = 255; ///< "MaxThreshold"
    std::int32_t MinThreshold = 0;   ///< "MinThreshold"
    std::int32_t Threshold = 128;    ///< "Threshold"
    std::int32_t GridType = 0;       ///< "GridType": 0 "Frame number", any other "Grid"
    std::int32_t Strobe = 500;       ///< "Strobe"

    /// Reads every field from the camera; a key that cannot be read keeps its default.
    static VCentroidGridSettings Read(const IFakeSourceParams& params);
};

/// The geometry of one frame's grid.
struct VCentroidGrid
{
    std::uint32_t Columns = 0;    ///< centroids per row ("CentroidsX")
    std::uint32_t Rows = 0;       ///< rows shown at this threshold
    std::uint32_t ColumnStep = 0; ///< x of column c is (c + 1) × ColumnStep
    std::uint32_t RowStep = 0;    ///< y of row r is (r + 1) × RowStep
    double Radius = 0.0;
    /// "Frame number" pattern: a column whose bit of the frame number is 0 is lowered by
    /// HalfRow.
    bool ShowsFrameNumber = false;
    std::uint32_t HalfRow = 0;

    /// Records in the frame.
    std::uint32_t Count() const { return Rows * Columns; }
};

/// `VFakeSourceCentroid`: per frame, the records of the grid row by row from the top, each
/// row from left to right (fourth value 100.0), in datagrams of at most 87 records, then the
/// trailer (stream kind 2, byte count 16 per record, centroid count and tracking 0).
///
/// Settings that would make the grid arithmetic divide by zero or wrap around send a frame
/// without records (the trailer alone): "CentroidsX" or "CentroidsY" not from 1 to 50 (the
/// parameters' range), "MaxThreshold" not above "MinThreshold", "Threshold" outside
/// "MinThreshold" to "MaxThreshold", a negative sensor size, or a sensor narrower than 2
/// pixels per column.
///
/// Threading contract: that of VFakeSource; the parameters are read through `params` on the
/// frame thread. Keeps no state between frames. Not copyable.
class VFakeSourceCentroid : public VFakeSource
{
public:
    /// Largest "CentroidsX" and "CentroidsY": the parameters' own range.
    static constexpr std::int32_t MaxCentroidsPerAxis = 50;

    /// `params` reads the camera's parameters and must outlive the source.
    VFakeSourceCentroid(const IFakeSourceParams& params, const VFakeSourceTarget& target);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

    /// The grid of `settings`, or nothing when the settings cannot make one (see the class
    /// comment). All quantities are whole numbers and every division truncates.
    static std::optional<VCentroidGrid> ComputeGrid(const VCentroidGridSettings& settings);

private:
    const IFakeSourceParams& m_Params;
    VCentroidStreamWriter m_Writer;
};
