// The centroid element: one ICentroidData record with plain accessors.
#pragma once

#include "FileIO/ICentroid.h"

/// A centroid held by value. Copyable. Not thread-safe: one thread at a time.
class VCentroid : public ICentroidDirect
{
public:
    VCentroid() = default;
    explicit VCentroid(const ICentroidData& data) : m_Data(data) {}

    void SetData(const ICentroidData& data) override { m_Data = data; }
    void CopyTo(ICentroid& target) const override { target.SetData(m_Data); }
    VCentroid& Assign(const ICentroid& source) override;
    VCentroid& Assign(const ICentroidDirect& source) override;
    ICentroidData* GetData() override { return &m_Data; }

    const ICentroidData& Data() const { return m_Data; }
    double GetX() const { return m_Data.X; }
    void SetX(double x) { m_Data.X = x; }
    double GetY() const { return m_Data.Y; }
    void SetY(double y) { m_Data.Y = y; }
    double GetRadius() const { return m_Data.Radius; }
    void SetRadius(double radius) { m_Data.Radius = radius; }
    double GetFraction() const { return m_Data.Fraction; }
    void SetFraction(double fraction) { m_Data.Fraction = fraction; }

private:
    ICentroidData m_Data;
};
