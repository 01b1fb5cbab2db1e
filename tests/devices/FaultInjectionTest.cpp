// The fault plan's text, and what one device's fault injection does to the datagrams of its
// frames: on recording sinks, frame by frame, with the clock given by the test.
#include "devices/VDeviceFaults.h"
#include "devices/VFaultPlan.h"
#include "devices/VFaultySink.h"

#include "support/VRecordingSink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using testsupport::VRecordingSink;
using namespace std::chrono_literals;

namespace
{

using Clock = VDeviceFaults::Clock;

VFaultPlan Plan(const std::string& text)
{
    VFaultPlan plan;
    std::string error;
    EXPECT_TRUE(VFaultPlan::Parse(text, plan, error)) << text << ": " << error;
    return plan;
}

/// One device with two streams, each recording what goes out; frame f of stream s carries the
/// datagrams {s, f, i} for i below the stream's count.
struct VDevice
{
    explicit VDevice(const std::string& plan, std::uint32_t id = 7) : Faults(id)
    {
        Faults.Configure(Plan(plan), Start);
    }

    /// One frame step at Start + `at`: stream A sends `countA` datagrams, then B `countB`,
    /// or the other way round.
    void Frame(std::uint32_t frame, Clock::duration at, std::uint8_t countA = 3,
               std::uint8_t countB = 2, bool bFirst = false)
    {
        Faults.BeginFrame(frame);
        auto send =
            [&](VFaultySink& stream, VRecordingSink& sink, std::uint8_t key, std::uint8_t count)
        {
            for (std::uint8_t i = 0; i < count; ++i)
            {
                const std::uint8_t bytes[3] = {key, static_cast<std::uint8_t>(frame), i};
                stream.Route(sink).Send(bytes, sizeof bytes);
            }
        };
        if (bFirst)
            send(StreamB, SinkB, 'B', countB);
        send(StreamA, SinkA, 'A', countA);
        if (!bFirst)
            send(StreamB, SinkB, 'B', countB);
        Faults.EndFrame(Start + at);
    }

    /// The frame numbers of stream A's datagrams, in the order they went out.
    std::vector<int> FramesOfA() const
    {
        std::vector<int> frames;
        for (const auto& datagram : SinkA.m_Datagrams)
            frames.push_back(datagram[1]);
        return frames;
    }

    const Clock::time_point Start = Clock::now();
    VDeviceFaults Faults;
    VRecordingSink SinkA;
    VRecordingSink SinkB;
    VFaultySink StreamA{&Faults, 20000};
    VFaultySink StreamB{&Faults, 21000};
};

} // namespace

