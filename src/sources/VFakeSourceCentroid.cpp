#include "sources/VFakeSourceCentroid.h"

#include "sources/IFakeSourceParams.h"

namespace
{
/// The fourth value of every synthetic record (25600 on the wire).
constexpr double SyntheticFraction = 100.0;
/// Radius of the "Grid" pattern.
constexpr double PlainGridRadius = 2.0;
} // namespace

VCentroidGridSettings VCentroidGridSettings::Read(const IFakeSourceParams& params)
{
    VCentroidGridSettings settings;
    params.ReadParam("CentroidsX", settings.CentroidsX);
    params.ReadParam("CentroidsY", settings.CentroidsY);
    params.ReadParam("SensorWidth", settings.SensorWidth);
    params.ReadParam("SensorHeight", settings.SensorHeight);
    params.ReadParam("MaxThreshold", settings.MaxThreshold);
    params.ReadParam("MinThreshold", settings.MinThreshold);
    params.ReadParam("Threshold", settings.Threshold);
    params.ReadParam("GridType", settings.GridType);
    params.ReadParam("Strobe", settings.Strobe);
    return settings;
}

VFakeSourceCentroid::VFakeSourceCentroid(const IFakeSourceParams& params,
                                         const VFakeSourceTarget& target)
    : VFakeSource(target), m_Params(params)
{
}

std::optional<VCentroidGrid> VFakeSourceCentroid::ComputeGrid(const VCentroidGridSettings& s)
{
    if (s.CentroidsX < 1 || s.CentroidsX > MaxCentroidsPerAxis || s.CentroidsY < 1 ||
        s.CentroidsY > MaxCentroidsPerAxis)
    {
        return std::nullopt;
    }
    if (s.MaxThreshold <= s.MinThreshold || s.Threshold < s.MinThreshold ||
        s.Threshold > s.MaxThreshold)
    {
        return std::nullopt;
    }
    if (s.SensorWidth < 0 || s.SensorHeight < 0)
    {
        return std::nullopt;
    }
    const std::uint64_t nx = static_cast<std::uint64_t>(s.CentroidsX);
    const std::uint64_t ny = static_cast<std::uint64_t>(s.CentroidsY);
    const std::uint64_t width = static_cast<std::uint64_t>(s.SensorWidth);
    const std::uint64_t height = static_cast<std::uint64_t>(s.SensorHeight);
    if (width / nx < 2)
    {
        return std::nullopt; // the column step would wrap below zero
    }

    // 64-bit intermediates: the thresholds span up to 2^32 and the height times 3 exceeds 32
    // bits for the largest heights. Each result fits 32 bits.
    const std::uint64_t thresholdSpan =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(s.MaxThreshold) - s.MinThreshold);
    const std::uint64_t aboveThreshold =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(s.MaxThreshold) - s.Threshold);

    VCentroidGrid grid;
    grid.Columns = static_cast<std::uint32_t>(nx);
    grid.Rows = static_cast<std::uint32_t>(aboveThreshold * ny / thresholdSpan);
    grid.RowStep = static_cast<std::uint32_t>(3 * height / (4 * ny));
    grid.ColumnStep = static_cast<std::uint32_t>(width / nx - 2);
    grid.ShowsFrameNumber = s.GridType == 0;
    if (grid.ShowsFrameNumber)
    {
        // The strobe level is taken as an unsigned number, as every grid quantity.
        grid.Radius = static_cast<double>(static_cast<std::uint32_t>(s.Strobe) / 80 + 3);
        grid.HalfRow = grid.RowStep / 2;
    }
    else
    {
        grid.Radius = PlainGridRadius;
    }
    return grid;
}

void VFakeSourceCentroid::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                    std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    const std::optional<VCentroidGrid> grid = ComputeGrid(VCentroidGridSettings::Read(m_Params));

    m_Writer.BeginFrame(GetSink());
    if (grid)
    {
        // 64-bit positions: (column + 1) × step cannot wrap for any sensor width.
        for (std::uint64_t row = 0; row < grid->Rows; ++row)
        {
            const std::uint64_t baseY = (row + 1) * grid->RowStep;
            for (std::uint32_t column = 0; column < grid->Columns; ++column)
            {
                const std::uint64_t x = (column + std::uint64_t{1}) * grid->ColumnStep;
                std::uint64_t y = baseY;
                if (grid->ShowsFrameNumber && ((frame >> (column % 32)) & 1u) == 0)
                {
                    y += grid->HalfRow;
                }
                m_Writer.AddCentroid(static_cast<double>(x), static_cast<double>(y), grid->Radius,
                                     SyntheticFraction);
            }
        }
    }
    CentroidFrameInfo info;
    info.DeviceId = GetDeviceId();
    info.FrameNumber = frame;
    info.PreviousFrame = previous;
    info.ReportCentroidCount = false;
    info.TrackingOn = false;
    bytesSent = m_Writer.EndFrame(info);
}
