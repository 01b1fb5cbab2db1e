#include "sources/VHardwareCentroidTracker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace CoreOrvanAlgo
{

namespace
{
// Construction values of the three noise levels, in pixels.
constexpr double DefaultSingleTrackPositionNoise = 120.0;
constexpr double DefaultTrackPositionNoise = 40.0;
constexpr double DefaultRadiusNoise = 10.0;

// Gates span three standard deviations; a candidate must score below the same bound.
constexpr double GateDeviations = 3.0;
constexpr double ScoreLimit = GateDeviations * GateDeviations;

bool IsUsable(const ICentroidData& centroid)
{
    return std::isfinite(centroid.X) && std::isfinite(centroid.Y) && std::isfinite(centroid.Radius);
}

/// Limits to 0 ... 1; a value that is not a number counts as 0 so that bad input can never
/// put a NaN on the wire.
double ClampUnit(double value)
{
    if (!(value >= 0.0))
    {
        return 0.0;
    }
    return value <= 1.0 ? value : 1.0;
}
} // namespace

VHardwareCentroidTracker::VHardwareCentroidTracker(
    double frameRate, double x0, double y0, double x1, double y1, std::string name,
    std::shared_ptr<const VCentroidTrackerConfidence> confidence)
    : m_FrameRate(frameRate), m_X0(x0), m_Y0(y0), m_X1(x1), m_Y1(y1), m_Name(std::move(name)),
      m_Confidence(confidence ? std::move(confidence)
                              : std::make_shared<const VCentroidTrackerConfidence>())
{
    m_SingleTrackPosition.Level = DefaultSingleTrackPositionNoise;
    m_TrackPosition.Level = DefaultTrackPositionNoise;
    m_Radius.Level = DefaultRadiusNoise;
    RecomputeNoise();
}

void VHardwareCentroidTracker::SetNextTrackId(std::uint64_t id)
{
    m_FirstTrackId = id;
    m_NextTrackId = id;
}

void VHardwareCentroidTracker::SetSingleTrackPositionNoise(double level)
{
    m_SingleTrackPosition.Level = level;
    RecomputeNoise();
}

void VHardwareCentroidTracker::SetTrackPositionNoise(double level)
{
    m_TrackPosition.Level = level;
    RecomputeNoise();
}

void VHardwareCentroidTracker::SetRadiusNoise(double level)
{
    m_Radius.Level = level;
    RecomputeNoise();
}

void VHardwareCentroidTracker::RecomputeNoise()
{
    // A rate of 0 would make every inverse variance 0 and every gate infinite, linking any
    // centroid to any track; a NaN weight instead leaves the gates empty.
    const bool rateUsable = std::isfinite(m_FrameRate) && m_FrameRate > 0.0;
    for (VNoise* noise : {&m_SingleTrackPosition, &m_TrackPosition, &m_Radius})
    {
        if (!rateUsable)
        {
            noise->Variance = std::numeric_limits<double>::quiet_NaN();
            noise->Inverse = std::numeric_limits<double>::quiet_NaN();
            continue;
        }
        const double square = noise->Level * noise->Level;
        noise->Variance = square / m_FrameRate;
        noise->Inverse = m_FrameRate / square;
    }
}

void VHardwareCentroidTracker::Restart()
{
    m_Tracks.clear();
    m_Previous.clear();
    m_BeforePrevious.clear();
    m_NextTrackId = m_FirstTrackId;
    m_LastFrame.reset();
}

void VHardwareCentroidTracker::Process(const ICentroidSetDirect& centroids, std::uint64_t frame,
                                       ICentroidTrackSet& result)
{
    const ICentroidData* data = nullptr;
    std::uint32_t count = 0;
    centroids.GetData(&data, &count, nullptr);
    Process(data, count, frame, result);
}

void VHardwareCentroidTracker::Process(const ICentroidSet& centroids, std::uint64_t frame,
                                       ICentroidTrackSet& result)
{
    m_Copy.Assign(centroids);
    Process(static_cast<const ICentroidSetDirect&>(m_Copy), frame, result);
}

void VHardwareCentroidTracker::Process(const ICentroidData* centroids, std::uint32_t count,
                                       std::uint64_t frame, ICentroidTrackSet& result)
{
    if (centroids == nullptr)
    {
        count = 0;
    }
    // A frame number that does not advance would wrap the unsigned time step into a huge
    // one, and with it open every gate: start again instead.
    if (m_LastFrame && frame <= *m_LastFrame)
    {
        Restart();
    }
    const std::uint64_t timeStep = m_LastFrame ? frame - *m_LastFrame : 1;
    m_LastFrame = frame;

    m_Frame.assign(centroids, centroids + count);
    SortCentroids();
    Predict();
    Score(timeStep);

    result.Resize(count);
    ICentroidTrackData* entries = nullptr;
    result.GetData(&entries, nullptr);
    m_CentroidAssigned.assign(count, 0);
    m_NewTracks.clear();
    Assign(entries);
    StartTracks(entries);

    m_Tracks.swap(m_NewTracks);
    m_BeforePrevious.swap(m_Previous);
    m_Previous.swap(m_Frame);
}

void VHardwareCentroidTracker::SortCentroids()
{
    m_Sorted.clear();
    for (std::uint32_t i = 0; i < m_Frame.size(); ++i)
    {
        if (IsUsable(m_Frame[i]))
        {
            m_Sorted.push_back({m_Frame[i].X, i});
        }
    }
    // Equal x values keep input order, so that results do not depend on the sort.
    std::sort(m_Sorted.begin(), m_Sorted.end(),
              [](const VSortedCentroid& a, const VSortedCentroid& b)
              { return a.X < b.X || (a.X == b.X && a.Index < b.Index); });
}

void VHardwareCentroidTracker::Predict()
{
    m_Predictions.clear();
    for (const VTrack& track : m_Tracks)
    {
        const ICentroidData& last = m_Previous[track.Last];
        if (track.Length <= 1)
        {
            m_Predictions.push_back({last.X, last.Y, last.Radius, true});
            continue;
        }
        const ICentroidData& before = m_BeforePrevious[track.Previous];
        m_Predictions.push_back({2.0 * last.X - before.X, 2.0 * last.Y - before.Y,
                                 2.0 * last.Radius - before.Radius, false});
    }
}

void VHardwareCentroidTracker::Score(std::uint64_t timeStep)
{
    m_Matches.clear();
    // Weights fall, and gates widen with the square root of the time step.
    const double perStep = 1.0 / static_cast<double>(timeStep);
    const double radiusWeight = m_Radius.Inverse * perStep;
    for (std::uint32_t t = 0; t < m_Predictions.size(); ++t)
    {
        const VPrediction& p = m_Predictions[t];
        const double weight =
            (p.Single ? m_SingleTrackPosition.Inverse : m_TrackPosition.Inverse) * perStep;
        const double gate = GateDeviations / std::sqrt(weight);
        if (!(gate >= 0.0) || !std::isfinite(p.X) || !std::isfinite(p.Y) ||
            !std::isfinite(p.Radius))
        {
            continue;
        }
        const double high = p.X + gate;
        auto candidate =
            std::lower_bound(m_Sorted.begin(), m_Sorted.end(), p.X - gate,
                             [](const VSortedCentroid& c, double x) { return c.X < x; });
        double best = ScoreLimit;
        bool found = false;
        std::uint32_t bestIndex = 0;
        for (; candidate != m_Sorted.end() && candidate->X <= high; ++candidate)
        {
            const ICentroidData& c = m_Frame[candidate->Index];
            if (c.Y < p.Y - gate || c.Y > p.Y + gate)
            {
                continue;
            }
            const double dx = c.X - p.X;
            const double dy = c.Y - p.Y;
            const double dr = c.Radius - p.Radius;
            const double score = (dx * dx + dy * dy) * weight + dr * dr * radiusWeight;
            if (score < best)
            {
                best = score;
                bestIndex = candidate->Index;
                found = true;
            }
        }
        if (found)
        {
            m_Matches.push_back({best, t, bestIndex});
        }
    }
    std::sort(m_Matches.begin(), m_Matches.end(),
              [](const VMatch& a, const VMatch& b)
              {
                  if (a.Score != b.Score)
                  {
                      return a.Score < b.Score;
                  }
                  if (a.Track != b.Track)
                  {
                      return a.Track < b.Track;
                  }
                  return a.Centroid < b.Centroid;
              });
}

void VHardwareCentroidTracker::Assign(ICentroidTrackData* result)
{
    // Each track has at most one match, so only the centroids can be claimed twice.
    for (const VMatch& match : m_Matches)
    {
        if (m_CentroidAssigned[match.Centroid] != 0)
        {
            continue;
        }
        m_CentroidAssigned[match.Centroid] = 1;
        const VTrack& track = m_Tracks[match.Track];
        const std::uint32_t length = track.Length == std::numeric_limits<std::uint32_t>::max()
                                         ? track.Length
                                         : track.Length + 1;
        ICentroidTrackData& entry = result[match.Centroid];
        entry.Id = static_cast<std::int64_t>(track.Id);
        entry.Length = length;
        entry.Confidence =
            static_cast<float>(Confidence(m_Frame[match.Centroid], m_Predictions[match.Track]));
        m_NewTracks.push_back({track.Id, length, match.Centroid, track.Last});
    }
}

void VHardwareCentroidTracker::StartTracks(ICentroidTrackData* result)
{
    for (std::uint32_t i = 0; i < m_Frame.size(); ++i)
    {
        if (m_CentroidAssigned[i] != 0)
        {
            continue;
        }
        const std::uint64_t id = m_NextTrackId++;
        ICentroidTrackData& entry = result[i];
        entry.Id = static_cast<std::int64_t>(id);
        entry.Length = 1;
        entry.Confidence = 0.0f;
        m_NewTracks.push_back({id, 1, i, 0});
    }
}

double VHardwareCentroidTracker::Confidence(const ICentroidData& centroid,
                                            const VPrediction& prediction) const
{
    const VCentroidTrackerConfidence& k = *m_Confidence;
    const double fraction = centroid.Fraction;
    const double fractionFactor =
        fraction == 0.0 ? 1.0
                        : ClampUnit((fraction - k.FractionLow) / (k.FractionHigh - k.FractionLow));
    const double radiusFactor =
        ClampUnit(1.0 - std::abs(centroid.Radius - prediction.Radius) / k.RadiusTolerance);
    return fractionFactor * radiusFactor;
}

} // namespace CoreOrvanAlgo
