#include "FileIO/X2DIO/VX2DHolder.h"

VX2DHolder::VX2DHolder(std::shared_ptr<VX2DImport> import)
    : m_Import(std::move(import)), m_SharedFrames(std::make_unique<VX2DSharedFrames>(*this))
{
}

VX2DHolder::~VX2DHolder()
{
    m_SharedFrames.reset();
}

std::shared_ptr<VX2DHolder> VX2DHolder::Open(const std::string& fileName, bool rebuildIndex,
                                             std::uint32_t bufferMiB,
                                             std::vector<std::string>* errors)
{
    auto import = std::make_shared<VX2DImport>(bufferMiB);
    const bool opened = import->Open(fileName, rebuildIndex);
    if (errors != nullptr)
    {
        *errors = import->GetErrors();
    }
    if (!opened)
    {
        return nullptr;
    }
    return std::make_shared<VX2DHolder>(std::move(import));
}

std::uint32_t VX2DHolder::GetDeviceCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetDeviceCount();
}

std::uint32_t VX2DHolder::GetFrameCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameCount();
}

void VX2DHolder::GetFrameRange(std::uint32_t& first, std::uint32_t& last) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Import->GetFrameRange(first, last);
}

std::uint32_t VX2DHolder::GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameNumbers(frameNumbers);
}

bool VX2DHolder::FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->FindFrameIndex(frameNumber, index);
}

std::uint32_t VX2DHolder::GetFrameNumber(std::uint32_t index) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameNumber(index);
}

bool VX2DHolder::ReadFrame(std::uint32_t index, ICentroidFrame* centroids,
                           ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                           IEdgePairFrame* edges)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->ReadFrame(index, centroids, tracks, greyscale, edges);
}

bool VX2DHolder::ReadFrameByNumber(std::uint32_t frameNumber, ICentroidFrame* centroids,
                                   ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                                   IEdgePairFrame* edges)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->ReadFrameByNumber(frameNumber, centroids, tracks, greyscale, edges);
}

bool VX2DHolder::GetStartTimecode(VTimecode& timecode) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetStartTimecode(timecode);
}

void VX2DHolder::GetCameraInfo(std::vector<CameraInfoRecord>& cameras,
                               double& systemFrameRate) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Import->GetCameraInfo(cameras, systemFrameRate);
}

double VX2DHolder::GetFrameRate() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameRate();
}

std::vector<std::string> VX2DHolder::GetCameraNames() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetCameraNames();
}

std::vector<std::string> VX2DHolder::GetErrors() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetErrors();
}
