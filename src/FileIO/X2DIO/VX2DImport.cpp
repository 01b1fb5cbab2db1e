#include "FileIO/X2DIO/VX2DImport.h"

namespace
{
/// The caller's frame when it is a Direct implementation, else `internal` (null for null).
template <typename Direct, typename Frame, typename Internal>
Direct* Resolve(Frame* frame, Internal& internal)
{
    if (frame == nullptr)
    {
        return nullptr;
    }
    if (auto* direct = dynamic_cast<Direct*>(frame))
    {
        return direct;
    }
    return &internal;
}

/// Copies an internal frame that stood in back into the caller's frame.
template <typename Frame, typename Internal>
void CopyBack(Frame* frame, Internal& internal, const void* used)
{
    if (frame != nullptr && used == &internal)
    {
        internal.CopyTo(*frame);
    }
}
} // namespace

VX2DImport::VX2DImport(std::uint32_t bufferMiB) : m_Impl(bufferMiB)
{
    // The registration order is the order in which the holders are cleared per device.
    m_Impl.AddCustomHeader(&m_CameraInfo);
    m_Impl.AddCustomHeader(&m_StartTimecode);
    m_Impl.AddDataHolder(&m_CentroidHolder);
    m_Impl.AddDataHolder(&m_TrackHolder);
    m_Impl.AddDataHolder(&m_GreyscaleHolder);
    m_Impl.AddDataHolder(&m_CameraFrameInfoHolder);
    m_Impl.AddDataHolder(&m_EdgeHolder);
}

VX2DImport::~VX2DImport() = default;

bool VX2DImport::Open(const std::string& fileName, bool rebuildIndex)
{
    m_CameraInfo = VCameraInfoHeader();
    m_StartTimecode = VStartTimecodeHeader();
    m_CameraFrameInfoHolder.SetInfoByte(0);
    bool opened = m_Impl.Open(fileName);
    if (opened)
    {
        opened = m_Impl.ReadHeader(rebuildIndex);
    }
    RebuildCameraNames();
    return opened;
}

void VX2DImport::RebuildCameraNames()
{
    m_CameraNames.clear();
    m_SetNames.clear();
    for (const CameraInfoRecord& camera : m_CameraInfo.GetCameras())
    {
        m_CameraNames.push_back("zt:" + std::to_string(camera.CameraId));
        m_SetNames.emplace_back(m_CameraNames.back());
    }
}

void VX2DImport::GetFrameRange(std::uint32_t& first, std::uint32_t& last) const
{
    const std::vector<VIndexEntry>& entries = m_Impl.GetIndexTable().GetEntries();
    if (entries.empty())
    {
        first = 1;
        last = 0;
        return;
    }
    first = entries.front().FrameNumber;
    last = entries.back().FrameNumber;
}

std::uint32_t VX2DImport::GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const
{
    m_Impl.GetIndexTable().GetFrameNumbers(frameNumbers);
    return static_cast<std::uint32_t>(frameNumbers.size());
}

bool VX2DImport::FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const
{
    return m_Impl.GetIndexTable().FindByFrameNumber(frameNumber, index);
}

std::uint32_t VX2DImport::GetFrameNumber(std::uint32_t index) const
{
    VIndexEntry entry;
    return m_Impl.GetIndexTable().GetEntry(index, entry) ? entry.FrameNumber : 0;
}

void VX2DImport::SetHolderTargets(std::uint32_t device, ICentroidFrameDirect* centroids,
                                  ICentroidTrackFrame* tracks, IGreyscaleBlobFrameDirect* greyscale,
                                  IEdgePairFrameDirect* edges)
{
    m_CentroidHolder.SetTarget(centroids != nullptr ? centroids->GetSetDirect(device) : nullptr);
    m_TrackHolder.SetTarget(tracks != nullptr ? tracks->GetSetDirect(device) : nullptr);
    m_GreyscaleHolder.SetTarget(greyscale != nullptr ? greyscale->GetSetDirect(device) : nullptr);
    m_EdgeHolder.SetTarget(edges != nullptr ? edges->GetSetDirect(device) : nullptr);
}

