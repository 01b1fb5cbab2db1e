// Decoding every frame of a generated X2D trial (all four kinds, 16 cameras) against reading
// the same file raw in 64 MiB chunks, both in one run, in MB/s: from the page cache (warm)
// and with the file's pages dropped before each pass (cold, from the disk). The trial is
// written first and removed at the end; memory stays at the reader's buffer plus one frame.
#include "FileIO/DefaultFormats.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DImport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr std::uint32_t kCameras = 16;
constexpr std::uint32_t kCentroids = 40;
constexpr std::uint32_t kBlobs = 8;
constexpr std::uint32_t kLinesPerBlob = 8;
constexpr std::uint32_t kPixelsPerLine = 12;
constexpr std::uint32_t kEdgePairs = 20;
constexpr std::uint64_t kRawChunk = std::uint64_t{64} << 20;

std::string g_Path;
std::uint64_t g_FileSize = 0;
// Wall-clock rates of the last run of each benchmark, [0] warm and [1] cold.
double g_RawMBps[2] = {0.0, 0.0};
double g_DecodeMBps[2] = {0.0, 0.0};

/// Writes the file's dirty pages and drops its cached ones, so the next read comes from disk.
void DropCachedPages()
{
    const int file = ::open(g_Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file >= 0)
    {
        ::fdatasync(file);
        ::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED);
        ::close(file);
    }
}

/// One frame of plausible content, varied by `seed`.
void FillFrame(VCentroidFrame& centroids, VCentroidTrackFrame& tracks,
               VGreyscaleBlobFrame& greyscale, VEdgePairFrame& edges, std::uint32_t seed)
{
    centroids.Resize(kCameras);
    tracks.Resize(kCameras);
    greyscale.Resize(kCameras);
    edges.Resize(kCameras);
    std::vector<std::uint8_t> pixels(kPixelsPerLine);
    std::vector<IGreyscaleLineData> lines(kLinesPerBlob);
    for (std::uint32_t c = 0; c < kCameras; ++c)
    {
        VCentroidSet& cs = *centroids.GetSetDirect(c);
        cs.Resize(kCentroids);
        VCentroidTrackSet& ts = *tracks.GetSetDirect(c);
        ts.Resize(kCentroids);
        ICentroidTrackData* track = nullptr;
        ts.GetData(&track, nullptr);
        for (std::uint32_t i = 0; i < kCentroids; ++i)
        {
            ICentroidData* centroid = nullptr;
            cs.GetItemData(i, &centroid);
            *centroid = {10.0 + 23.7 * i + 0.01 * seed, 5.0 + 11.3 * c, 2.5, 0.75};
            track[i] = {std::int64_t{seed} * 64 + i, seed % 500, 0.9f};
        }
        VGreyscaleBlobSet& gs = *greyscale.GetSetDirect(c);
        gs.Clear();
        gs.SetInfoByte(static_cast<std::uint8_t>(seed));
        for (std::uint32_t b = 0; b < kBlobs; ++b)
        {
            for (std::uint32_t l = 0; l < kLinesPerBlob; ++l)
            {
                pixels[l % kPixelsPerLine] = static_cast<std::uint8_t>(seed + b + l);
                lines[l] = {static_cast<std::uint16_t>(100 + b * 20),
                            static_cast<std::uint16_t>(200 + l), pixels.data(),
                            static_cast<std::uint16_t>(kPixelsPerLine)};
            }
            gs.AppendData({lines.data(), static_cast<std::uint16_t>(kLinesPerBlob), 1});
        }
        VEdgePairSet& es = *edges.GetSetDirect(c);
        es.Resize(kEdgePairs);
        IEdgePairData* edge = nullptr;
        es.GetData(&edge, nullptr);
        for (std::uint32_t e = 0; e < kEdgePairs; ++e)
        {
            edge[e] = {static_cast<std::uint16_t>(e), static_cast<std::uint16_t>(seed),
                       static_cast<std::uint16_t>(e + 3)};
        }
    }
}

bool GenerateTrial(const std::string& path, std::uint64_t targetBytes)
{
    VX2DExportSettings settings;
    settings.SystemFrameRate = 100.0;
    settings.BufferMiB = 16;
    for (std::uint32_t c = 0; c < kCameras; ++c)
    {
        CameraInfoRecord camera;
        camera.CameraId = c + 1;
        camera.SensorWidth = 2048;
        camera.SensorHeight = 1088;
        settings.Cameras.push_back(camera);
    }
    VX2DExport writer;
    if (!writer.Open(path, settings))
    {
        std::fprintf(stderr, "%s\n", writer.GetError().c_str());
        return false;
    }
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    FillFrame(centroids, tracks, greyscale, edges, 0);
    std::uint64_t frameBytes = 0;
    for (std::uint32_t f = 0; frameBytes == 0 || f * frameBytes < targetBytes; ++f)
    {
        if (f % 64 == 0)
        {
            FillFrame(centroids, tracks, greyscale, edges, f);
        }
        if (!writer.WriteFrame(f, &centroids, &tracks, &greyscale, &edges))
        {
            std::fprintf(stderr, "%s\n", writer.GetError().c_str());
            return false;
        }
        if (f == 1)
        {
            frameBytes =
                writer.GetIndex().GetEntries()[1].Offset - writer.GetIndex().GetEntries()[0].Offset;
        }
    }
    return writer.Close();
}

