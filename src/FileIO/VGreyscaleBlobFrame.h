// The greyscale blob frame: a pool of VGreyscaleBlobSet objects, one per device, reused between
// frames.
#pragma once

#include "FileIO/IGreyscaleBlobFrame.h"
#include "FileIO/TFrameSetPool.h"
#include "FileIO/VGreyscaleBlobSet.h"

/// Greyscale blob sets of all devices in one frame. Owns its sets; copying copies their contents
/// (deep). Not thread-safe: one thread at a time.
class VGreyscaleBlobFrame : public IGreyscaleBlobFrameDirect
{
public:
    VGreyscaleBlobFrame() = default;
    /// A deep copy of any greyscale blob frame.
    explicit VGreyscaleBlobFrame(const IGreyscaleBlobFrame& source);
    VGreyscaleBlobFrame(const VGreyscaleBlobFrame& source);
    VGreyscaleBlobFrame& operator=(const VGreyscaleBlobFrame& source);

    void CopyTo(IGreyscaleBlobFrame& target) const override;
    std::uint32_t Count() const override { return m_Sets.Count(); }
    void Resize(std::uint32_t count) override { m_Sets.Resize(count); }
    bool GetSet(std::uint32_t index, IGreyscaleBlobSet& out) const override;
    bool SetSet(std::uint32_t index, const IGreyscaleBlobSet& in) override;
    void Erase(std::uint32_t index) override { m_Sets.Erase(index); }
    const VGreyscaleBlobSet* GetSetDirect(std::uint32_t index) const override
    {
        return m_Sets.Get(index);
    }
    VGreyscaleBlobSet* GetSetDirect(std::uint32_t index) override { return m_Sets.Get(index); }

    /// Sets allocated, in use or kept for reuse.
    std::size_t PoolSize() const { return m_Sets.Capacity(); }

private:
    TFrameSetPool<VGreyscaleBlobSet> m_Sets;
};
