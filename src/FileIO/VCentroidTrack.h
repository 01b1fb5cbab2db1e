// The centroid track element: one ICentroidTrackData record with plain accessors.
#pragma once

#include "FileIO/ICentroidTrack.h"

#include <cstdint>

/// A track held by value; new tracks have Id -1, Length 0, Confidence 0.0. Copyable.
/// Not thread-safe: one thread at a time.
class VCentroidTrack : public ICentroidTrack
{
public:
    VCentroidTrack() = default;
    explicit VCentroidTrack(const ICentroidTrackData& data) : m_Data(data) {}

    void SetData(const ICentroidTrackData& data) override { m_Data = data; }
    void CopyTo(ICentroidTrack& target) const override { target.SetData(m_Data); }
    VCentroidTrack& Assign(const ICentroidTrackData& data) override;
    VCentroidTrack& Assign(const ICentroidTrack& source) override;

    const ICentroidTrackData& Data() const { return m_Data; }
    std::int64_t GetId() const { return m_Data.Id; }
    void SetId(std::int64_t id) { m_Data.Id = id; }
    std::uint32_t GetLength() const { return m_Data.Length; }
    void SetLength(std::uint32_t length) { m_Data.Length = length; }
    float GetConfidence() const { return m_Data.Confidence; }
    void SetConfidence(float confidence) { m_Data.Confidence = confidence; }

private:
    ICentroidTrackData m_Data;
};