double MBps(std::uint64_t bytes, double seconds)
{
    return seconds > 0.0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
}

/// Reads the file with pread in 64 MiB chunks into one buffer: no decoding.
/// state.range(0): 1 for cold passes.
void BM_RawRead64MiB(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    std::vector<std::uint8_t> buffer(kRawChunk);
    const int file = ::open(g_Path.c_str(), O_RDONLY | O_CLOEXEC);
    double seconds = 0.0;
    std::uint64_t bytes = 0;
    for (auto _ : state)
    {
        if (cold)
        {
            state.PauseTiming();
            DropCachedPages();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        std::uint64_t position = 0;
        ssize_t got = 0;
        while ((got = ::pread(file, buffer.data(), buffer.size(), static_cast<off_t>(position))) >
               0)
        {
            position += static_cast<std::uint64_t>(got);
            benchmark::DoNotOptimize(buffer.data());
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes += position;
    }
    ::close(file);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    g_RawMBps[cold ? 1 : 0] = MBps(bytes, seconds);
}

/// Opens the trial (64 MiB buffer, as the device manager does) and decodes every frame of
/// every camera into the four frames.
void BM_DecodeAllFrames(benchmark::State& state)
{
    const bool cold = state.range(0) != 0;
    VCentroidFrame centroids;
    VCentroidTrackFrame tracks;
    VGreyscaleBlobFrame greyscale;
    VEdgePairFrame edges;
    double seconds = 0.0;
    std::uint64_t bytes = 0;
    std::uint64_t items = 0;
    for (auto _ : state)
    {
        if (cold)
        {
            state.PauseTiming();
            DropCachedPages();
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        VX2DImport import(64);
        if (!import.Open(g_Path, false))
        {
            state.SkipWithError("cannot open the trial");
            return;
        }
        const std::uint32_t frames = import.GetFrameCount();
        for (std::uint32_t f = 0; f < frames; ++f)
        {
            if (!import.ReadFrame(f, &centroids, &tracks, &greyscale, &edges))
            {
                state.SkipWithError("a frame failed");
                return;
            }
            items += centroids.GetSetDirect(0)->Count();
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes += g_FileSize;
    }
    benchmark::DoNotOptimize(items);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    g_DecodeMBps[cold ? 1 : 0] = MBps(bytes, seconds);
}
} // namespace

BENCHMARK(BM_RawRead64MiB)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_DecodeAllFrames)
    ->ArgName("cold")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* fileText = std::getenv("TSM_TRIAL_BENCH_FILE");
    const char* dirText = std::getenv("TSM_TRIAL_BENCH_DIR");
    const char* mibText = std::getenv("TSM_TRIAL_BENCH_MIB");
    const std::filesystem::path dir = dirText != nullptr ? std::filesystem::path(dirText)
                                                         : std::filesystem::temp_directory_path();
    const std::uint64_t mib = mibText != nullptr ? std::strtoull(mibText, nullptr, 10) : 1024;
    // An existing trial given by TSM_TRIAL_BENCH_FILE is measured and kept.
    const bool generate = fileText == nullptr;
    g_Path = generate
                 ? (dir / ("tsm-trialfiles-bench-" + std::to_string(::getpid()) + ".x2d")).string()
                 : std::string(fileText);

    bool ready = true;
    std::error_code error;
    if (generate)
    {
        const auto start = std::chrono::steady_clock::now();
        ready = GenerateTrial(g_Path, mib << 20);
        std::printf(
            "Generated %s in %.1f s\n", g_Path.c_str(),
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    g_FileSize = std::filesystem::file_size(g_Path, error);
    ready = ready && !error;
    std::printf("Trial of %.1f MiB\n", static_cast<double>(g_FileSize) / (1 << 20));
    if (ready)
    {
        benchmark::RunSpecifiedBenchmarks();
        const char* names[2] = {"warm", "cold"};
        for (int c = 0; c < 2; ++c)
        {
            std::printf("%s: raw read %.0f MB/s, decode %.0f MB/s: decode at %.0f%% of raw\n",
                        names[c], g_RawMBps[c], g_DecodeMBps[c],
                        g_RawMBps[c] > 0.0 ? 100.0 * g_DecodeMBps[c] / g_RawMBps[c] : 0.0);
        }
    }
    if (generate)
    {
        std::filesystem::remove(g_Path, error);
    }
    benchmark::Shutdown();
    return ready ? 0 : 1;
}
