// The summary line of a histogram: nearest-rank median and p99, the largest latency.
#include "streamclient/LatencySummary.h"

#include <gtest/gtest.h>

TEST(LatencySummary, ReadsMedianP99AndMaxByNearestRank)
{
    EXPECT_EQ(FormatLatencySummary({}), "Latency: no frames matched");
    EXPECT_EQ(FormatLatencySummary({{7, 1}}),
              "Latency: 1 frames matched, median 7 ms, p99 7 ms, max 7 ms");

    // 100 frames: 50 at 1 ms, 49 at 2, one at 40. Rank 50 is 1 ms, rank 99 is 2 ms.
    EXPECT_EQ(FormatLatencySummary({{1, 50}, {2, 49}, {40, 1}}),
              "Latency: 100 frames matched, median 1 ms, p99 2 ms, max 40 ms");
    // 101 frames: the median is rank 51, p99 rank 100.
    EXPECT_EQ(FormatLatencySummary({{1, 50}, {2, 49}, {40, 2}}),
              "Latency: 101 frames matched, median 2 ms, p99 40 ms, max 40 ms");
}
