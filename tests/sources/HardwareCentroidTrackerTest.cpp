// Tests of the centroid tracker: track ids and lengths, gate sizes, the greedy assignment,
// confidence, restarts on frame numbers that do not advance, and bounded state.
#include "sources/VHardwareCentroidTracker.h"

#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrackSet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <set>
#include <vector>

using CoreOrvanAlgo::VCentroidTrackerConfidence;
using CoreOrvanAlgo::VHardwareCentroidTracker;

namespace
{

constexpr std::int64_t FirstId = std::numeric_limits<std::int64_t>::min(); // 0x8000000000000000

/// A tracker set up as the trial-file centroid source sets it up for a camera of the given
/// sensor width: s1 = 5 % of the width, s2 = s1 / 3, s3 = 10.
std::unique_ptr<VHardwareCentroidTracker>
MakeTracker(double width = 2352.0, double rate = 100.0,
            std::shared_ptr<const VCentroidTrackerConfidence> confidence =
                std::make_shared<const VCentroidTrackerConfidence>())
{
    auto tracker = std::make_unique<VHardwareCentroidTracker>(rate, 0.0, 0.0, width, 1728.0, "zt:1",
                                                              std::move(confidence));
    const double s1 = width * 5 * 0.01;
    tracker->SetNextTrackId(0x8000000000000000ULL);
    tracker->SetSingleTrackPositionNoise(s1);
    tracker->SetTrackPositionNoise(s1 / 3);
    tracker->SetRadiusNoise(10.0);
    return tracker;
}

ICentroidData At(double x, double y, double radius = 3.0, double fraction = 0.0)
{
    return ICentroidData{x, y, radius, fraction};
}

/// Runs one frame and returns the result entries.
std::vector<ICentroidTrackData> Track(VHardwareCentroidTracker& tracker, std::uint64_t frame,
                                      const std::vector<ICentroidData>& centroids)
{
    VCentroidSet set;
    set.SetAll(centroids.data(), static_cast<std::uint32_t>(centroids.size()), 0.0, VStringStd());
    VCentroidTrackSet result;
    tracker.Process(set, frame, result);
    const ICentroidTrackData* data = nullptr;
    std::uint32_t count = 0;
    result.GetData(&data, &count);
    return std::vector<ICentroidTrackData>(data, data + count);
}

/// Whether one centroid seen at `from` in frame 1 keeps its track when it is at `to` in frame
/// 1 + timeStep, on a fresh tracker set up for a 2352 pixel wide sensor at 100 Hz.
bool Linked(ICentroidData from, ICentroidData to, std::uint64_t timeStep = 1)
{
    auto tracker = MakeTracker();
    const auto first = Track(*tracker, 1, {from});
    const auto second = Track(*tracker, 1 + timeStep, {to});
    return second.at(0).Id == first.at(0).Id;
}

TEST(HardwareCentroidTracker, FirstFrameStartsTracksInInputOrder)
{
    auto tracker = MakeTracker();
    const auto result = Track(*tracker, 7, {At(500, 20), At(10, 900), At(1200, 300)});
    ASSERT_EQ(result.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(result[i].Id, FirstId + static_cast<std::int64_t>(i));
        EXPECT_EQ(result[i].Length, 1u);
        EXPECT_EQ(result[i].Confidence, 0.0f);
    }

    // Without a configured first id, ids count from 0.
    VHardwareCentroidTracker plain(100.0, 0, 0, 100, 100, "zt:2", nullptr);
    EXPECT_EQ(Track(plain, 0, {At(1, 1), At(2, 2)}).at(1).Id, 1);
}

TEST(HardwareCentroidTracker, SlowlyMovingCentroidKeepsItsIdAndGrows)
{
    auto tracker = MakeTracker();
    // A steady walk with a second, still centroid; later frames list them in swapped order.
    for (std::uint32_t frame = 0; frame < 20; ++frame)
    {
        const ICentroidData moving = At(100.0 + 4.0 * frame, 200.0 + 2.5 * frame);
        const ICentroidData still = At(1000.0, 1000.0);
        const bool swapped = frame >= 10;
        const auto result =
            Track(*tracker, 50 + frame,
                  swapped ? std::vector{still, moving} : std::vector{moving, still});
        const ICentroidTrackData& m = result.at(swapped ? 1 : 0);
        const ICentroidTrackData& s = result.at(swapped ? 0 : 1);
        EXPECT_EQ(m.Id, FirstId) << "frame " << frame;
        EXPECT_EQ(s.Id, FirstId + 1) << "frame " << frame;
        EXPECT_EQ(m.Length, frame + 1);
        EXPECT_EQ(s.Length, frame + 1);
        // Fraction 0 and the predicted radius: full confidence once the track is linked.
        EXPECT_EQ(m.Confidence, frame == 0 ? 0.0f : 1.0f);
    }
    EXPECT_EQ(tracker->TrackCount(), 2u);
}

TEST(HardwareCentroidTracker, GateOfSingleSeenTrackWidensWithTimeStep)
{
    // 2352 px at 100 Hz: s1 = 117.6, so the gate after one frame is 3 * 117.6 / 10 = 35.28 px.
    EXPECT_TRUE(Linked(At(500, 500), At(535.2, 500)));
    EXPECT_FALSE(Linked(At(500, 500), At(535.4, 500)));
    EXPECT_TRUE(Linked(At(500, 500), At(500, 464.8)));
    EXPECT_FALSE(Linked(At(500, 500), At(500, 464.6)));
    // Inside the square gate but beyond three standard deviations: the score is too high.
    EXPECT_FALSE(Linked(At(500, 500), At(530, 530)));
    // A radius change costs score too: at 35.2 px a change of 3 px breaks the link.
    EXPECT_FALSE(Linked(At(500, 500, 3.0), At(535.2, 500, 6.0)));

    // Two frames later the gate is sqrt(2) * 35.28 = 49.89 px.
    EXPECT_TRUE(Linked(At(500, 500), At(549.8, 500), 2));
    EXPECT_FALSE(Linked(At(500, 500), At(550.0, 500), 2));
    EXPECT_TRUE(Linked(At(500, 500), At(500, 549.8), 2));
}

TEST(HardwareCentroidTracker, EstablishedTrackPredictsConstantVelocityWithNarrowerGate)
{
    // s2 = 39.2: the gate around the prediction is 3 * 39.2 / 10 = 11.76 px.
    for (const double miss : {11.7, 11.8})
    {
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(100, 100)});
        Track(*tracker, 2, {At(120, 100)});
        // Predicted at 140; the track survives a miss just inside the gate only.
        const auto result = Track(*tracker, 3, {At(140 + miss, 100)});
        EXPECT_EQ(result.at(0).Id == FirstId, miss < 11.76) << "miss " << miss;
    }
    // The radius is extrapolated too: a steady growth keeps full confidence.
    auto tracker = MakeTracker();
    Track(*tracker, 1, {At(100, 100, 2.0)});
    Track(*tracker, 2, {At(100, 100, 2.5)});
    const auto result = Track(*tracker, 3, {At(100, 100, 3.0)});
    EXPECT_EQ(result.at(0).Length, 3u);
    EXPECT_EQ(result.at(0).Confidence, 1.0f);
}

