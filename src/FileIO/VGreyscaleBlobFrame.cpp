#include "FileIO/VGreyscaleBlobFrame.h"

VGreyscaleBlobFrame::VGreyscaleBlobFrame(const IGreyscaleBlobFrame& source)
{
    m_Sets.Resize(source.Count());
    for (std::uint32_t i = 0; i < m_Sets.Count(); ++i)
    {
        source.GetSet(i, *m_Sets.Get(i));
    }
}

VGreyscaleBlobFrame::VGreyscaleBlobFrame(const VGreyscaleBlobFrame& source)
    : VGreyscaleBlobFrame(static_cast<const IGreyscaleBlobFrame&>(source))
{
}

VGreyscaleBlobFrame& VGreyscaleBlobFrame::operator=(const VGreyscaleBlobFrame& source)
{
    source.CopyTo(*this);
    return *this;
}

void VGreyscaleBlobFrame::CopyTo(IGreyscaleBlobFrame& target) const
{
    target.Resize(Count());
    for (std::uint32_t i = 0; i < Count(); ++i)
    {
        target.SetSet(i, *m_Sets.Get(i));
    }
}

bool VGreyscaleBlobFrame::GetSet(std::uint32_t index, IGreyscaleBlobSet& out) const
{
    const VGreyscaleBlobSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->CopyTo(out);
    return true;
}

bool VGreyscaleBlobFrame::SetSet(std::uint32_t index, const IGreyscaleBlobSet& in)
{
    VGreyscaleBlobSet* set = m_Sets.Get(index);
    if (set == nullptr)
    {
        return false;
    }
    set->Assign(in);
    return true;
}
