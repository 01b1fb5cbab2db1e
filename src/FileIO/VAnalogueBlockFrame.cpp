#include "FileIO/VAnalogueBlockFrame.h"

VAnalogueBlockFrame::VAnalogueBlockFrame(const IAnalogueBlockFrame& source)
{
    m_Sets.resize(source.Count());
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        source.GetSet(i, m_Sets[i]);
    }
}

void VAnalogueBlockFrame::CopyTo(IAnalogueBlockFrame& target) const
{
    target.Resize(Count());
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        target.SetSet(i, m_Sets[i]);
    }
}

bool VAnalogueBlockFrame::GetSet(std::uint32_t index, IAnalogueBlockSet& out) const
{
    if (index >= m_Sets.size())
    {
        return false;
    }
    m_Sets[index].CopyTo(out);
    return true;
}

bool VAnalogueBlockFrame::SetSet(std::uint32_t index, const IAnalogueBlockSet& in)
{
    if (index >= m_Sets.size())
    {
        return false;
    }
    m_Sets[index].Assign(in);
    return true;
}

const VAnalogueBlockSet* VAnalogueBlockFrame::GetSetDirect(std::uint32_t index) const
{
    return index < m_Sets.size() ? &m_Sets[index] : nullptr;
}

VAnalogueBlockSet* VAnalogueBlockFrame::GetSetDirect(std::uint32_t index)
{
    return index < m_Sets.size() ? &m_Sets[index] : nullptr;
}