TEST(HardwareCentroidTracker, GreedyAssignmentByScore)
{
    {
        // Two centroids in one gate: the nearer one continues the track, the other starts one.
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(100, 100)});
        const auto result = Track(*tracker, 2, {At(110, 100), At(105, 100)});
        EXPECT_EQ(result[1].Id, FirstId);
        EXPECT_EQ(result[1].Length, 2u);
        EXPECT_EQ(result[0].Id, FirstId + 1);
        EXPECT_EQ(result[0].Length, 1u);
    }
    {
        // Two tracks want one centroid: the better score wins, and the loser ends although
        // another centroid lies in its gate (each track offers only its best candidate).
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(100, 100), At(120, 100)});
        const auto result = Track(*tracker, 2, {At(111, 100), At(135, 100)});
        EXPECT_EQ(result[0].Id, FirstId + 1);
        EXPECT_EQ(result[1].Id, FirstId + 2);
        EXPECT_EQ(result[1].Length, 1u);
        EXPECT_EQ(tracker->TrackCount(), 2u);
    }
    {
        // Equal scores: the earlier track wins.
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(100, 100), At(120, 100)});
        const auto result = Track(*tracker, 2, {At(110, 100)});
        EXPECT_EQ(result[0].Id, FirstId);
    }
    {
        // Equal scores inside one gate: the first candidate in x order is kept.
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(100, 100)});
        const auto result = Track(*tracker, 2, {At(110, 100), At(90, 100)});
        EXPECT_EQ(result[1].Id, FirstId);
        EXPECT_EQ(result[0].Id, FirstId + 1);
    }
}

