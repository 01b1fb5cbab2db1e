// The shared decoded frames of a trial: one decode per frame whatever the readers, only the
// kinds asked for, bounded slots, a read-ahead thread that stays ahead of the readers and
// stops promptly, and frames that stay put while a reader holds them.
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

using namespace TrialTest;

namespace
{

constexpr std::uint32_t kCameras = 3;
constexpr std::uint32_t kFrames = 6;

std::shared_ptr<VX2DHolder> WriteTrial(const VTempDir& dir)
{
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings;
    settings.Cameras = {MakeCamera(1), MakeCamera(2), MakeCamera(3)};
    VX2DExport writer;
    if (!writer.Open(path, settings))
        return nullptr;
    for (std::uint32_t f = 0; f < kFrames; ++f)
    {
        VFrames frames;
        FillFrames(frames, kCameras, f);
        if (!writer.WriteFrame(f, &frames.Centroids, &frames.Tracks, &frames.Greyscale,
                               &frames.Edges))
            return nullptr;
    }
    if (!writer.Close())
        return nullptr;
    return VX2DHolder::Open(path, true, 1);
}

/// The frame as a private read gives it, every kind.
VFrames PrivateRead(VX2DHolder& holder, std::uint32_t index)
{
    VFrames frames;
    holder.ReadFrame(index, &frames.Centroids, &frames.Tracks, &frames.Greyscale, &frames.Edges);
    return frames;
}

/// A copy of a shared frame's four kinds, to compare with ExpectSameContents.
VFrames Copy(const VX2DDecodedFrame& frame)
{
    VFrames copy;
    copy.Centroids = frame.Centroids;
    copy.Tracks = frame.Tracks;
    copy.Greyscale = frame.Blobs;
    copy.Edges = frame.Edges;
    return copy;
}

std::uint64_t ReaderDecodes(const VX2DSharedFrames& frames)
{
    const VX2DSharedFrames::VStatistics statistics = frames.GetStatistics();
    return statistics.Decodes - statistics.ReadAheadDecodes;
}

template <typename Condition> bool WaitFor(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace

TEST(X2DSharedFrames, EveryReaderOfAFrameSharesOneDecodeOfTheKindsAskedFor)
{
    VTempDir dir;
    const std::shared_ptr<VX2DHolder> holder = WriteTrial(dir);
    ASSERT_NE(holder, nullptr);
    VX2DSharedFrames& frames = holder->GetSharedFrames();
    ASSERT_EQ(frames.GetFrameCount(), kFrames);

    // A tick of four cameras, twice over the trial: one decode per frame and tick.
    for (std::uint32_t loop = 0; loop < 2; ++loop)
    {
        for (std::uint32_t f = 0; f < kFrames; ++f)
        {
            const std::uint64_t before = frames.GetStatistics().Decodes;
            for (int camera = 0; camera < 4; ++camera)
            {
                const VX2DSharedFrames::VFrameRef frame = frames.Acquire(f, X2DFrameKind::All);
                ASSERT_TRUE(frame);
                ExpectSameContents(PrivateRead(*holder, f), Copy(*frame));
            }
            EXPECT_EQ(frames.GetStatistics().Decodes, before + 1) << "frame " << f;
        }
    }
    // Without read-ahead two slots suffice, whatever the trial's length.
    EXPECT_LE(frames.GetSlotCount(), 2u);

    // A fresh reader of the same file: only the kinds asked for are decoded; a kind asked for
    // later is added to the frame; and the next frame is read with both at once.
    const std::shared_ptr<VX2DHolder> fresh = VX2DHolder::Open(dir.File("trial.x2d"), true, 1);
    ASSERT_NE(fresh, nullptr);
    VX2DSharedFrames& kinds = fresh->GetSharedFrames();
    {
        const VX2DSharedFrames::VFrameRef centroids = kinds.Acquire(2, X2DFrameKind::Centroids);
        EXPECT_EQ(centroids->Centroids.Count(), kCameras);
        EXPECT_EQ(centroids->Blobs.Count(), 0u);
        EXPECT_EQ(centroids->Tracks.Count(), 0u);
        EXPECT_EQ(kinds.GetStatistics().Decodes, 1u);
    }
    {
        kinds.Acquire(2, X2DFrameKind::Blobs).Release();
        EXPECT_EQ(kinds.GetStatistics().Decodes, 2u);
        const VX2DSharedFrames::VFrameRef both =
            kinds.Acquire(2, X2DFrameKind::Blobs | X2DFrameKind::Centroids);
        EXPECT_EQ(kinds.GetStatistics().Decodes, 2u);
        const VFrames expected = PrivateRead(*holder, 2);
        VFrames actual = Copy(*both);
        actual.Tracks = expected.Tracks; // not asked for
        actual.Edges = expected.Edges;
        ExpectSameContents(expected, actual);
    }
    {
        VX2DSharedFrames::VFrameRef next = kinds.Acquire(3, X2DFrameKind::Centroids);
        EXPECT_EQ(next->Blobs.Count(), kCameras) << "read with the blobs the readers want";
        EXPECT_EQ(next->Tracks.Count(), 0u);
        next = kinds.Acquire(3, X2DFrameKind::Blobs);
        EXPECT_EQ(kinds.GetStatistics().Decodes, 3u);
    }

    // Beyond the trial: an empty view.
    EXPECT_FALSE(frames.Acquire(kFrames, X2DFrameKind::All));
}

TEST(X2DSharedFrames, AFrameHeldByOneReaderStaysWhileOthersMoveOn)
{
    VTempDir dir;
    const std::shared_ptr<VX2DHolder> holder = WriteTrial(dir);
    ASSERT_NE(holder, nullptr);
    VX2DSharedFrames& frames = holder->GetSharedFrames();
    const VFrames expected = PrivateRead(*holder, 0);

    const VX2DSharedFrames::VFrameRef held = frames.Acquire(0, X2DFrameKind::All);
    std::thread other(
        [&frames]
        {
            for (std::uint32_t i = 1; i < 5 * kFrames; ++i)
            {
                const VX2DSharedFrames::VFrameRef frame =
                    frames.Acquire(i % kFrames, X2DFrameKind::All);
            }
        });
    other.join();
    ExpectSameContents(expected, Copy(*held));
}

TEST(X2DSharedFrames, ReadAheadDecodesTheNextFramesOnItsOwnThreadAndStopsAtOnce)
{
    VTempDir dir;
    std::shared_ptr<VX2DHolder> holder = WriteTrial(dir);
    ASSERT_NE(holder, nullptr);
    VX2DSharedFrames& frames = holder->GetSharedFrames();
    std::atomic<bool> startedOnItsThread{false};
    const std::thread::id caller = std::this_thread::get_id();
    ASSERT_TRUE(frames.StartReadAhead(
        2, [&] { startedOnItsThread = std::this_thread::get_id() != caller; }));

    // Over two loops of the trial (its end wraps to frame 0), the readers decode only the
    // first frame themselves once the read-ahead has caught up with each next one.
    for (std::uint32_t i = 0; i < 2 * kFrames; ++i)
    {
        const std::uint32_t f = i % kFrames;
        {
            const VX2DSharedFrames::VFrameRef frame = frames.Acquire(f, X2DFrameKind::All);
            ExpectSameContents(PrivateRead(*holder, f), Copy(*frame));
        }
        ASSERT_TRUE(WaitFor([&] { return frames.GetStatistics().ReadAheadDecodes >= i + 2; }))
            << "the read-ahead did not decode frame " << (f + 2) % kFrames;
    }
    EXPECT_EQ(ReaderDecodes(frames), 1u);
    EXPECT_TRUE(startedOnItsThread.load());
    // The window (the frame asked for and two ahead) plus one to fill while another is held.
    EXPECT_LE(frames.GetSlotCount(), 4u);

    // Idle, the thread waits; releasing the trial stops and joins it at once.
    const auto start = std::chrono::steady_clock::now();
    holder.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

TEST(X2DSharedFrames, ReadersOnSeveralThreadsWithReadAheadSeeTheFramesTheyAskFor)
{
    VTempDir dir;
    const std::shared_ptr<VX2DHolder> holder = WriteTrial(dir);
    ASSERT_NE(holder, nullptr);
    VX2DSharedFrames& frames = holder->GetSharedFrames();
    ASSERT_TRUE(frames.StartReadAhead(3));
    std::vector<VFrames> expected;
    for (std::uint32_t f = 0; f < kFrames; ++f)
        expected.push_back(PrivateRead(*holder, f));

    std::atomic<int> mismatches{0};
    auto reader = [&](std::uint64_t seed)
    {
        std::mt19937_64 random(seed);
        for (int i = 0; i < 3000; ++i)
        {
            const auto f = static_cast<std::uint32_t>(random() % kFrames);
            const std::uint32_t kinds = static_cast<std::uint32_t>(random() % 15) + 1;
            const VX2DSharedFrames::VFrameRef frame = frames.Acquire(f, kinds);
            const std::uint32_t camera = static_cast<std::uint32_t>(random() % kCameras);
            if ((kinds & X2DFrameKind::Centroids) != 0 &&
                frame->Centroids.GetSetDirect(camera)->Count() !=
                    expected[f].Centroids.GetSetDirect(camera)->Count())
                ++mismatches;
            if ((kinds & X2DFrameKind::Edges) != 0 &&
                frame->Edges.GetSetDirect(camera)->Count() !=
                    expected[f].Edges.GetSetDirect(camera)->Count())
                ++mismatches;
            if ((kinds & X2DFrameKind::Blobs) != 0 &&
                frame->Blobs.GetSetDirect(camera)->GetInfoByte() !=
                    expected[f].Greyscale.GetSetDirect(camera)->GetInfoByte())
                ++mismatches;
        }
    };
    std::thread first(reader, 1);
    std::thread second(reader, 2);
    reader(3);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_LE(frames.GetSlotCount(), 5u);
}
