#include "support/TrialWriters.h"

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace testsupport
{

CameraInfoRecord CameraRecord(std::uint32_t id, const std::string& typeName, std::uint32_t width,
                              std::uint32_t height)
{
    CameraInfoRecord record;
    record.CameraId = id;
    record.TypeName = typeName;
    record.SensorWidth = width;
    record.SensorHeight = height;
    return record;
}

bool WriteGeneratedTrial(const std::string& path, const VGeneratedTrialLayout& layout)
{
    const std::uint32_t deviceCount =
        layout.DeviceCount.value_or(static_cast<std::uint32_t>(layout.Cameras.size()));
    VX2DGeneratorSettings settings;
    settings.Cameras = std::max<std::uint32_t>(1, deviceCount);
    settings.Frames = std::max<std::uint32_t>(layout.Frames, 1);
    settings.Rate = layout.Rate;
    settings.Markers = layout.Markers;
    settings.StartTimecode.clear();
    VX2DTrialGenerator generator(settings);
    VX2DExportSettings exportSettings = generator.GetExportSettings();
    exportSettings.Cameras = layout.Cameras;
    exportSettings.DeviceCount = deviceCount;
    // The generator's model sensor fixes the centroid format, whatever the records say.
    exportSettings.Formats = VX2DExport::DefaultFormatList(2352, 1728);
    VX2DExport writer;
    if (!writer.Open(path, exportSettings))
    {
        ADD_FAILURE() << "cannot write " << path << ": " << writer.GetError();
        return false;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    bool ok = true;
    for (std::uint32_t i = 0; i < layout.Frames && ok; ++i)
    {
        const std::uint32_t number = generator.NextFrame(centroids, tracks, greyscale, edges);
        ok = writer.WriteFrame(number, &centroids, &tracks, &greyscale, &edges);
    }
    ok = writer.Close() && ok;
    if (!ok)
        ADD_FAILURE() << "cannot write " << path << ": " << writer.GetError();
    return ok;
}

} // namespace testsupport