TEST(HardwareCentroidTracker, ConfidenceFromFractionAndRadius)
{
    const auto confidenceOf =
        [](ICentroidData second, std::shared_ptr<const VCentroidTrackerConfidence> values)
    {
        auto tracker = MakeTracker(2352.0, 100.0, std::move(values));
        Track(*tracker, 1, {At(300, 300, 4.0)});
        const ICentroidTrackData entry = Track(*tracker, 2, {second}).at(0);
        EXPECT_EQ(entry.Length, 2u) << "not linked";
        return entry.Confidence;
    };
    const auto defaults = std::make_shared<const VCentroidTrackerConfidence>();
    // Fraction 0 and the predicted radius: 1.
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 4.0, 0.0), defaults), 1.0f);
    // The fraction factor rises from 0 at 0.4 to 1 at 0.8.
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 4.0, 0.3), defaults), 0.0f);
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 4.0, 0.5), defaults), 0.25f);
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 4.0, 0.9), defaults), 1.0f);
    // The radius factor falls from 1 to 0 at a difference of 2 px, either way.
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 4.5, 0.0), defaults), 0.75f);
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 3.5, 0.6), defaults), 0.375f);
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 6.0, 0.0), defaults), 0.0f);
    // The values come from the shared record.
    const auto wide = std::make_shared<const VCentroidTrackerConfidence>(
        VCentroidTrackerConfidence{10.0, 0.0, 0.5, 4.0});
    EXPECT_FLOAT_EQ(confidenceOf(At(301, 300, 5.0, 0.25), wide), 0.375f);
    // A record whose bounds coincide makes 0 / 0: such a factor counts as 0, never NaN.
    const auto degenerate = std::make_shared<const VCentroidTrackerConfidence>(
        VCentroidTrackerConfidence{10.0, 0.5, 0.5, 0.0});
    EXPECT_EQ(confidenceOf(At(301, 300, 4.0, 0.5), degenerate), 0.0f);
}

TEST(HardwareCentroidTracker, RestartsWhenFrameNumberDoesNotAdvance)
{
    auto tracker = MakeTracker();
    Track(*tracker, 10, {At(100, 100)});
    EXPECT_EQ(Track(*tracker, 11, {At(101, 100)}).at(0).Length, 2u);

    // The same frame number again: new tracks, ids from the start.
    auto result = Track(*tracker, 11, {At(102, 100), At(400, 400)});
    EXPECT_EQ(result[0].Id, FirstId);
    EXPECT_EQ(result[0].Length, 1u);
    EXPECT_EQ(result[1].Id, FirstId + 1);

    Track(*tracker, 12, {At(103, 100)});
    // The frame number set back while the owner did not call: the time step must not wrap
    // into a gate that spans the sensor.
    result = Track(*tracker, 3, {At(1500, 900)});
    EXPECT_EQ(result[0].Id, FirstId);
    EXPECT_EQ(result[0].Length, 1u);
    // Tracking goes on from the new frame number, with the configured gates.
    result = Track(*tracker, 4, {At(1535.2, 900)});
    EXPECT_EQ(result[0].Id, FirstId);
    EXPECT_EQ(result[0].Length, 2u);
    result = Track(*tracker, 5, {At(1535.2, 1000)});
    EXPECT_EQ(result[0].Id, FirstId + 1);
}

