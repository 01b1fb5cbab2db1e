#include "FileIO/VAnalogueBlockSet.h"

#include "FileIO/RecordArray.h"

#include <utility>

namespace
{
/// Receives a block pushed through the copy protocol and appends it to a set.
class VBlockAppender : public IAnalogueBlock
{
public:
    explicit VBlockAppender(VAnalogueBlockSet& set) : m_Set(set) {}
    void SetData(const IAnalogueBlockData& data) override { m_Set.AppendData(data); }
    // Only ever the target of a copy: it holds no block of its own.
    void CopyTo(IAnalogueBlock&) const override {}
    IAnalogueBlock& Assign(const IAnalogueBlock& source) override
    {
        source.CopyTo(*this);
        return *this;
    }
    void Resize(std::uint32_t) override {}

private:
    VAnalogueBlockSet& m_Set;
};

std::uint32_t SizeOf(const IAnalogueBlockData& block)
{
    return block.Data != nullptr ? block.Size : 0;
}
} // namespace

VAnalogueBlockSet& VAnalogueBlockSet::operator=(const VAnalogueBlockSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VAnalogueBlockSet::VAnalogueBlockSet(VAnalogueBlockSet&& source) noexcept
{
    m_Blocks.swap(source.m_Blocks);
    m_Bytes.swap(source.m_Bytes);
    std::swap(m_Name, source.m_Name);
}

VAnalogueBlockSet& VAnalogueBlockSet::operator=(VAnalogueBlockSet&& source) noexcept
{
    if (&source != this)
    {
        Clear();
        m_Blocks.swap(source.m_Blocks);
        m_Bytes.swap(source.m_Bytes);
        std::swap(m_Name, source.m_Name);
    }
    return *this;
}

void VAnalogueBlockSet::CopyTo(IAnalogueBlockSet& target) const
{
    target.SetAll(m_Blocks.empty() ? nullptr : m_Blocks.data(), Count(), m_Name);
}

void VAnalogueBlockSet::SetAll(const IAnalogueBlockData* blocks, std::uint32_t count,
                               const VStringStd& name)
{
    if (blocks == nullptr)
    {
        count = 0;
    }
    bool aliased = PointsInto(blocks, m_Blocks);
    for (std::uint32_t i = 0; i < count && !aliased; ++i)
    {
        aliased = PointsInto(blocks[i].Data, m_Bytes);
    }
    if (aliased)
    {
        // Built aside, since the arrays being replaced are the source.
        VAnalogueBlockSet copy;
        copy.SetAll(blocks, count, name);
        *this = std::move(copy);
        return;
    }
    m_Blocks.clear();
    m_Bytes.clear();
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        total += SizeOf(blocks[i]);
    }
    m_Blocks.reserve(count);
    m_Bytes.reserve(total);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        AppendData(blocks[i]);
    }
    if (&name != &m_Name)
    {
        m_Name = name;
    }
}

VAnalogueBlockSet& VAnalogueBlockSet::Assign(const IAnalogueBlockSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VAnalogueBlockSet& VAnalogueBlockSet::Assign(const IAnalogueBlockSetDirect& source)
{
    source.CopyTo(*this);
    return *this;
}

bool VAnalogueBlockSet::GetItem(std::uint32_t index, IAnalogueBlock& out) const
{
    if (index >= m_Blocks.size())
    {
        return false;
    }
    out.SetData(m_Blocks[index]);
    return true;
}

void VAnalogueBlockSet::Append(const IAnalogueBlock& block)
{
    VBlockAppender appender(*this);
    block.CopyTo(appender);
}

void VAnalogueBlockSet::AppendData(const IAnalogueBlockData& block)
{
    const std::uint32_t size = SizeOf(block);
    if (PointsInto(block.Data, m_Bytes))
    {
        const std::vector<std::uint8_t> copy(block.Data, block.Data + size);
        AppendData(IAnalogueBlockData{copy.data(), size});
        return;
    }
    const std::uint8_t* bytesBefore = m_Bytes.data();
    const std::size_t offset = m_Bytes.size();
    m_Bytes.insert(m_Bytes.end(), block.Data, block.Data + size);
    m_Blocks.push_back(IAnalogueBlockData{size > 0 ? m_Bytes.data() + offset : nullptr, size});
    if (m_Bytes.data() != bytesBefore)
    {
        // The bytes moved: the earlier records still point into the old buffer.
        Repoint();
    }
}

void VAnalogueBlockSet::Repoint()
{
    std::size_t offset = 0;
    for (IAnalogueBlockData& block : m_Blocks)
    {
        block.Data = block.Size > 0 ? m_Bytes.data() + offset : nullptr;
        offset += block.Size;
    }
}

void VAnalogueBlockSet::GetData(const IAnalogueBlockData** blocks, std::uint32_t* count) const
{
    if (blocks != nullptr)
    {
        *blocks = m_Blocks.empty() ? nullptr : m_Blocks.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
}

bool VAnalogueBlockSet::GetItemData(std::uint32_t index, const IAnalogueBlockData** out) const
{
    const bool present = index < m_Blocks.size();
    if (out != nullptr)
    {
        *out = present ? &m_Blocks[index] : nullptr;
    }
    return present;
}

void VAnalogueBlockSet::Clear()
{
    m_Blocks.clear();
    m_Bytes.clear();
    m_Name.Str().clear();
}
