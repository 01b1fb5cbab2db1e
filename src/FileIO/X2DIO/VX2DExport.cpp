#include "FileIO/X2DIO/VX2DExport.h"

#include "FileIO/VCameraFrameInfoDatum.h"
#include "FileIO/VCentroidDatum.h"
#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrackDatum.h"
#include "FileIO/VCentroidTrackSet.h"
#include "FileIO/VEdgeDatum.h"
#include "FileIO/VEdgePairSet.h"
#include "FileIO/VFrameInfoDatum.h"
#include "FileIO/VGreyscaleBlob.h"
#include "FileIO/VGreyscaleBlobDatum.h"
#include "FileIO/VGreyscaleBlobSet.h"
#include "FileIO/X2DIO/VStartTimecodeHeader.h"

#include <algorithm>

namespace
{
constexpr std::uint16_t kFrameInfoTag = 0xFDDF;

/// Set `device` of `frame` copied into `set`; false (and `set` emptied) when the frame is
/// null or has no such set.
template <typename Frame, typename Set>
bool CopySet(const Frame* frame, std::uint32_t device, Set& set)
{
    set.Clear();
    return frame != nullptr && device < frame->Count() && frame->GetSet(device, set);
}

} // namespace

/// The encoders of one device record's items, reused from device to device.
struct VX2DExport::VItemWriters
{
    VCentroidSet Centroids;
    VCentroidTrackSet Tracks;
    VGreyscaleBlobSet Greyscale;
    VEdgePairSet Edges;
    VGreyscaleBlob Blob;
    VCentroidDatum CentroidDatum;
    VCentroidTrackDatum TrackDatum;
    VGreyscaleBlobDatum BlobDatum;
    VEdgeDatum EdgeDatum;
    VCameraFrameInfoDatum InfoDatum;
};

std::optional<std::uint32_t> VX2DExport::WriteItems(VItemWriters& w, IBinaryOutputStream& out,
                                                    const VDataFormatInfo& format,
                                                    bool hasGreyscale)
{
    const VDataFieldList& fields = format.GetFields();
    std::uint32_t count = 0;
    bool written = true;
    switch (format.GetFormatId())
    {
    case DefaultFormats::kCentroidFormatId:
    {
        ICentroidData* data = nullptr;
        w.Centroids.GetData(&data, &count, nullptr);
        for (std::uint32_t i = 0; i < count && written; ++i)
        {
            ICentroidData item = data[i];
            w.CentroidDatum.SetDestination(&item);
            written = w.CentroidDatum.Write(out, fields);
        }
        w.CentroidDatum.SetDestination(nullptr);
        break;
    }
    case DefaultFormats::kCentroidTrackFormatId:
    {
        ICentroidTrackData* data = nullptr;
        w.Tracks.GetData(&data, &count);
        for (std::uint32_t i = 0; i < count && written; ++i)
        {
            ICentroidTrackData item = data[i];
            w.TrackDatum.SetDestination(&item);
            written = w.TrackDatum.Write(out, fields);
        }
        w.TrackDatum.SetDestination(nullptr);
        break;
    }
    case DefaultFormats::kGreyscaleBlobFormatId:
    {
        count = w.Greyscale.Count();
        w.BlobDatum.SetDestination(&w.Blob);
        for (std::uint32_t i = 0; i < count && written; ++i)
        {
            w.Greyscale.GetItem(i, w.Blob);
            written = w.BlobDatum.Write(out, fields);
        }
        w.BlobDatum.SetDestination(nullptr);
        break;
    }
    case DefaultFormats::kEdgePairFormatId:
    {
        IEdgePairData* data = nullptr;
        w.Edges.GetData(&data, &count);
        for (std::uint32_t i = 0; i < count && written; ++i)
        {
            IEdgePairData item = data[i];
            w.EdgeDatum.SetDestination(&item);
            written = w.EdgeDatum.Write(out, fields);
        }
        w.EdgeDatum.SetDestination(nullptr);
        break;
    }
    case DefaultFormats::kCameraFrameInfoFormatId:
    {
        std::uint8_t infoByte = hasGreyscale ? w.Greyscale.GetInfoByte() : 0;
        w.InfoDatum.SetDestination(&infoByte);
        written = w.InfoDatum.Write(out, fields);
        w.InfoDatum.SetDestination(nullptr);
        count = 1;
        break;
    }
    default:
        break; // a format this writer has no data for: an empty block
    }
    if (!written)
    {
        return std::nullopt;
    }
    return count;
}

VX2DExport::VX2DExport() = default;

VX2DExport::~VX2DExport() = default;

std::vector<VDataFormatInfo> VX2DExport::DefaultFormatList(std::uint32_t width,
                                                           std::uint32_t height)
{
    return {DefaultFormats::MakeCentroids(width, height), DefaultFormats::CentroidTracks(),
            DefaultFormats::GreyscaleBlobs(), DefaultFormats::CameraFrameInfo(),
            DefaultFormats::EdgePairs()};
}

