// The one-line summary of a latency histogram that tsmCL prints at exit.
#pragma once

#include <cstdint>
#include <map>
#include <string>

/// Figures of a histogram (latency in ms to number of frames).
struct VLatencyFigures
{
    uint64_t Frames = 0; ///< the sum of the counts: frames matched
    uint32_t Median = 0;
    uint32_t P99 = 0;
    uint32_t Max = 0;
};

/// The figures by nearest rank: the median is the smallest latency at or below which at
/// least half the frames lie, p99 the same for 99 %. All zero for an empty histogram.
VLatencyFigures ComputeLatencyFigures(const std::map<uint32_t, uint32_t>& histogram);

/// "Latency: <n> frames matched, median <a> ms, p99 <b> ms, max <c> ms", or
/// "Latency: no frames matched"; no line end.
std::string FormatLatencySummary(const std::map<uint32_t, uint32_t>& histogram);
