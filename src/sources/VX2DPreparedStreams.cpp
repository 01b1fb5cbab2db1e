#include "sources/VX2DPreparedStreams.h"

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/VByteStringSink.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"

#include <array>
#include <span>

namespace
{
constexpr std::uint32_t ProgressInterval = 100;
constexpr std::size_t StreamsPerCamera = 2;
constexpr std::uint32_t CentroidStream = 0;
constexpr std::uint32_t GreyscaleStream = 1;

/// Appends the centroid string of one camera's frame: centroid and track records in pairs,
/// then the trailer.
void AppendCentroidString(std::vector<std::uint8_t>& out, std::uint32_t deviceId,
                          std::uint32_t frameNumber, const VCentroidSet* centroids,
                          const VCentroidTrackSet* tracks)
{
    const ICentroidData* centroidData = nullptr;
    std::uint32_t centroidCount = 0;
    if (centroids != nullptr)
    {
        centroids->GetData(&centroidData, &centroidCount, nullptr);
    }
    const ICentroidTrackData* trackData = nullptr;
    std::uint32_t trackCount = 0;
    if (tracks != nullptr)
    {
        tracks->GetData(&trackData, &trackCount);
    }

    std::array<std::uint8_t, CentroidRecord::Size + TrackRecord::Size> pair{};
    for (std::uint32_t i = 0; i < centroidCount; ++i)
    {
        CentroidRecord::Encode(pair.data(), centroidData[i]);
        const ICentroidTrackData track = i < trackCount ? trackData[i] : ICentroidTrackData{};
        TrackRecord::Encode(pair.data() + CentroidRecord::Size, i, track);
        out.insert(out.end(), pair.begin(), pair.end());
    }

    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindCentroid;
    trailer.DeviceId = deviceId;
    trailer.FrameNumber = frameNumber;
    trailer.ByteCount = static_cast<std::uint32_t>(pair.size()) * centroidCount;
    trailer.CentroidCount = centroidCount;
    trailer.PreviousFrame = frameNumber == 0 ? 0 : frameNumber - 1;
    trailer.Tracking = FrameTrailer::TrackingOn;
    std::array<std::uint8_t, FrameTrailer::Size> bytes{};
    trailer.Encode(bytes.data());
    out.insert(out.end(), bytes.begin(), bytes.end());
}
} // namespace

const char* VX2DPreparedStreams::TypeNameFromSensorSize(std::uint32_t width, std::uint32_t height)
{
    if (width == 659 && height == 494)
    {
        return "KS1A";
    }
    if (width == 1280 && height == 1024)
    {
        return "KS2A";
    }
    if (width == 1600 && height == 1280)
    {
        return "KS3A";
    }
    if (width == 2352 && height == 1728)
    {
        return "KS4A";
    }
    return "";
}

