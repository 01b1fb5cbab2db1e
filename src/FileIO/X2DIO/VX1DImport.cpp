#include "FileIO/X2DIO/VX1DImport.h"

VX1DImport::VX1DImport(std::uint32_t bufferMiB)
    : m_SourceSets(std::make_shared<VAnalogueSourceSetHeader>()), m_Impl(bufferMiB)
{
    m_Impl.AddCustomHeader(m_SourceSets.get());
    m_Impl.AddDataHolder(&m_Holder);
}

VX1DImport::~VX1DImport() = default;

bool VX1DImport::Open(const std::string& fileName)
{
    *m_SourceSets = VAnalogueSourceSetHeader();
    return m_Impl.Open(fileName) && m_Impl.ReadHeader();
}

std::uint32_t VX1DImport::GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const
{
    m_Impl.GetIndexTable().GetFrameNumbers(frameNumbers);
    return static_cast<std::uint32_t>(frameNumbers.size());
}

bool VX1DImport::FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const
{
    return m_Impl.GetIndexTable().FindByFrameNumber(frameNumber, index);
}

std::uint32_t VX1DImport::GetFrameNumber(std::uint32_t index) const
{
    VIndexEntry entry;
    return m_Impl.GetIndexTable().GetEntry(index, entry) ? entry.FrameNumber : 0;
}

bool VX1DImport::ReadFrame(std::uint32_t index, IAnalogueBlockFrame* frame)
{
    if (!m_Impl.SeekToFrameIndex(index) || !m_Impl.ReadFrameHeader())
    {
        return false;
    }
    IAnalogueBlockFrameDirect* inUse = nullptr;
    if (frame != nullptr)
    {
        inUse = dynamic_cast<IAnalogueBlockFrameDirect*>(frame);
        if (inUse == nullptr)
        {
            inUse = &m_Frame;
        }
        inUse->Resize(m_Impl.GetDeviceCount());
    }
    bool complete = true;
    for (std::uint32_t device = 0; device < m_Impl.GetDeviceCount(); ++device)
    {
        m_Holder.SetTarget(inUse != nullptr ? inUse->GetSetDirect(device) : nullptr);
        complete = m_Impl.ReadDeviceRecord(true) && complete;
    }
    m_Holder.SetTarget(nullptr);
    if (frame != nullptr && inUse == &m_Frame)
    {
        m_Frame.CopyTo(*frame);
    }
    return complete;
}

bool VX1DImport::ReadFrameByNumber(std::uint32_t frameNumber, IAnalogueBlockFrame* frame)
{
    std::uint32_t index = 0;
    if (!FindFrameIndex(frameNumber, index))
    {
        return false;
    }
    return ReadFrame(index, frame);
}

void VX1DImport::GetAnalogueSourceSets(std::uint32_t& firstValue, std::uint32_t& secondValue,
                                       std::vector<VAnalogueSourceSetSpec>& sets) const
{
    firstValue = m_SourceSets->GetFirstValue();
    secondValue = m_SourceSets->GetSecondValue();
    sets = m_SourceSets->GetSets();
}
