#include "FileIO/X2DIO/VX1DHolder.h"

VX1DHolder::VX1DHolder(std::shared_ptr<VX1DImport> import) : m_Import(std::move(import)) {}

std::shared_ptr<VX1DHolder> VX1DHolder::Open(const std::string& fileName,
                                             std::vector<std::string>* errors)
{
    auto import = std::make_shared<VX1DImport>();
    const bool opened = import->Open(fileName);
    if (errors != nullptr)
    {
        *errors = import->GetErrors();
    }
    if (!opened)
    {
        return nullptr;
    }
    return std::make_shared<VX1DHolder>(std::move(import));
}

std::uint32_t VX1DHolder::GetDeviceCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetDeviceCount();
}

std::uint32_t VX1DHolder::GetFrameCount() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameCount();
}

std::uint32_t VX1DHolder::GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameNumbers(frameNumbers);
}

bool VX1DHolder::FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->FindFrameIndex(frameNumber, index);
}

std::uint32_t VX1DHolder::GetFrameNumber(std::uint32_t index) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetFrameNumber(index);
}

std::int64_t VX1DHolder::GetHeaderValue() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetHeaderValue();
}

bool VX1DHolder::ReadFrame(std::uint32_t index, IAnalogueBlockFrame* frame)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->ReadFrame(index, frame);
}

bool VX1DHolder::ReadFrameByNumber(std::uint32_t frameNumber, IAnalogueBlockFrame* frame)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->ReadFrameByNumber(frameNumber, frame);
}

void VX1DHolder::GetAnalogueSourceSets(std::uint32_t& firstValue, std::uint32_t& secondValue,
                                       std::vector<VAnalogueSourceSetSpec>& sets) const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Import->GetAnalogueSourceSets(firstValue, secondValue, sets);
}

std::vector<std::string> VX1DHolder::GetErrors() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Import->GetErrors();
}
