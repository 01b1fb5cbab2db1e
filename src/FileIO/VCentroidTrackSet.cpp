#include "FileIO/VCentroidTrackSet.h"

#include "FileIO/RecordArray.h"

namespace
{
/// Receives a track pushed through the copy protocol straight into a set's record.
class VTrackRecordSink : public ICentroidTrack
{
public:
    explicit VTrackRecordSink(ICentroidTrackData& record) : m_Record(record) {}
    void SetData(const ICentroidTrackData& data) override { m_Record = data; }
    void CopyTo(ICentroidTrack& target) const override { target.SetData(m_Record); }
    ICentroidTrack& Assign(const ICentroidTrackData& data) override
    {
        m_Record = data;
        return *this;
    }
    ICentroidTrack& Assign(const ICentroidTrack& source) override
    {
        source.CopyTo(*this);
        return *this;
    }

private:
    ICentroidTrackData& m_Record;
};
} // namespace

VCentroidTrackSet& VCentroidTrackSet::Assign(const ICentroidTrackSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VCentroidTrackSet& VCentroidTrackSet::Assign(const VCentroidTrackSet& source)
{
    if (&source != this)
    {
        m_Items = source.m_Items;
        m_Name = source.m_Name;
    }
    return *this;
}

void VCentroidTrackSet::CopyTo(ICentroidTrackSet& target) const
{
    target.SetAll(m_Items.empty() ? nullptr : m_Items.data(), Count(), m_Name);
}

void VCentroidTrackSet::SetAll(const ICentroidTrackData* data, std::uint32_t count,
                               const std::string& name)
{
    AssignRecords(m_Items, data, count);
    m_Name = name;
}

bool VCentroidTrackSet::GetItem(std::uint32_t index, ICentroidTrack& out) const
{
    if (index >= m_Items.size())
    {
        return false;
    }
    out.SetData(m_Items[index]);
    return true;
}

bool VCentroidTrackSet::SetItem(std::uint32_t index, const ICentroidTrack& in)
{
    if (index >= m_Items.size())
    {
        return false;
    }
    VTrackRecordSink sink(m_Items[index]);
    in.CopyTo(sink);
    return true;
}

void VCentroidTrackSet::GetData(const ICentroidTrackData** data, std::uint32_t* count) const
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

void VCentroidTrackSet::GetData(ICentroidTrackData** data, std::uint32_t* count)
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

void VCentroidTrackSet::Clear()
{
    m_Items.clear();
    m_Name.clear();
}
