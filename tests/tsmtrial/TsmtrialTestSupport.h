// Helpers of the tsmtrial tests: frame snapshots of the generator's frames, and a copy of a
// trial with one centroid moved.
#pragma once

#include "FileIO/ByteCodec.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VStartTimecodeHeader.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DImport.h"
#include "support/FileBytes.h"
#include "support/VTempDir.h"
#include "tsmtrial/TrialSnapshot.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace TsmtrialTest
{

using namespace testsupport;

/// The generator's frames as the tool's snapshot, camera by camera.
inline VTrialFrame Snapshot(std::uint32_t index, std::uint32_t frameNumber,
                            const VCentroidFrame& centroids, const VCentroidTrackFrame& tracks,
                            const VGreyscaleBlobFrame& greyscale, const VEdgePairFrame& edges)
{
    VTrialFrame frame;
    frame.Index = index;
    frame.FrameNumber = frameNumber;
    frame.Ok = true;
    frame.Cameras.resize(centroids.Count());
    for (std::uint32_t d = 0; d < centroids.Count(); ++d)
    {
        VTrialCameraFrame& camera = frame.Cameras[d];
        const VCentroidSet& c = *centroids.GetSetDirect(d);
        camera.Name = c.Name().Str();
        camera.CameraValue = c.GetCameraValue();
        for (std::uint32_t i = 0; i < c.Count(); ++i)
        {
            const ICentroidData* data = nullptr;
            c.GetData(&data, nullptr, nullptr);
            camera.Centroids.push_back(data[i]);
        }
        const VCentroidTrackSet& t = *tracks.GetSetDirect(d);
        const ICentroidTrackData* trackData = nullptr;
        std::uint32_t trackCount = 0;
        t.GetData(&trackData, &trackCount);
        camera.Tracks.assign(trackData, trackData + trackCount);
        const VGreyscaleBlobSet& g = *greyscale.GetSetDirect(d);
        camera.InfoByte = g.GetInfoByte();
        for (std::uint32_t b = 0; b < g.Count(); ++b)
        {
            const IGreyscaleBlobData* blob = nullptr;
            g.GetItemData(b, &blob);
            VTrialBlob out;
            out.Flag = blob->BlobFlag;
            for (std::uint16_t l = 0; l < blob->LineCount; ++l)
            {
                const IGreyscaleLineData& line = blob->Lines[l];
                out.Lines.push_back(
                    {line.Coord0, line.Coord1,
                     std::vector<std::uint8_t>(line.Pixels, line.Pixels + line.PixelCount)});
            }
            camera.Blobs.push_back(out);
        }
        const VEdgePairSet& e = *edges.GetSetDirect(d);
        const IEdgePairData* edgeData = nullptr;
        std::uint32_t edgeCount = 0;
        e.GetData(&edgeData, &edgeCount);
        camera.Edges.assign(edgeData, edgeData + edgeCount);
    }
    return frame;
}

/// Copies the X2D trial `source` to `target`, adding `dx` pixels to X of centroid `centroid`
/// of camera `camera` in frame `frameIndex`. Everything else stays as it was.
inline bool CopyX2DWithMovedCentroid(const std::string& source, const std::string& target,
                                     std::uint32_t frameIndex, std::uint32_t camera,
                                     std::uint32_t centroid, double dx)
{
    VX2DImport reader;
    if (!reader.Open(source, false))
    {
        return false;
    }
    VX2DExportSettings settings;
    settings.Version = reader.GetImpl().GetVersion();
    reader.GetCameraInfo(settings.Cameras, settings.SystemFrameRate);
    if (const auto* header = dynamic_cast<const VStartTimecodeHeader*>(
            reader.GetImpl().GetCustomHeader(VStartTimecodeHeader::kHeaderId)))
    {
        settings.StartTimecode = header->GetText();
    }
    VX2DExport writer;
    if (!writer.Open(target, settings))
    {
        return false;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    for (std::uint32_t i = 0; i < reader.GetImpl().GetIndexTable().Count(); ++i)
    {
        if (!reader.ReadFrame(i, &centroids, &tracks, &greyscale, &edges))
        {
            return false;
        }
        if (i == frameIndex)
        {
            ICentroidData* data = nullptr;
            if (!centroids.GetSetDirect(camera)->GetItemData(centroid, &data))
            {
                return false;
            }
            data->X += dx;
        }
        if (!writer.WriteFrame(reader.GetFrameNumber(i), &centroids, &tracks, &greyscale, &edges))
        {
            return false;
        }
    }
    return writer.Close();
}

} // namespace TsmtrialTest
