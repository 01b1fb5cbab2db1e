// The edge pair frame: a pool of VEdgePairSet objects, one per device, reused between frames.
#pragma once

#include "FileIO/IEdgePairFrame.h"
#include "FileIO/TFrameSetPool.h"
#include "FileIO/VEdgePairSet.h"

/// Edge pair sets of all devices in one frame. Owns its sets; copying copies their contents
/// (deep). Not thread-safe: one thread at a time.
class VEdgePairFrame : public IEdgePairFrameDirect
{
public:
    VEdgePairFrame() = default;
    /// A deep copy of any edge pair frame.
    explicit VEdgePairFrame(const IEdgePairFrame& source);
    VEdgePairFrame(const VEdgePairFrame& source);
    VEdgePairFrame& operator=(const VEdgePairFrame& source);

    void CopyTo(IEdgePairFrame& target) const override;
    std::uint32_t Count() const override { return m_Sets.Count(); }
    void Resize(std::uint32_t count) override { m_Sets.Resize(count); }
    bool GetSet(std::uint32_t index, IEdgePairSet& out) const override;
    bool SetSet(std::uint32_t index, const IEdgePairSet& in) override;
    void Erase(std::uint32_t index) override { m_Sets.Erase(index); }
    const VEdgePairSet* GetSetDirect(std::uint32_t index) const override
    {
        return m_Sets.Get(index);
    }
    VEdgePairSet* GetSetDirect(std::uint32_t index) override { return m_Sets.Get(index); }

    /// Sets allocated, in use or kept for reuse.
    std::size_t PoolSize() const { return m_Sets.Capacity(); }

private:
    TFrameSetPool<VEdgePairSet> m_Sets;
};
