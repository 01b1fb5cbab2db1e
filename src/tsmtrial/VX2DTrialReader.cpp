#include "tsmtrial/VX2DTrialReader.h"

#include "FileIO/X2DIO/VStartTimecodeHeader.h"
#include "timecode/VTimecode.h"

#include <algorithm>

namespace
{

VTrialFormat Summarise(const VDataFormatInfo& format)
{
    return {format.GetFormatId(), static_cast<std::uint32_t>(format.GetFields().size())};
}

void CopyCamera(std::uint32_t device, const VCentroidFrame& centroids,
                const VCentroidTrackFrame& tracks, const VGreyscaleBlobFrame& greyscale,
                const VEdgePairFrame& edges, VTrialCameraFrame& camera)
{
    if (const VCentroidSet* set = centroids.GetSetDirect(device))
    {
        const ICentroidData* data = nullptr;
        std::uint32_t count = 0;
        set->GetData(&data, &count, &camera.CameraValue);
        camera.Name = set->Name().Str();
        if (data != nullptr)
        {
            camera.Centroids.assign(data, data + count);
        }
    }
    if (const VCentroidTrackSet* set = tracks.GetSetDirect(device))
    {
        const ICentroidTrackData* data = nullptr;
        std::uint32_t count = 0;
        set->GetData(&data, &count);
        if (data != nullptr)
        {
            camera.Tracks.assign(data, data + count);
        }
    }
    if (const VGreyscaleBlobSet* set = greyscale.GetSetDirect(device))
    {
        camera.InfoByte = set->GetInfoByte();
        camera.Blobs.resize(set->Count());
        for (std::uint32_t b = 0; b < set->Count(); ++b)
        {
            const IGreyscaleBlobData* blob = nullptr;
            if (!set->GetItemData(b, &blob) || blob == nullptr)
            {
                continue;
            }
            VTrialBlob& out = camera.Blobs[b];
            out.Flag = blob->BlobFlag;
            out.Lines.resize(blob->LineCount);
            for (std::uint16_t l = 0; l < blob->LineCount && blob->Lines != nullptr; ++l)
            {
                const IGreyscaleLineData& line = blob->Lines[l];
                out.Lines[l].Column = line.Coord0;
                out.Lines[l].Line = line.Coord1;
                if (line.Pixels != nullptr)
                {
                    out.Lines[l].Pixels.assign(line.Pixels, line.Pixels + line.PixelCount);
                }
            }
        }
    }
    if (const VEdgePairSet* set = edges.GetSetDirect(device))
    {
        const IEdgePairData* data = nullptr;
        std::uint32_t count = 0;
        set->GetData(&data, &count);
        if (data != nullptr)
        {
            camera.Edges.assign(data, data + count);
        }
    }
}

} // namespace

VX2DTrialReader::VX2DTrialReader(const std::string& path)
{
    m_Opened = m_Import.Open(path, true);
}

std::uint32_t VX2DTrialReader::GetFrameCount() const
{
    return m_Opened ? m_Import.GetImpl().GetIndexTable().Count() : 0;
}

VTrialInfo VX2DTrialReader::GetInfo() const
{
    VTrialInfo info;
    info.Kind = TrialKind::X2D;
    info.Opened = m_Opened;
    const VX2DImportImpl& impl = m_Import.GetImpl();
    info.Version = impl.GetVersion();
    info.DeviceCount = m_Import.GetDeviceCount();
    info.FrameCount = m_Import.GetFrameCount();
    m_Import.GetFrameRange(info.FirstFrame, info.LastFrame);
    for (const VDataFormatInfo& format : impl.GetFormats())
    {
        info.Formats.push_back(Summarise(format));
    }
    if (impl.HasFrameInfoFormat())
    {
        info.FrameInfoFormat = Summarise(impl.GetFrameInfoFormat());
    }
    double rate = 0.0;
    m_Import.GetCameraInfo(info.Cameras, rate);
    info.CameraNames = m_Import.GetCameraNames();
    const std::vector<VCustomHeaderBlock>& blocks = impl.GetCustomHeaderBlocks();
    const bool hasCameraInfo =
        std::any_of(blocks.begin(), blocks.end(),
                    [](const VCustomHeaderBlock& block)
                    { return block.HeaderId == VCameraInfoHeader::kHeaderId; });
    if (m_Opened && hasCameraInfo)
    {
        info.FrameRate = rate;
    }
    if (const auto* header = dynamic_cast<const VStartTimecodeHeader*>(
            impl.GetCustomHeader(VStartTimecodeHeader::kHeaderId)))
    {
        info.StartTimecodeText = header->GetText();
    }
    VTimecode timecode;
    if (m_Import.GetStartTimecode(timecode))
    {
        info.StartTimecode = timecode.ToString(true, true);
    }
    info.IndexRebuilt = impl.WasIndexRebuilt();
    info.Errors = m_Import.GetErrors();
    return info;
}

bool VX2DTrialReader::ReadFrame(std::uint32_t index, VTrialFrame& frame)
{
    frame = VTrialFrame{};
    frame.Index = index;
    if (!m_Opened)
    {
        return false;
    }
    // Empty the frames first: a failed read leaves them filled only as far as it got.
    m_Centroids.Resize(0);
    m_Tracks.Resize(0);
    m_Greyscale.Resize(0);
    m_Edges.Resize(0);
    frame.Ok = m_Import.ReadFrame(index, &m_Centroids, &m_Tracks, &m_Greyscale, &m_Edges);
    frame.FrameNumber = m_Import.GetFrameNumber(index);
    frame.Cameras.resize(m_Centroids.Count());
    for (std::uint32_t d = 0; d < m_Centroids.Count(); ++d)
    {
        CopyCamera(d, m_Centroids, m_Tracks, m_Greyscale, m_Edges, frame.Cameras[d]);
    }
    return frame.Ok;
}
