// The centroid frame: a pool of VCentroidSet objects, one per device, reused between frames.
#pragma once

#include "FileIO/ICentroidFrame.h"
#include "FileIO/TFrameSetPool.h"
#include "FileIO/VCentroidSet.h"

/// Centroid sets of all devices in one frame. Owns its sets; copying copies their contents
/// (deep). Not thread-safe: one thread at a time.
class VCentroidFrame : public ICentroidFrameDirect
{
public:
    VCentroidFrame() = default;
    /// A deep copy of any centroid frame.
    explicit VCentroidFrame(const ICentroidFrame& source);
    VCentroidFrame(const VCentroidFrame& source);
    VCentroidFrame& operator=(const VCentroidFrame& source);

    void CopyTo(ICentroidFrame& target) const override;
    std::uint32_t Count() const override { return m_Sets.Count(); }
    void Resize(std::uint32_t count) override { m_Sets.Resize(count); }
    bool GetSet(std::uint32_t index, ICentroidSet& out) const override;
    bool SetSet(std::uint32_t index, const ICentroidSet& in) override;
    void Erase(std::uint32_t index) override { m_Sets.Erase(index); }
    const VCentroidSet* GetSetDirect(std::uint32_t index) const override
    {
        return m_Sets.Get(index);
    }
    VCentroidSet* GetSetDirect(std::uint32_t index) override { return m_Sets.Get(index); }

    /// Sets allocated, in use or kept for reuse.
    std::size_t PoolSize() const { return m_Sets.Capacity(); }

private:
    TFrameSetPool<VCentroidSet> m_Sets;
};