std::shared_ptr<VX2DPreparedStreams>
VX2DPreparedStreams::Prepare(VX2DHolder& trial, const VPreparedStreamSettings& settings,
                             std::FILE* console)
{
    std::shared_ptr<VX2DPreparedStreams> streams(new VX2DPreparedStreams());
    streams->m_Settings = settings;
    trial.GetCameraInfo(streams->m_Cameras, streams->m_SystemFrameRate);
    for (CameraInfoRecord& camera : streams->m_Cameras)
    {
        if (camera.TypeName.empty())
        {
            camera.TypeName = TypeNameFromSensorSize(camera.SensorWidth, camera.SensorHeight);
        }
    }
    const std::uint32_t frameCount = trial.GetFrameCount();
    const std::uint32_t cameraCount = streams->GetCameraCount();
    streams->m_FrameCount = frameCount;
    if (console != nullptr)
    {
        std::fprintf(console, "Preparing to buffer %u frames \n%u cameras \n", frameCount,
                     cameraCount);
        std::fflush(console);
    }

    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame blobs;
    VEdgePairFrame edges;
    VGreyscaleStreamAssembler assembler;
    VByteStringSink greyscale;
    std::vector<std::uint8_t>& bytes = streams->m_Bytes;
    for (std::uint32_t k = 0; k < frameCount; ++k)
    {
        if (console != nullptr && k % ProgressInterval == 0)
        {
            std::fprintf(console, "Reading frame %u/%u\n", k, frameCount);
            std::fflush(console);
        }
        // Emptied first, so that a frame that cannot be found leaves nothing of the last one.
        centroids.Resize(0);
        tracks.Resize(0);
        blobs.Resize(0);
        edges.Resize(0);
        trial.ReadFrame(k, &centroids, &tracks, &blobs, &edges);

        for (std::uint32_t c = 0; c < cameraCount; ++c)
        {
            const std::uint32_t deviceId = streams->m_Cameras[c].CameraId;
            streams->m_Starts.push_back(bytes.size());
            AppendCentroidString(bytes, deviceId, k, centroids.GetSetDirect(c),
                                 tracks.GetSetDirect(c));

            GreyscaleFrameInfo info;
            info.DeviceId = deviceId;
            info.FrameNumber = k;
            info.PreviousFrame = k == 0 ? 0 : k - 1;
            info.ProtocolVersion = settings.ProtocolVersion;
            info.GreyMode = settings.GreyMode;
            info.CoordMode = settings.CoordMode;
            info.Threshold = settings.Threshold;
            info.MinRatio = settings.MinRatio;
            info.MaxPixelsPerLine = settings.MaxPixelsPerLine;
            info.SystemFrameRate = streams->m_SystemFrameRate;
            std::span<const IGreyscaleBlobData> blobSpan;
            if (const VGreyscaleBlobSet* set = blobs.GetSetDirect(c))
            {
                const IGreyscaleBlobData* data = nullptr;
                std::uint32_t count = 0;
                set->GetData(&data, &count, nullptr);
                if (data != nullptr)
                {
                    blobSpan = {data, count};
                }
            }
            std::span<const IEdgePairData> edgeSpan;
            if (const VEdgePairSet* set = edges.GetSetDirect(c))
            {
                const IEdgePairData* data = nullptr;
                std::uint32_t count = 0;
                set->GetData(&data, &count);
                if (data != nullptr)
                {
                    edgeSpan = {data, count};
                }
            }
            greyscale.Clear();
            assembler.SendFrame(greyscale, info, blobSpan, edgeSpan);
            streams->m_Starts.push_back(bytes.size());
            bytes.insert(bytes.end(), greyscale.GetBytes().begin(), greyscale.GetBytes().end());
        }
    }
    streams->m_Starts.push_back(bytes.size());
    return streams;
}

std::optional<std::uint32_t> VX2DPreparedStreams::TrialFrameOf(std::uint32_t frame) const
{
    if (m_FrameCount == 0)
    {
        return std::nullopt;
    }
    if (IsSingleFrame())
    {
        return m_FrameCount > 1 ? 1u : 0u;
    }
    return frame % m_FrameCount;
}

std::span<const std::uint8_t> VX2DPreparedStreams::Stream(std::uint32_t index, std::uint32_t camera,
                                                          std::uint32_t stream) const
{
    if (index >= m_FrameCount || camera >= m_Cameras.size())
    {
        return {};
    }
    const std::size_t slot =
        (static_cast<std::size_t>(index) * m_Cameras.size() + camera) * StreamsPerCamera + stream;
    const std::size_t start = m_Starts[slot];
    const std::size_t end = m_Starts[slot + 1];
    return {m_Bytes.data() + start, end - start};
}

std::span<const std::uint8_t> VX2DPreparedStreams::GetCentroidStream(std::uint32_t index,
                                                                     std::uint32_t camera) const
{
    return Stream(index, camera, CentroidStream);
}

std::span<const std::uint8_t> VX2DPreparedStreams::GetGreyscaleStream(std::uint32_t index,
                                                                      std::uint32_t camera) const
{
    return Stream(index, camera, GreyscaleStream);
}
