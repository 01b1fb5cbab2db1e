#include "streamclient/LatencySummary.h"

#include <cinttypes>
#include <cstdio>

namespace
{

/// The smallest latency whose cumulative count reaches `rank` (1-based).
uint32_t LatencyAtRank(const std::map<uint32_t, uint32_t>& histogram, uint64_t rank)
{
    uint64_t cumulative = 0;
    for (const auto& [latency, count] : histogram)
    {
        cumulative += count;
        if (cumulative >= rank)
            return latency;
    }
    return histogram.empty() ? 0 : histogram.rbegin()->first;
}

} // namespace

VLatencyFigures ComputeLatencyFigures(const std::map<uint32_t, uint32_t>& histogram)
{
    VLatencyFigures figures;
    for (const auto& entry : histogram)
        figures.Frames += entry.second;
    if (figures.Frames == 0)
        return figures;
    // Nearest rank: ceil(p * n).
    figures.Median = LatencyAtRank(histogram, (figures.Frames + 1) / 2);
    figures.P99 = LatencyAtRank(histogram, (figures.Frames * 99 + 99) / 100);
    for (auto entry = histogram.rbegin(); entry != histogram.rend(); ++entry)
    {
        if (entry->second != 0)
        {
            figures.Max = entry->first;
            break;
        }
    }
    return figures;
}

std::string FormatLatencySummary(const std::map<uint32_t, uint32_t>& histogram)
{
    const VLatencyFigures figures = ComputeLatencyFigures(histogram);
    if (figures.Frames == 0)
        return "Latency: no frames matched";
    char line[160];
    std::snprintf(line, sizeof(line),
                  "Latency: %" PRIu64 " frames matched, median %" PRIu32 " ms, p99 %" PRIu32
                  " ms, max %" PRIu32 " ms",
                  figures.Frames, figures.Median, figures.P99, figures.Max);
    return line;
}
