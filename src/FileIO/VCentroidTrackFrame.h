// The centroid track frame: a pool of VCentroidTrackSet objects, reused between frames.
#pragma once

#include "FileIO/ICentroidTrackFrame.h"
#include "FileIO/TFrameSetPool.h"
#include "FileIO/VCentroidTrackSet.h"

/// Track sets of all devices in one frame. Owns its sets; copying is deep.
/// Not thread-safe: one thread at a time.
class VCentroidTrackFrame : public ICentroidTrackFrame
{
public:
    VCentroidTrackFrame() = default;
    /// A deep copy of any track frame.
    explicit VCentroidTrackFrame(const ICentroidTrackFrame& source) { Assign(source); }
    VCentroidTrackFrame(const VCentroidTrackFrame& source) { Assign(source); }
    VCentroidTrackFrame& operator=(const VCentroidTrackFrame& source)
    {
        Assign(source);
        return *this;
    }

    VCentroidTrackFrame& Assign(const ICentroidTrackFrame& source) override;
    void CopyTo(ICentroidTrackFrame& target) const override { target.Assign(*this); }
    std::uint32_t Count() const override { return m_Sets.Count(); }
    void Resize(std::uint32_t count) override { m_Sets.Resize(count); }
    bool GetSet(std::uint32_t index, ICentroidTrackSet& out) const override;
    bool SetSet(std::uint32_t index, const ICentroidTrackSet& in) override;
    const VCentroidTrackSet* GetSetDirect(std::uint32_t index) const override
    {
        return m_Sets.Get(index);
    }
    VCentroidTrackSet* GetSetDirect(std::uint32_t index) override { return m_Sets.Get(index); }

    /// Sets allocated, in use or kept for reuse.
    std::size_t PoolSize() const { return m_Sets.Capacity(); }

private:
    TFrameSetPool<VCentroidTrackSet> m_Sets;
};