bool VX2DImport::ReadFrame(std::uint32_t index, ICentroidFrame* centroids,
                           ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                           IEdgePairFrame* edges)
{
    if (!m_Impl.SeekToFrameIndex(index) || !m_Impl.ReadFrameHeader())
    {
        return false;
    }
    ICentroidFrameDirect* centroidsInUse = Resolve<ICentroidFrameDirect>(centroids, m_Centroids);
    IGreyscaleBlobFrameDirect* greyscaleInUse =
        Resolve<IGreyscaleBlobFrameDirect>(greyscale, m_Greyscale);
    IEdgePairFrameDirect* edgesInUse = Resolve<IEdgePairFrameDirect>(edges, m_Edges);

    const std::uint32_t deviceCount = m_Impl.GetDeviceCount();
    if (centroidsInUse != nullptr)
    {
        centroidsInUse->Resize(deviceCount);
    }
    if (tracks != nullptr)
    {
        tracks->Resize(deviceCount);
    }
    if (greyscaleInUse != nullptr)
    {
        greyscaleInUse->Resize(deviceCount);
    }
    if (edgesInUse != nullptr)
    {
        edgesInUse->Resize(deviceCount);
    }

    // A failed record leaves the stream failed: the records after it fail at once, and the
    // clearing of each keeps stale sets of an earlier frame out of this one.
    for (std::uint32_t device = 0; device < deviceCount; ++device)
    {
        SetHolderTargets(device, centroidsInUse, tracks, greyscaleInUse, edgesInUse);
        if (m_Impl.ReadDeviceRecord(true) && greyscaleInUse != nullptr)
        {
            // Not reset between devices: a record without this block passes the previous
            // device's byte on.
            greyscaleInUse->GetSetDirect(device)->SetInfoByte(
                m_CameraFrameInfoHolder.GetInfoByte());
        }
    }
    SetHolderTargets(0, nullptr, nullptr, nullptr, nullptr);

    const bool complete = m_Impl.ReadFrameInfo();
    if (complete)
    {
        NameSets(centroidsInUse, tracks, greyscaleInUse, edgesInUse);
    }
    CopyBack(centroids, m_Centroids, centroidsInUse);
    CopyBack(greyscale, m_Greyscale, greyscaleInUse);
    CopyBack(edges, m_Edges, edgesInUse);
    return complete;
}

void VX2DImport::NameSets(ICentroidFrameDirect* centroids, ICentroidTrackFrame* tracks,
                          IGreyscaleBlobFrameDirect* greyscale, IEdgePairFrameDirect* edges)
{
    const std::vector<CameraInfoRecord>& cameras = m_CameraInfo.GetCameras();
    for (std::uint32_t d = 0; d < m_SetNames.size(); ++d)
    {
        const VStringStd& name = m_SetNames[d];
        if (centroids != nullptr && d < centroids->Count())
        {
            ICentroidSetDirect* set = centroids->GetSetDirect(d);
            set->SetName(name);
            set->SetCameraValue(d < cameras.size() ? cameras[d].CameraValue : 0.0);
        }
        if (tracks != nullptr && d < tracks->Count())
        {
            tracks->GetSetDirect(d)->SetName(name.Str());
        }
        if (greyscale != nullptr && d < greyscale->Count())
        {
            greyscale->GetSetDirect(d)->SetName(name);
        }
        if (edges != nullptr && d < edges->Count())
        {
            edges->GetSetDirect(d)->SetName(name);
        }
    }
}

bool VX2DImport::ReadFrameByNumber(std::uint32_t frameNumber, ICentroidFrame* centroids,
                                   ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                                   IEdgePairFrame* edges)
{
    std::uint32_t index = 0;
    if (!FindFrameIndex(frameNumber, index))
    {
        return false;
    }
    return ReadFrame(index, centroids, tracks, greyscale, edges);
}

bool VX2DImport::GetStartTimecode(VTimecode& timecode) const
{
    const std::string& text = m_StartTimecode.GetText();
    if (text.empty())
    {
        return false;
    }
    VTimecode read;
    if (!read.FromText(text))
    {
        return false;
    }
    timecode = read;
    return timecode.IsValid();
}

void VX2DImport::GetCameraInfo(std::vector<CameraInfoRecord>& cameras,
                               double& systemFrameRate) const
{
    cameras = m_CameraInfo.GetCameras();
    systemFrameRate = m_CameraInfo.GetSystemFrameRate();
}