TEST(FaultPlan, ReadsEveryKeyAndRefusesWhatItCannotUse)
{
    const VFaultPlan plan = Plan(" seed=0x10 , device=33554433,drop=0.01,duplicate=0.02,"
                                 "drop_frames=0.25,swap_frames=0.5,delay_ms=150,silence=2@5.5,"
                                 "restart=7");
    EXPECT_EQ(plan.Seed, 16u);
    EXPECT_EQ(plan.Device, 33554433u);
    EXPECT_EQ(plan.ToString(), "seed=16,device=33554433,drop=0.01,duplicate=0.02,"
                               "drop_frames=0.25,swap_frames=0.5,delay_ms=150,silence=2@5.5,"
                               "restart=7");
    EXPECT_FALSE(Plan("device=all,seed=3").Device.has_value());
    EXPECT_FALSE(Plan("seed=3").InjectsAnything());

    // Each refused with a message that names what is wrong.
    const std::pair<const char*, const char*> refused[] = {
        {"drop=0.1,jitter=3", "unknown key \"jitter\""},
        {"drop=1.5", "bad value \"1.5\" for \"drop\""},
        {"drop=-0.1", "bad value \"-0.1\" for \"drop\""},
        {"drop_frames=0.6,swap_frames=0.6", "add up to more than 1"},
        {"delay_ms=10001", "bad value \"10001\" for \"delay_ms\""},
        {"silence=2", "bad value \"2\" for \"silence\""},
        {"silence=0@1", "bad value \"0@1\" for \"silence\""},
        {"device=camera", "bad value \"camera\" for \"device\""},
        {"seed=1,seed=2", "\"seed\" is given twice"},
        {"drop", "\"drop\" is not <key>=<value>"},
        {" , ", "no <key>=<value> given"},
    };
    for (const auto& [text, message] : refused)
    {
        VFaultPlan unchanged = plan;
        std::string error;
        EXPECT_FALSE(VFaultPlan::Parse(text, unchanged, error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << ": " << error;
        EXPECT_EQ(unchanged.ToString(), plan.ToString()) << "a refused text changes nothing";
    }
}

TEST(FaultInjection, ChoicesDependOnTheSeedAloneWhateverOrderTheStreamsSendIn)
{
    const std::string plan = "seed=42,drop=0.1,duplicate=0.1,drop_frames=0.1,swap_frames=0.1";
    VDevice first(plan);
    VDevice second(plan);
    VDevice otherSeed("seed=43,drop=0.1,duplicate=0.1,drop_frames=0.1,swap_frames=0.1");
    for (std::uint32_t frame = 0; frame < 200; ++frame)
    {
        first.Frame(frame, frame * 10ms);
        second.Frame(frame, frame * 10ms, 3, 2, /*bFirst=*/true);
        otherSeed.Frame(frame, frame * 10ms);
    }
    EXPECT_EQ(first.SinkA.m_Datagrams, second.SinkA.m_Datagrams);
    EXPECT_EQ(first.SinkB.m_Datagrams, second.SinkB.m_Datagrams);
    EXPECT_NE(first.SinkA.m_Datagrams, otherSeed.SinkA.m_Datagrams);
    // One clean frame more lets out a frame still held and shows a last dropped one.
    first.Faults.Configure(Plan("seed=42"), first.Start);
    first.Frame(200, 2000ms);

    // Every kind of fault happened, and the counts are what went out: 5 datagrams a frame,
    // less the dropped ones, plus the copies, over the frames that were not dropped whole.
    const VDeviceFaults::VCounts counts = first.Faults.GetCounts();
    EXPECT_GT(counts.DatagramsDropped, 0u);
    EXPECT_GT(counts.Duplicated, 0u);
    EXPECT_GT(counts.FramesDropped, 0u);
    EXPECT_GT(counts.FramesSwapped, 0u);
    EXPECT_EQ(first.SinkA.m_Datagrams.size() + first.SinkB.m_Datagrams.size(),
              5 * (201 - counts.FramesDropped) - counts.DatagramsDropped + counts.Duplicated);
    EXPECT_TRUE(first.Faults.HasInjected());
    EXPECT_EQ(first.Faults.FormatInjectedLine(),
              "7: injected: " + std::to_string(counts.DatagramsDropped) + " datagrams dropped, " +
                  std::to_string(counts.Duplicated) + " duplicated, " +
                  std::to_string(counts.FramesDropped) + " frames dropped, " +
                  std::to_string(counts.FramesSwapped) +
                  " frames swapped, 0 silences, 0 "
                  "restarts");
}

// A frame's datagrams come as one batch (a source's frame outbox): without faults to inject it
// reaches the socket whole, one system call; with a plan every datagram meets the injection.
TEST(FaultInjection, ABatchGoesOutWholeUnlessAPlanInjects)
{
    struct VBatchCountingSink : VRecordingSink
    {
        std::uint64_t SendBatch(const VDatagramView* datagrams, std::size_t count) override
        {
            ++m_Batches;
            return IDatagramSink::SendBatch(datagrams, count);
        }
        int m_Batches = 0;
    };
    const std::uint8_t bytes[3][2] = {{'x', 0}, {'x', 1}, {'x', 2}};
    const VDatagramView batch[3] = {{bytes[0], 2}, {bytes[1], 2}, {bytes[2], 2}};
    const Clock::time_point start = Clock::now();

    for (const std::string plan : {"seed=1", "seed=1,duplicate=1", "seed=1,drop=1"})
    {
        SCOPED_TRACE(plan);
        VDeviceFaults faults(7);
        faults.Configure(Plan(plan), start);
        VBatchCountingSink sink;
        VFaultySink stream(&faults, 20000);
        faults.BeginFrame(1);
        // Injected losses are the network's: the device counts every byte as sent.
        EXPECT_EQ(stream.Route(sink).SendBatch(batch, 3), 6u);
        faults.EndFrame(start + 10ms);
        const VDeviceFaults::VCounts counts = faults.GetCounts();
        if (plan == "seed=1")
        {
            EXPECT_EQ(sink.m_Batches, 1);
            EXPECT_EQ(sink.m_Datagrams.size(), 3u);
        }
        else
        {
            EXPECT_EQ(sink.m_Batches, 0);
            EXPECT_EQ(sink.m_Datagrams.size(), 2 * counts.Duplicated);
            EXPECT_EQ(counts.Duplicated + counts.DatagramsDropped, 3u);
        }
    }
}

TEST(FaultInjection, FramesAreDroppedSwappedAndDelayedWhole)
{
    // Every frame held back goes out after the next one, which is never held itself.
    VDevice swapping("seed=1,swap_frames=1");
    for (std::uint32_t frame = 0; frame < 5; ++frame)
        swapping.Frame(frame, frame * 10ms);
    EXPECT_EQ(swapping.FramesOfA(), (std::vector<int>{1, 1, 1, 0, 0, 0, 3, 3, 3, 2, 2, 2}));
    EXPECT_EQ(swapping.Faults.GetCounts().FramesSwapped, 2u) << "frame 4 is still held";
    // A held frame after which nothing is sent comes late, not swapped.
    swapping.Frame(5, 50ms, 0, 0);
    EXPECT_EQ(swapping.FramesOfA().back(), 4);
    EXPECT_EQ(swapping.Faults.GetCounts().FramesSwapped, 2u);

    // A dropped frame counts once a later frame goes out: only then can a host tell.
    VDevice dropping("seed=1,drop_frames=1");
    dropping.Frame(0, 0ms);
    EXPECT_TRUE(dropping.SinkA.m_Datagrams.empty());
    EXPECT_EQ(dropping.Faults.GetCounts().FramesDropped, 0u);
    dropping.Faults.Configure(Plan("seed=1"), dropping.Start);
    dropping.Frame(1, 10ms);
    EXPECT_EQ(dropping.FramesOfA(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(dropping.Faults.GetCounts().FramesDropped, 1u);

    // A delayed frame leaves at the first frame step its delay has passed, in order; the
    // datagrams of one stream never overtake each other.
    VDevice delaying("seed=1,delay_ms=25");
    delaying.Frame(0, 0ms);
    delaying.Frame(1, 10ms);
    delaying.Frame(2, 20ms);
    EXPECT_TRUE(delaying.SinkA.m_Datagrams.empty());
    delaying.Frame(3, 30ms);
    EXPECT_EQ(delaying.FramesOfA(), (std::vector<int>{0, 0, 0}));
    // Without the delay any more, frames still queue behind those that wait.
    delaying.Faults.Configure(Plan("seed=1"), delaying.Start);
    delaying.Frame(4, 40ms);
    EXPECT_EQ(delaying.FramesOfA(), (std::vector<int>{0, 0, 0, 1, 1, 1}));
    delaying.Frame(5, 90ms);
    EXPECT_EQ(delaying.FramesOfA().size(), 18u);
    EXPECT_EQ(delaying.FramesOfA().back(), 5);

    // A stream that goes away takes its waiting datagrams with it.
    VDevice forgetting("seed=1,delay_ms=1000");
    forgetting.Frame(0, 0ms);
    forgetting.Faults.Forget(forgetting.StreamA);
    forgetting.Frame(1, 2000ms, 0, 2);
    EXPECT_TRUE(forgetting.SinkA.m_Datagrams.empty());
    EXPECT_EQ(forgetting.SinkB.m_Datagrams.size(), 2u);
}

TEST(FaultInjection, SilenceAndRestartHappenOnceAtTheirTime)
{
    VDevice device("seed=1,silence=1@2,restart=5");
    int restarts = 0;
    device.Faults.SetRestartAction([&restarts] { ++restarts; });
    EXPECT_TRUE(device.Faults.OnAliveTick(device.Start + 1900ms));
    device.Frame(0, 1900ms);
    EXPECT_FALSE(device.Faults.OnAliveTick(device.Start + 2000ms)) << "no ALIVE while silent";
    device.Frame(1, 2500ms);
    EXPECT_FALSE(device.Faults.OnAliveTick(device.Start + 2999ms));
    EXPECT_TRUE(device.Faults.OnAliveTick(device.Start + 3000ms));
    device.Frame(2, 3000ms);
    EXPECT_EQ(device.FramesOfA(), (std::vector<int>{0, 0, 0, 2, 2, 2})) << "no data while silent";
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(device.Faults.OnAliveTick(device.Start + 5000ms));
    EXPECT_TRUE(device.Faults.OnAliveTick(device.Start + 5100ms));
    EXPECT_EQ(restarts, 1);
    const VDeviceFaults::VCounts counts = device.Faults.GetCounts();
    EXPECT_EQ(counts.Silences, 1u);
    EXPECT_EQ(counts.Restarts, 1u);
    EXPECT_EQ(counts.FramesDropped, 0u) << "frames lost to the silence are the silence's";

    // Without a plan nothing is collected: datagrams go straight through, also between
    // frames, and the device has nothing to report.
    VDevice clean("seed=1");
    const std::uint8_t byte = 9;
    EXPECT_TRUE(clean.StreamA.Route(clean.SinkA).Send(&byte, 1));
    clean.Frame(0, 0ms);
    EXPECT_EQ(clean.SinkA.m_Datagrams.size(), 4u);
    EXPECT_FALSE(clean.Faults.HasInjected());
}
