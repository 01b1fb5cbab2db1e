#include "FileIO/VCentroidTrackFrame.h"

VCentroidTrackFrame& VCentroidTrackFrame::Assign(const ICentroidTrackFrame& source)
{
    if (&source == this)
    {
        return *this;
    }
    const std::uint32_t count = source.Count();
    m_Sets.Resize(count);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const ICentroidTrackSet* sourceSet = source.GetSetDirect(i);
        if (sourceSet != nullptr)
        {
            m_Sets.Get(i)->Assign(*sourceSet);
        }
        else
        {
            m_Sets.Get(i)->Clear();
        }
    }
    return *this;
}

bool VCentroidTrackFrame::GetSet(std::uint32_t index, ICentroidTrackSet& out) const
{
    const VCentroidTrackSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->CopyTo(out);
    return true;
}

bool VCentroidTrackFrame::SetSet(std::uint32_t index, const ICentroidTrackSet& in)
{
    VCentroidTrackSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->Assign(in);
    return true;
}
