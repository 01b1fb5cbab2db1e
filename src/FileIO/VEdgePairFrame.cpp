#include "FileIO/VEdgePairFrame.h"

VEdgePairFrame::VEdgePairFrame(const IEdgePairFrame& source)
{
    m_Sets.Resize(source.Count());
    for (std::uint32_t i = 0; i < m_Sets.Count(); ++i)
    {
        source.GetSet(i, *m_Sets.Get(i));
    }
}

VEdgePairFrame::VEdgePairFrame(const VEdgePairFrame& source)
    : VEdgePairFrame(static_cast<const IEdgePairFrame&>(source))
{
}

VEdgePairFrame& VEdgePairFrame::operator=(const VEdgePairFrame& source)
{
    source.CopyTo(*this);
    return *this;
}

void VEdgePairFrame::CopyTo(IEdgePairFrame& target) const
{
    target.Resize(Count());
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        target.SetSet(i, *m_Sets.Get(i));
    }
}

bool VEdgePairFrame::GetSet(std::uint32_t index, IEdgePairSet& out) const
{
    const VEdgePairSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->CopyTo(out);
    return true;
}

bool VEdgePairFrame::SetSet(std::uint32_t index, const IEdgePairSet& in)
{
    VEdgePairSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->Assign(in);
    return true;
}
