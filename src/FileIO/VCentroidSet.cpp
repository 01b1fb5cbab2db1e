#include "FileIO/VCentroidSet.h"

#include "FileIO/RecordArray.h"

namespace
{
/// Receives a centroid pushed through the copy protocol straight into a set's record.
class VCentroidRecordSink : public ICentroid
{
public:
    explicit VCentroidRecordSink(ICentroidData& record) : m_Record(record) {}
    void SetData(const ICentroidData& data) override { m_Record = data; }
    void CopyTo(ICentroid& target) const override { target.SetData(m_Record); }
    ICentroid& Assign(const ICentroid& source) override
    {
        source.CopyTo(*this);
        return *this;
    }

private:
    ICentroidData& m_Record;
};
} // namespace

void VCentroidSet::CopyTo(ICentroidSet& target) const
{
    target.SetAll(m_Items.empty() ? nullptr : m_Items.data(), Count(), m_CameraValue, m_Name);
}

void VCentroidSet::SetAll(const ICentroidData* data, std::uint32_t count, double cameraValue,
                          const VStringStd& name)
{
    AssignRecords(m_Items, data, count);
    m_CameraValue = cameraValue;
    m_Name = name;
}

VCentroidSet& VCentroidSet::Assign(const ICentroidSet& source)
{
    source.CopyTo(*this);
    return *this;
}

VCentroidSet& VCentroidSet::Assign(const ICentroidSetDirect& source)
{
    source.CopyTo(*this);
    return *this;
}

bool VCentroidSet::GetItem(std::uint32_t index, ICentroid& out) const
{
    if (index >= m_Items.size())
    {
        return false;
    }
    out.SetData(m_Items[index]);
    return true;
}

bool VCentroidSet::SetItem(std::uint32_t index, const ICentroid& in)
{
    if (index >= m_Items.size())
    {
        return false;
    }
    VCentroidRecordSink sink(m_Items[index]);
    in.CopyTo(sink);
    return true;
}

void VCentroidSet::GetData(const ICentroidData** data, std::uint32_t* count,
                           double* cameraValue) const
{
    if (data != nullptr)
    {
        *data = m_Items.empty() ? nullptr : m_Items.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
    if (cameraValue != nullptr)
    {
        *cameraValue = m_CameraValue;
    }
}

void VCentroidSet::GetData(ICentroidData** data, std::uint32_t* count, double* cameraValue)
{
    if (data != nullptr)
    {
        *data = m_Items.empty() ? nullptr : m_Items.data();
    }
    if (count != nullptr)
    {
        *count = Count();
    }
    if (cameraValue != nullptr)
    {
        *cameraValue = m_CameraValue;
    }
}

bool VCentroidSet::GetItemData(std::uint32_t index, ICentroidData** out)
{
    const bool present = index < m_Items.size();
    if (out != nullptr)
    {
        *out = present ? &m_Items[index] : nullptr;
    }
    return present;
}

void VCentroidSet::Clear()
{
    m_Items.clear();
    m_CameraValue = 0.0;
    m_Name.Str().clear();
}
