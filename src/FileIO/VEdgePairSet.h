// The edge pair set: a contiguous array of IEdgePairData and the device name.
#pragma once

#include "FileIO/IEdgePairSet.h"

#include <vector>

/// Edge pairs of one device in one frame. Copyable (deep). Not thread-safe: one thread at a
/// time.
class VEdgePairSet : public IEdgePairSetDirect
{
public:
    VEdgePairSet() = default;

    void CopyTo(IEdgePairSet& target) const override;
    void SetAll(const IEdgePairData* data, std::uint32_t count, const VStringStd& name) override;
    VEdgePairSet& Assign(const IEdgePairSet& source) override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Items.size()); }
    void Resize(std::uint32_t count) override { m_Items.resize(count); }
    bool GetItem(std::uint32_t index, IEdgePair& out) const override;
    void GetName(VStringStd& out) const override { out = m_Name; }
    void SetName(const VStringStd& name) override { m_Name = name; }
    VEdgePairSet& Assign(const IEdgePairSetDirect& source) override;
    void GetData(const IEdgePairData** data, std::uint32_t* count) const override;
    void GetData(IEdgePairData** data, std::uint32_t* count) override;
    bool GetItemData(std::uint32_t index, const IEdgePairData** out) const override;
    bool GetItemData(std::uint32_t index, IEdgePairData** out) override;

    /// Back to the state of a new set (no items, empty name), keeping capacity.
    void Clear();
    const VStringStd& Name() const { return m_Name; }

private:
    std::vector<IEdgePairData> m_Items;
    VStringStd m_Name;
};
