#include "tsmtrial/VX1DTrialReader.h"

VX1DTrialReader::VX1DTrialReader(const std::string& path)
{
    m_Opened = m_Import.Open(path);
}

std::uint32_t VX1DTrialReader::GetFrameCount() const
{
    return m_Opened ? m_Import.GetImpl().GetIndexTable().Count() : 0;
}

VTrialInfo VX1DTrialReader::GetInfo() const
{
    VTrialInfo info;
    info.Kind = TrialKind::X1D;
    info.Opened = m_Opened;
    const VX1DImportImpl& impl = m_Import.GetImpl();
    info.Version = impl.GetVersion();
    info.DeviceCount = m_Import.GetDeviceCount();
    info.FrameCount = m_Import.GetFrameCount();
    const VIndexTable& index = impl.GetIndexTable();
    VIndexEntry first;
    VIndexEntry last;
    if (index.Count() > 0 && index.GetEntry(0, first) && index.GetEntry(index.Count() - 1, last))
    {
        info.FirstFrame = first.FrameNumber;
        info.LastFrame = last.FrameNumber;
    }
    for (const VDataFormatInfo& format : impl.GetFormats())
    {
        info.Formats.push_back(
            {format.GetFormatId(), static_cast<std::uint32_t>(format.GetFields().size())});
    }
    if (m_Opened)
    {
        info.HeaderValue = m_Import.GetHeaderValue(); // the reader cannot tell 0 from absent
    }
    std::uint32_t firstValue = 0;
    std::uint32_t secondValue = 0;
    m_Import.GetAnalogueSourceSets(firstValue, secondValue, info.SourceSets);
    info.IndexRebuilt = impl.WasIndexRebuilt();
    info.Errors = m_Import.GetErrors();
    return info;
}

bool VX1DTrialReader::ReadFrame(std::uint32_t index, VTrialFrame& frame)
{
    frame = VTrialFrame{};
    frame.Index = index;
    if (!m_Opened)
    {
        return false;
    }
    m_Frame.Resize(0);
    frame.Ok = m_Import.ReadFrame(index, &m_Frame);
    frame.FrameNumber = m_Import.GetFrameNumber(index);
    frame.Devices.resize(m_Frame.Count());
    for (std::uint32_t d = 0; d < m_Frame.Count(); ++d)
    {
        VTrialDeviceFrame& device = frame.Devices[d];
        device.Name = "analogue:" + std::to_string(d);
        const VAnalogueBlockSet* set = m_Frame.GetSetDirect(d);
        if (set == nullptr)
        {
            continue;
        }
        device.Blocks.resize(set->Count());
        for (std::uint32_t b = 0; b < set->Count(); ++b)
        {
            const IAnalogueBlockData* block = nullptr;
            if (set->GetItemData(b, &block) && block != nullptr && block->Data != nullptr)
            {
                device.Blocks[b].assign(block->Data, block->Data + block->Size);
            }
        }
    }
    return frame.Ok;
}