TEST(HardwareCentroidTracker, StateStaysBoundedOverManyFrames)
{
    // Hundreds of wandering centroids, appearing and vanishing, over many frames: the tracks
    // carried over never outnumber the last frame's centroids, every centroid gets a track,
    // and no track id is given to two centroids of one frame.
    auto tracker = MakeTracker();
    std::mt19937 generator(1234);
    std::uniform_real_distribution<double> x(0.0, 2352.0);
    std::uniform_real_distribution<double> y(0.0, 1728.0);
    std::normal_distribution<double> step(0.0, 3.0);
    std::vector<ICentroidData> centroids(400);
    for (ICentroidData& c : centroids)
    {
        c = At(x(generator), y(generator));
    }
    std::uint64_t linked = 0;
    for (std::uint64_t frame = 1; frame <= 1500; ++frame)
    {
        for (ICentroidData& c : centroids)
        {
            c.X += step(generator);
            c.Y += step(generator);
        }
        // The last ones vanish and others appear elsewhere.
        const std::size_t count = 300 + generator() % 200;
        while (centroids.size() > count)
        {
            centroids.pop_back();
        }
        while (centroids.size() < count)
        {
            centroids.push_back(At(x(generator), y(generator)));
        }
        const auto result = Track(*tracker, frame, centroids);
        ASSERT_EQ(result.size(), centroids.size());
        ASSERT_EQ(tracker->TrackCount(), centroids.size());
        std::set<std::int64_t> ids;
        for (const ICentroidTrackData& entry : result)
        {
            ASSERT_GE(entry.Length, 1u);
            ASSERT_TRUE(ids.insert(entry.Id).second) << "id given twice in frame " << frame;
            linked += entry.Length > 1 ? 1 : 0;
        }
    }
    // Most centroids are followed: the walk is small against the gate.
    EXPECT_GT(linked, 1500u * 250u);
    // An empty frame ends every track.
    EXPECT_TRUE(Track(*tracker, 2000, {}).empty());
    EXPECT_EQ(tracker->TrackCount(), 0u);
}

TEST(HardwareCentroidTracker, SurvivesBadInput)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    {
        // Centroids without a usable position start a track each frame and disturb no other.
        auto tracker = MakeTracker();
        Track(*tracker, 1, {At(nan, 5), At(100, 100), At(inf, 5, 3.0), At(7, 7, nan)});
        const auto result =
            Track(*tracker, 2, {At(nan, 5), At(100, 100), At(inf, 5, 3.0), At(7, 7, nan)});
        EXPECT_EQ(result[0].Length, 1u);
        EXPECT_EQ(result[1].Id, FirstId + 1);
        EXPECT_EQ(result[1].Length, 2u);
        EXPECT_EQ(result[2].Length, 1u);
        EXPECT_EQ(result[3].Length, 1u);
        EXPECT_EQ(result[3].Id, FirstId + 6);
    }
    {
        // Many of them among good ones: sorting by x must not stumble over values that do
        // not compare, and the good ones are still followed.
        auto tracker = MakeTracker();
        std::vector<ICentroidData> centroids;
        for (int i = 0; i < 300; ++i)
        {
            centroids.push_back(i % 3 == 0 ? At(nan, i) : At(5.0 * i, 700.0 - i));
        }
        Track(*tracker, 1, centroids);
        const auto result = Track(*tracker, 2, centroids);
        for (int i = 0; i < 300; ++i)
        {
            EXPECT_EQ(result[i].Length, i % 3 == 0 ? 1u : 2u) << "centroid " << i;
        }
    }
    for (const double rate : {0.0, -50.0, nan})
    {
        // Without a usable frame rate nothing can be gated: no links, rather than links
        // between any centroids at all.
        auto tracker = MakeTracker(2352.0, rate);
        Track(*tracker, 1, {At(100, 100), At(2000, 1500)});
        const auto result = Track(*tracker, 2, {At(100, 100), At(2000, 1500)});
        EXPECT_EQ(result[0].Length, 1u) << "rate " << rate;
        EXPECT_EQ(result[1].Length, 1u) << "rate " << rate;
    }
    {
        // A null array counts as an empty frame; the plain set overload copies first.
        auto tracker = MakeTracker();
        VCentroidTrackSet result;
        tracker->Process(nullptr, 5, 1, result);
        EXPECT_EQ(result.Count(), 0u);
        VCentroidSet set;
        const ICentroidData data[] = {At(10, 10), At(20, 20)};
        set.SetAll(data, 2, 0.0, VStringStd());
        tracker->Process(static_cast<const ICentroidSet&>(set), 2, result);
        ASSERT_EQ(result.Count(), 2u);
        tracker->Process(static_cast<const ICentroidSet&>(set), 3, result);
        const ICentroidTrackData* entries = nullptr;
        result.GetData(&entries, nullptr);
        EXPECT_EQ(entries[1].Id, FirstId + 1);
        EXPECT_EQ(entries[1].Length, 2u);
    }
}

} // namespace
