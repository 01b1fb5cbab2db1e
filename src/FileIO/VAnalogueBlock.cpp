#include "FileIO/VAnalogueBlock.h"

#include <cstring>
#include <utility>

VAnalogueBlock& VAnalogueBlock::operator=(const VAnalogueBlock& source)
{
    SetData(source.m_Data);
    return *this;
}

VAnalogueBlock::VAnalogueBlock(VAnalogueBlock&& source) noexcept
    : m_Data(source.m_Data), m_Bytes(std::move(source.m_Bytes))
{
    source.m_Bytes.clear();
    source.m_Data = IAnalogueBlockData{};
}

VAnalogueBlock& VAnalogueBlock::operator=(VAnalogueBlock&& source) noexcept
{
    if (&source != this)
    {
        m_Bytes.swap(source.m_Bytes);
        std::swap(m_Data, source.m_Data);
        source.Resize(0);
    }
    return *this;
}

void VAnalogueBlock::SetData(const IAnalogueBlockData& data)
{
    const std::uint32_t size = data.Data != nullptr ? data.Size : 0;
    if (data.Data == m_Data.Data && size == m_Data.Size)
    {
        return;
    }
    // The source may lie in our own bytes: copy it out before resizing moves them.
    const std::uint8_t* begin = m_Bytes.data();
    const bool inside =
        size > 0 && !m_Bytes.empty() && data.Data >= begin && data.Data < begin + m_Bytes.size();
    if (inside)
    {
        std::vector<std::uint8_t> copy(data.Data, data.Data + size);
        m_Bytes.swap(copy);
        m_Data = IAnalogueBlockData{m_Bytes.data(), size};
        return;
    }
    Resize(size);
    if (size > 0)
    {
        std::memcpy(m_Bytes.data(), data.Data, size);
    }
}

VAnalogueBlock& VAnalogueBlock::Assign(const IAnalogueBlock& source)
{
    source.CopyTo(*this);
    return *this;
}

void VAnalogueBlock::Resize(std::uint32_t size)
{
    m_Bytes.resize(size);
    m_Data.Size = size;
    m_Data.Data = size > 0 ? m_Bytes.data() : nullptr;
}

VAnalogueBlock& VAnalogueBlock::Assign(const IAnalogueBlockDirect& source)
{
    source.CopyTo(*this);
    return *this;
}
