// The centroid set: a contiguous array of ICentroidData, the camera value and the name.
#pragma once

#include "FileIO/ICentroidSet.h"

#include <vector>

/// Centroids of one device in one frame. Copyable (deep). Not thread-safe: one thread at a
/// time.
class VCentroidSet : public ICentroidSetDirect
{
public:
    VCentroidSet() = default;

    void CopyTo(ICentroidSet& target) const override;
    void SetAll(const ICentroidData* data, std::uint32_t count, double cameraValue,
                const VStringStd& name) override;
    VCentroidSet& Assign(const ICentroidSet& source) override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Items.size()); }
    void Resize(std::uint32_t count) override { m_Items.resize(count); }
    bool GetItem(std::uint32_t index, ICentroid& out) const override;
    bool SetItem(std::uint32_t index, const ICentroid& in) override;
    double GetCameraValue() const override { return m_CameraValue; }
    void SetCameraValue(double value) override { m_CameraValue = value; }
    void GetName(VStringStd& out) const override { out = m_Name; }
    void SetName(const VStringStd& name) override { m_Name = name; }
    VCentroidSet& Assign(const ICentroidSetDirect& source) override;
    void GetData(const ICentroidData** data, std::uint32_t* count,
                 double* cameraValue) const override;
    void GetData(ICentroidData** data, std::uint32_t* count, double* cameraValue) override;
    bool GetItemData(std::uint32_t index, ICentroidData** out) override;

    /// Back to the state of a new set: no items, camera value 0.0, empty name. Keeps the
    /// array's capacity for reuse.
    void Clear();
    const VStringStd& Name() const { return m_Name; }

private:
    std::vector<ICentroidData> m_Items;
    double m_CameraValue = 0.0;
    VStringStd m_Name;
};
