// The edge pair element: one IEdgePairData record with plain accessors.
#pragma once

#include "FileIO/IEdgePair.h"

#include <cstdint>

/// An edge pair held by value. Copyable. Not thread-safe: one thread at a time.
class VEdgePair : public IEdgePairDirect
{
public:
    VEdgePair() = default;
    explicit VEdgePair(const IEdgePairData& data) : m_Data(data) {}

    void SetData(const IEdgePairData& data) override { m_Data = data; }
    void CopyTo(IEdgePair& target) const override { target.SetData(m_Data); }
    VEdgePair& Assign(const IEdgePair& source) override;
    VEdgePair& Assign(const IEdgePairDirect& source) override;
    IEdgePairData* GetData() override { return &m_Data; }

    const IEdgePairData& Data() const { return m_Data; }
    std::uint16_t GetCoord0() const { return m_Data.Coord0; }
    void SetCoord0(std::uint16_t value) { m_Data.Coord0 = value; }
    std::uint16_t GetCoord1() const { return m_Data.Coord1; }
    void SetCoord1(std::uint16_t value) { m_Data.Coord1 = value; }
    std::uint16_t GetCoord2() const { return m_Data.Coord2; }
    void SetCoord2(std::uint16_t value) { m_Data.Coord2 = value; }

private:
    IEdgePairData m_Data;
};
