// The centroid track set: a contiguous array of ICentroidTrackData and the device name.
#pragma once

#include "FileIO/ICentroidTrackSet.h"

#include <string>
#include <vector>

/// Tracks of one device in one frame. Copyable (deep). Not thread-safe: one thread at a time.
class VCentroidTrackSet : public ICentroidTrackSet
{
public:
    VCentroidTrackSet() = default;

    VCentroidTrackSet& Assign(const ICentroidTrackSet& source) override;
    void CopyTo(ICentroidTrackSet& target) const override;
    void SetAll(const ICentroidTrackData* data, std::uint32_t count,
                const std::string& name) override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Items.size()); }
    void Resize(std::uint32_t count) override { m_Items.resize(count); }
    bool GetItem(std::uint32_t index, ICentroidTrack& out) const override;
    bool SetItem(std::uint32_t index, const ICentroidTrack& in) override;
    void GetName(std::string& out) const override { out = m_Name; }
    void SetName(const std::string& name) override { m_Name = name; }
    void GetData(const ICentroidTrackData** data, std::uint32_t* count) const override;
    void GetData(ICentroidTrackData** data, std::uint32_t* count) override;
    /// Copies the array and name directly.
    virtual VCentroidTrackSet& Assign(const VCentroidTrackSet& source);

    /// Back to the state of a new set (no items, empty name), keeping capacity.
    void Clear();
    const std::string& Name() const { return m_Name; }

private:
    std::vector<ICentroidTrackData> m_Items;
    std::string m_Name;
};
