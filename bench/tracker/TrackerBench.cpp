// Cost of the centroid tracker per frame, reported per centroid: markers circling slowly on
// a 2352 by 1728 sensor at 100 Hz, so that nearly every centroid continues its track.
#include "sources/VHardwareCentroidTracker.h"

#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrackSet.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace
{

constexpr double Width = 2352.0;
constexpr double Height = 1728.0;
constexpr std::size_t Period = 256; // frames per turn of each marker's circle

/// Period frames of `count` centroids, each on a circle of its own; the last frame joins the
/// first, so replaying them in a loop never breaks a track.
std::vector<VCentroidSet> MakeFrames(std::size_t count)
{
    std::mt19937 generator(42);
    std::uniform_real_distribution<double> x(40.0, Width - 40.0);
    std::uniform_real_distribution<double> y(40.0, Height - 40.0);
    std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
    std::uniform_real_distribution<double> circle(5.0, 30.0);
    struct Marker
    {
        double X, Y, Phase, Circle;
    };
    std::vector<Marker> markers(count);
    for (Marker& m : markers)
    {
        m = {x(generator), y(generator), phase(generator), circle(generator)};
    }
    std::vector<VCentroidSet> frames(Period);
    std::vector<ICentroidData> data(count);
    for (std::size_t f = 0; f < Period; ++f)
    {
        const double angle = 2.0 * std::numbers::pi * static_cast<double>(f) / Period;
        for (std::size_t i = 0; i < count; ++i)
        {
            const Marker& m = markers[i];
            data[i] = {m.X + m.Circle * std::cos(angle + m.Phase),
                       m.Y + m.Circle * std::sin(angle + m.Phase), 3.0, 0.6};
        }
        frames[f].SetAll(data.data(), static_cast<std::uint32_t>(count), 0.0, VStringStd());
    }
    return frames;
}

void TrackFrames(benchmark::State& state)
{
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::vector<VCentroidSet> frames = MakeFrames(count);
    CoreOrvanAlgo::VHardwareCentroidTracker tracker(
        100.0, 0.0, 0.0, Width, Height, "zt:1",
        std::make_shared<const CoreOrvanAlgo::VCentroidTrackerConfidence>());
    tracker.SetNextTrackId(0x8000000000000000ULL);
    tracker.SetSingleTrackPositionNoise(Width * 5 * 0.01);
    tracker.SetTrackPositionNoise(Width * 5 * 0.01 / 3);
    tracker.SetRadiusNoise(10.0);
    VCentroidTrackSet result;
    std::uint64_t frame = 0;
    std::uint64_t continued = 0;
    for (auto _ : state)
    {
        tracker.Process(frames[frame % Period], frame, result);
        ++frame;
        const ICentroidTrackData* entries = nullptr;
        result.GetData(&entries, nullptr);
        benchmark::DoNotOptimize(entries);
        continued += (count > 0 && entries[0].Length > 1) ? 1 : 0;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
    state.counters["ns_per_centroid"] =
        benchmark::Counter(static_cast<double>(state.iterations() * count) / 1e9,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    // Share of frames in which the first marker continued its track: a check that the
    // benchmark measures linking, not new tracks.
    state.counters["linked"] =
        static_cast<double>(continued) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(TrackFrames)->Arg(50)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
