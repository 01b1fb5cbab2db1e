#include "FileIO/VEdgePairSet.h"

#include "FileIO/RecordArray.h"

void VEdgePairSet::CopyTo(IEdgePairSet& target) const
{
    target.SetAll(m_Items.empty() ? nullptr : m_Items.data(), Count(), m_Name);
}

void VEdgePairSet::SetAll(const IEdgePairData* data, std::uint32_t count, const VStringStd& name)
{
    AssignRecords(m_Items, data, count);
    m_Name = name;
}

VEdgePairSet& VEdgePairSet::Assign(const IEdgePairSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VEdgePairSet& VEdgePairSet::Assign(const IEdgePairSetDirect& source)
{
    source.CopyTo(*this);
    return *this;
}

bool VEdgePairSet::GetItem(std::uint32_t index, IEdgePair& out) const
{
    if (index >= m_Items.size())
    {
        return false;
    }
    out.SetData(m_Items[index]);
    return true;
}

void VEdgePairSet::GetData(const IEdgePairData** data, std::uint32_t* count) const
{
    if (data != nullptr)
    {
        *data = m_Items.empty() ? nullptr : m_Items.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
}

void VEdgePairSet::GetData(IEdgePairData** data, std::uint32_t* count)
{
    if (data != nullptr)
    {
        *data = m_Items.empty() ? nullptr : m_Items.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
}

bool VEdgePairSet::GetItemData(std::uint32_t index, const IEdgePairData** out) const
{
    const bool present = index < m_Items.size();
    if (out != nullptr)
    {
        *out = present ? &m_Items[index] : nullptr;
    }
    return present;
}

bool VEdgePairSet::GetItemData(std::uint32_t index, IEdgePairData** out)
{
    const bool present = index < m_Items.size();
    if (out != nullptr)
    {
        *out = present ? &m_Items[index] : nullptr;
    }
    return present;
}

void VEdgePairSet::Clear()
{
    m_Items.clear();
    m_Name.Str().clear();
}
