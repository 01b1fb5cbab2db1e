#include "FileIO/VCentroidFrame.h"

VCentroidFrame::VCentroidFrame(const ICentroidFrame& source)
{
    m_Sets.Resize(source.Count());
    for (std::uint32_t i = 0; i < m_Sets.Count(); ++i)
    {
        source.GetSet(i, *m_Sets.Get(i));
    }
}

VCentroidFrame::VCentroidFrame(const VCentroidFrame& source)
    : VCentroidFrame(static_cast<const ICentroidFrame&>(source))
{
}

VCentroidFrame& VCentroidFrame::operator=(const VCentroidFrame& source)
{
    source.CopyTo(*this);
    return *this;
}

void VCentroidFrame::CopyTo(ICentroidFrame& target) const
{
    target.Resize(Count());
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        target.SetSet(i, *m_Sets.Get(i));
    }
}

bool VCentroidFrame::GetSet(std::uint32_t index, ICentroidSet& out) const
{
    const VCentroidSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->CopyTo(out);
    return true;
}

bool VCentroidFrame::SetSet(std::uint32_t index, const ICentroidSet& in)
{
    VCentroidSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->Assign(in);
    return true;
}
