// The accessors through which the no-copying holders reach the record arrays of their
// target sets: centroids, centroid tracks and edge pairs.
#pragma once

#include "FileIO/ICentroidSet.h"
#include "FileIO/ICentroidTrackSet.h"
#include "FileIO/IEdgePairSet.h"

#include <cstdint>

// Each accessor holds the target set pointer (not owned; null for none) and offers what
// VDataHolderNoCopying needs: Count, Resize and a pointer to a record. Not thread-safe.

/// Reaches the records of an ICentroidSetDirect.
class VX2DCentroidAccessor
{
public:
    using Target = ICentroidSetDirect;
    using Data = ICentroidData;

    void SetTarget(Target* target) { m_Target = target; }
    Target* GetTarget() const { return m_Target; }
    std::uint32_t Count() const { return m_Target != nullptr ? m_Target->Count() : 0; }
    void Resize(std::uint32_t count) { m_Target->Resize(count); }
    Data* ItemData(std::uint32_t index)
    {
        Data* data = nullptr;
        m_Target->GetItemData(index, &data);
        return data;
    }

private:
    Target* m_Target = nullptr;
};

/// Reaches the records of an ICentroidTrackSet.
class VX2DCentroidTrackAccessor
{
public:
    using Target = ICentroidTrackSet;
    using Data = ICentroidTrackData;

    void SetTarget(Target* target) { m_Target = target; }
    Target* GetTarget() const { return m_Target; }
    std::uint32_t Count() const { return m_Target != nullptr ? m_Target->Count() : 0; }
    void Resize(std::uint32_t count) { m_Target->Resize(count); }
    Data* ItemData(std::uint32_t index)
    {
        Data* data = nullptr;
        std::uint32_t count = 0;
        m_Target->GetData(&data, &count);
        return index < count ? data + index : nullptr;
    }

private:
    Target* m_Target = nullptr;
};

/// Reaches the records of an IEdgePairSetDirect.
class VX2DEdgePairAccessor
{
public:
    using Target = IEdgePairSetDirect;
    using Data = IEdgePairData;

    void SetTarget(Target* target) { m_Target = target; }
    Target* GetTarget() const { return m_Target; }
    std::uint32_t Count() const { return m_Target != nullptr ? m_Target->Count() : 0; }
    void Resize(std::uint32_t count) { m_Target->Resize(count); }
    Data* ItemData(std::uint32_t index)
    {
        Data* data = nullptr;
        m_Target->GetItemData(index, &data);
        return data;
    }

private:
    Target* m_Target = nullptr;
};