bool VX2DExport::Open(const std::string& path, const VX2DExportSettings& settings)
{
    if (settings.Version < 1 || settings.Version > 3)
    {
        m_Error = "X2D files are written in versions 1 to 3.";
        return false;
    }
    const bool offsets64 = settings.Version >= 3;
    if (!OpenFile(path, settings.BufferMiB, offsets64, offsets64, settings.WriteIndex))
    {
        return false;
    }
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    for (const CameraInfoRecord& camera : settings.Cameras)
    {
        width = std::max(width, camera.SensorWidth);
        height = std::max(height, camera.SensorHeight);
    }
    m_Formats = settings.Formats.empty() ? DefaultFormatList(width, height) : settings.Formats;
    m_FrameInfoFormat.reset();
    if (settings.WriteFrameInfoFormat)
    {
        m_FrameInfoFormat = settings.FrameInfoFormat;
    }
    const std::uint32_t deviceCount =
        settings.DeviceCount.value_or(static_cast<std::uint32_t>(settings.Cameras.size()));
    m_DeviceIds.resize(deviceCount);
    for (std::uint32_t d = 0; d < deviceCount; ++d)
    {
        m_DeviceIds[d] = d < settings.Cameras.size() ? settings.Cameras[d].CameraId : d;
    }

    m_Stream->WriteI32(settings.Version);
    WriteU32Item(kTagDeviceCount, deviceCount);
    WriteItemHeader(kTagFrameCount, 4);
    m_FrameCountPosition = m_Stream->Tell();
    m_Stream->WriteU32(0);
    WriteU32Item(kTagFormatCount, static_cast<std::uint32_t>(m_Formats.size()));
    WriteFormats(kTagFormat, m_Formats);
    m_IndexOffsetPosition = WriteOffsetItem(kTagIndexOffset, kNoOffset);
    m_DataOffsetPosition = WriteOffsetItem(kTagDataOffset, 0);
    if (m_FrameInfoFormat)
    {
        WriteFormats(kFrameInfoTag, {*m_FrameInfoFormat});
    }
    if (settings.WriteCameraInfo)
    {
        VCameraInfoHeader cameraInfo;
        cameraInfo.SetCameras(settings.Cameras);
        cameraInfo.SetSystemFrameRate(settings.SystemFrameRate);
        cameraInfo.SetRecordFormat(settings.CameraRecordFormat);
        WriteCustomBlock(cameraInfo);
    }
    if (!settings.StartTimecode.empty())
    {
        VStartTimecodeHeader startTimecode;
        startTimecode.SetText(settings.StartTimecode);
        WriteCustomBlock(startTimecode);
    }
    for (const VRawHeaderBlock& block : settings.ExtraHeaderBlocks)
    {
        WriteRawBlock(block);
    }
    BeginData();
    if (!m_Stream->IsGood())
    {
        Fail("Cannot write the file " + path + ".");
    }
    return !Failed();
}

bool VX2DExport::WriteFrame(std::uint32_t frameNumber, const ICentroidFrame* centroids,
                            const ICentroidTrackFrame* tracks, const IGreyscaleBlobFrame* greyscale,
                            const IEdgePairFrame* edges)
{
    if (!IsOpen() || Failed())
    {
        return false;
    }
    if (m_Writers == nullptr)
    {
        m_Writers = std::make_unique<VItemWriters>();
    }
    VItemWriters& writers = *m_Writers;
    VMemoryOutputStream body;
    for (std::uint32_t d = 0; d < m_DeviceIds.size(); ++d)
    {
        CopySet(centroids, d, writers.Centroids);
        CopySet(tracks, d, writers.Tracks);
        const bool hasGreyscale = CopySet(greyscale, d, writers.Greyscale);
        CopySet(edges, d, writers.Edges);
        const std::uint64_t recordLength = BeginDeviceRecord(body, m_DeviceIds[d]);
        for (const VDataFormatInfo& format : m_Formats)
        {
            const std::uint64_t blockLength = BeginBlock(body, format.GetFormatId());
            const std::optional<std::uint32_t> count =
                WriteItems(writers, body, format, hasGreyscale);
            if (!count || !EndBlock(body, blockLength, *count))
            {
                return Fail("Cannot encode the items of frame " + std::to_string(frameNumber) +
                            " with format " + std::to_string(format.GetFormatId()) + ".");
            }
        }
        if (!EndDeviceRecord(body, recordLength))
        {
            return Fail("A device record is larger than 2 GiB.");
        }
    }
    if (m_FrameInfoFormat && !VFrameInfoDatum().Write(body, m_FrameInfoFormat->GetFields()))
    {
        return Fail("Cannot encode the frame-info item.");
    }
    return WriteFrameRecord(frameNumber, body.GetBytes());
}
