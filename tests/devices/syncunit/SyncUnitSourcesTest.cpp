// The sync unit's three sources against recording sinks: the synthetic card's sample walk
// and trailer, the X1D card's frame reading, resampling and interleaving, and the timecode
// generator's datagram for every standard.
#include "SyncUnitTestSupport.h"

#include "devices/syncunit/VFakeSourceAnalogueControl.h"
#include "devices/syncunit/VFakeSourceAnalogueX1D.h"
#include "devices/syncunit/VFakeSourceTimecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace
{
using namespace SyncUnitTest;

constexpr std::uint32_t kDeviceId = 0x02000003;

std::uint32_t SendOneFrame(VFakeSource& source, VRecordingSink& sink, std::uint32_t frame,
                           std::vector<Datagram>& out)
{
    std::uint32_t bytes = 0;
    source.SendFrame(frame, frame - 1, bytes);
    out = sink.Take();
    return bytes;
}

// ---- synthetic card ----------------------------------------------------------------------

class SyntheticCard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetSlotDefaults(m_Params, 100.0);
        // As "samplerate -s 0 5 150" leaves it: 1 channel, channel 0 on; then "capture on".
        m_Params.Set("AnalogueSlot0NumChannels", 1);
        m_Params.Set("AnalogueSlot0Channel0Enabled", 1);
        m_Params.Set("AnalogueSlot0CaptureActive", 1);
        m_Card.SetSink(&m_Sink);
    }

    VParamTable m_Params;
    VRecordingSink m_Sink;
    VFakeSourceAnalogueControl m_Card{m_Params, NowhereTarget(kDeviceId), 0};
};

TEST_F(SyntheticCard, SendsEighteenHundredInstantsAsThreeDatagramsAndATrailer)
{
    std::vector<Datagram> sent;
    const std::uint32_t bytes = SendOneFrame(m_Card, m_Sink, 7, sent);
    const VAnalogueFrameSent frame = SplitFrame(sent);
    ASSERT_EQ(frame.Data.size(), 3u);
    EXPECT_EQ(frame.Data[0].size(), 1400u);
    EXPECT_EQ(frame.Data[1].size(), 1400u);
    EXPECT_EQ(frame.Data[2].size(), 800u);
    EXPECT_EQ(bytes, 3600u + 44u);

    const Datagram& trailer = frame.Trailer;
    EXPECT_EQ(U16(trailer, 2), 44u);
    EXPECT_EQ(U16(trailer, 4), 1u);
    EXPECT_EQ(U16(trailer, 6), 0u);
    EXPECT_EQ(U32(trailer, 8), kDeviceId);
    EXPECT_EQ(U32(trailer, 12), 7u);
    EXPECT_EQ(U32(trailer, 16), 6u);
    EXPECT_EQ(U32(trailer, 20), 1800u);
    EXPECT_EQ(U16(trailer, 24), 1800u);
    EXPECT_EQ(U16(trailer, 26), 1u);
    EXPECT_EQ(U32(trailer, 28), 1u);
    EXPECT_EQ(U32(trailer, 32), 0u);
    EXPECT_EQ(U32(trailer, 36), 3600u);
    EXPECT_EQ(U32(trailer, 40), 0u);

    // A 1 Hz sine between 0 and 6553.5, sampled every 750 ticks from phase 0.
    const std::vector<std::int16_t> samples = Samples(frame.Data);
    ASSERT_EQ(samples.size(), 1800u);
    for (std::size_t i : {0u, 1u, 900u, 1799u})
    {
        const double phase = static_cast<double>(i * 750) / 135000000.0;
        const double expected =
            std::floor((std::sin(2.0 * std::numbers::pi * phase) + 1.0) * 65535.0 * 0.05);
        EXPECT_EQ(samples[i], static_cast<std::int16_t>(expected)) << "instant " << i;
    }
    EXPECT_EQ(samples[0], 3276);

    // The running total counts instants across frames.
    SendOneFrame(m_Card, m_Sink, 8, sent);
    EXPECT_EQ(U32(SplitFrame(sent).Trailer, 20), 3600u);
}

TEST_F(SyntheticCard, InactiveCaptureSendsNothingButTheSignalRunsOn)
{
    m_Params.Set("AnalogueSlot0TestSignalFreq", "7");
    VFakeSourceAnalogueControl continuous(m_Params, NowhereTarget(kDeviceId), 0);
    VRecordingSink continuousSink;
    continuous.SetSink(&continuousSink);
    std::vector<Datagram> sent;
    SendOneFrame(continuous, continuousSink, 1, sent);

    m_Params.Set("AnalogueSlot0CaptureActive", 0);
    EXPECT_EQ(SendOneFrame(m_Card, m_Sink, 1, sent), 0u);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(m_Card.GetSignalPhase(), 1350000u);

    // Back in capture, the card sends what a card that never stopped sends.
    m_Params.Set("AnalogueSlot0CaptureActive", 1);
    std::vector<Datagram> expected;
    SendOneFrame(continuous, continuousSink, 2, expected);
    SendOneFrame(m_Card, m_Sink, 2, sent);
    EXPECT_EQ(Samples(SplitFrame(sent).Data), Samples(SplitFrame(expected).Data));
    EXPECT_NE(Samples(SplitFrame(sent).Data).front(), 3276);
    // Only the instants actually sent are counted.
    EXPECT_EQ(U32(SplitFrame(sent).Trailer, 20), 1800u);
}

TEST_F(SyntheticCard, TrailerDescribesTheChannelsSentAndGainSaturates)
{
    // Channels 0, 1 and 40 enabled with two channels in the slot: 0 and 1 are sampled.
    m_Params.Set("AnalogueSlot0NumChannels", 2);
    m_Params.Set("AnalogueSlot0Channel1Enabled", 1);
    m_Params.Set("AnalogueSlot0Channel40Enabled", 1);
    m_Params.Set("AnalogueSlot0Channel0Gain", 20);
    m_Params.Set("AnalogueSlot0Channel1Gain", -20);
    std::vector<Datagram> sent;
    SendOneFrame(m_Card, m_Sink, 1, sent);
    const VAnalogueFrameSent frame = SplitFrame(sent);
    EXPECT_EQ(U16(frame.Trailer, 26), 2u);
    EXPECT_EQ(U32(frame.Trailer, 28), 0x3u);
    EXPECT_EQ(U32(frame.Trailer, 32), 0u);
    EXPECT_EQ(U32(frame.Trailer, 36), 7200u);
    const std::vector<std::int16_t> samples = Samples(frame.Data);
    ASSERT_EQ(samples.size(), 3600u);
    // 20 × 3276.75 and -20 × 3276.75 do not fit 16 bits.
    EXPECT_EQ(samples[0], 32767);
    EXPECT_EQ(samples[1], -32768);
}

TEST_F(SyntheticCard, FramesThatCannotBeTimedSendNothing)
{
    std::vector<Datagram> sent;
    // No system rate, a rate whose frame is shorter than a tick, a sample of no length.
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"SystemFrameRate", "0"},
                                     {"SystemFrameRate", "200000000"},
                                     {"AnalogueSlot0Prescaler", "0"},
                                     {"AnalogueSlot0Divisor", "-3"}})
    {
        SetUp();
        m_Params.Set(key, value);
        EXPECT_EQ(SendOneFrame(m_Card, m_Sink, 1, sent), 0u) << key << " " << value;
        EXPECT_TRUE(sent.empty()) << key << " " << value;
    }
    // A sample of one tick would give 1.35 million instants, more than the trailer counts.
    SetUp();
    m_Params.Set("AnalogueSlot0Prescaler", 1);
    m_Params.Set("AnalogueSlot0Divisor", 1);
    EXPECT_EQ(SendOneFrame(m_Card, m_Sink, 1, sent), 0u);
}

// ---- X1D card ----------------------------------------------------------------------------

class X1DCard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_Dir.IsValid());
        // Channel 0 ramps by 10 a sample across frames; channel 1 alternates -1, 0; channel 2
        // is empty; channel 3 has four samples in frame 0 and none in frame 1.
        std::vector<VAnalogueFrame> frames(3);
        for (std::size_t k = 0; k < frames.size(); ++k)
        {
            std::vector<std::int16_t> alternating(10);
            for (std::size_t i = 0; i < alternating.size(); ++i)
                alternating[i] = i % 2 == 0 ? -1 : 0;
            frames[k].Channels = {Ramp(static_cast<std::int16_t>(100 * k), 10, 10),
                                  alternating,
                                  {},
                                  k == 0 ? std::vector<std::int16_t>{10, 20, 30, 40}
                                         : std::vector<std::int16_t>{}};
        }
        m_Trial = MakeX1DTrial(m_Dir, frames);
        ASSERT_NE(m_Trial, nullptr);
        SetSlotDefaults(m_Params, 100.0);
        for (int channel : {0, 1, 2, 3, 5})
            m_Params.Set("AnalogueSlot0Channel" + std::to_string(channel) + "Enabled", 1);
        m_Card = std::make_unique<VFakeSourceAnalogueX1D>(m_Params, NowhereTarget(kDeviceId),
                                                          m_Trial, 0, 0);
        m_Card->SetSink(&m_Sink);
    }

    /// The values of `channel` (an index among the five enabled) in frame `frame`.
    std::vector<std::int16_t> Channel(std::uint32_t frame, std::size_t channel,
                                      Datagram* trailer = nullptr)
    {
        std::vector<Datagram> sent;
        SendOneFrame(*m_Card, m_Sink, frame, sent);
        const VAnalogueFrameSent split = SplitFrame(sent);
        if (trailer != nullptr)
            *trailer = split.Trailer;
        const std::vector<std::int16_t> all = Samples(split.Data);
        std::vector<std::int16_t> values;
        for (std::size_t i = channel; i < all.size(); i += 5)
            values.push_back(all[i]);
        return values;
    }

    VTempDir m_Dir;
    std::shared_ptr<VX1DHolder> m_Trial;
    VParamTable m_Params;
    VRecordingSink m_Sink;
    std::unique_ptr<VFakeSourceAnalogueX1D> m_Card;
};

TEST_F(X1DCard, SameCountReplaysTheFileExactly)
{
    m_Params.Set("AnalogueSlot0SampleRate", "1000");
    Datagram trailer;
    EXPECT_EQ(Channel(0, 0, &trailer), Ramp(0, 10, 10));
    EXPECT_EQ(U16(trailer, 24), 10u);
    EXPECT_EQ(U16(trailer, 26), 5u);
    EXPECT_EQ(U32(trailer, 28), 0x2Fu);
    EXPECT_EQ(U32(trailer, 36), 100u);
    EXPECT_EQ(U32(trailer, 20), 50u);
    EXPECT_EQ(Channel(1, 1, &trailer),
              std::vector<std::int16_t>({-1, 0, -1, 0, -1, 0, -1, 0, -1, 0}));
    EXPECT_EQ(U32(trailer, 20), 100u);
    // Channels the frame lacks (empty, absent, beyond the file) send 0.
    EXPECT_EQ(Channel(2, 2), std::vector<std::int16_t>(10, 0));
    EXPECT_EQ(Channel(2, 4), std::vector<std::int16_t>(10, 0));
}

TEST_F(X1DCard, UpsamplingInterpolatesTowardsTheNextFrame)
{
    m_Params.Set("AnalogueSlot0SampleRate", "2000");
    std::vector<std::int16_t> expected;
    for (int i = 0; i < 20; ++i)
        expected.push_back(static_cast<std::int16_t>(100 + 5 * i));
    EXPECT_EQ(Channel(1, 0), expected);
    // The last trial frame leads back to the first: 290 half-way to 0.
    EXPECT_EQ(Channel(2, 0).back(), 145);
    // -0.5 is truncated towards zero.
    EXPECT_EQ(Channel(0, 1), std::vector<std::int16_t>({-1, 0, 0,  0, -1, 0, 0,  0, -1, 0,
                                                        0,  0, -1, 0, 0,  0, -1, 0, 0,  0}));
    // Channel 3's next frame is empty: its last sample is held, never read past.
    EXPECT_EQ(Channel(0, 3).back(), 40);
}

TEST_F(X1DCard, DownsamplingPicksEveryOtherSample)
{
    m_Params.Set("AnalogueSlot0SampleRate", "500");
    Datagram trailer;
    EXPECT_EQ(Channel(0, 0, &trailer), std::vector<std::int16_t>({0, 20, 40, 60, 80}));
    EXPECT_EQ(U16(trailer, 24), 5u);
    EXPECT_EQ(U32(trailer, 36), 50u);
}

TEST_F(X1DCard, ReadsOneTrialFramePerTickAndRepeatsTheTrial)
{
    m_Params.Set("AnalogueSlot0SampleRate", "1000");
    Channel(0, 0);
    EXPECT_EQ(m_Card->GetFramesRead(), 2u); // frame 0 and the one after it
    Channel(1, 0);
    Channel(2, 0);
    EXPECT_EQ(m_Card->GetFramesRead(), 4u);
    // Frame 3 is trial frame 0 again; a repeated frame reads nothing new.
    EXPECT_EQ(Channel(3, 0), Ramp(0, 10, 10));
    EXPECT_EQ(Channel(3, 0), Ramp(0, 10, 10));
    EXPECT_EQ(m_Card->GetFramesRead(), 5u);
}

TEST_F(X1DCard, InstantsFitTheTrailerAndAnUntimedFrameSendsNothing)
{
    // 10^9 / 100 instants would not fit 16 bits: the count stops at 65535.
    m_Params.Set("AnalogueSlot0SampleRate", "1000000000");
    for (int channel : {1, 2, 3, 5})
        m_Params.Set("AnalogueSlot0Channel" + std::to_string(channel) + "Enabled", 0);
    Datagram trailer;
    EXPECT_EQ(Channel(0, 0, &trailer).size(), 13107u); // every fifth of 65535 values
    EXPECT_EQ(U16(trailer, 24), 65535u);

    m_Params.Set("SystemFrameRate", "0");
    std::vector<Datagram> sent;
    EXPECT_EQ(SendOneFrame(*m_Card, m_Sink, 1, sent), 0u);
    EXPECT_TRUE(sent.empty());
}

// ---- timecode ----------------------------------------------------------------------------

VStreamTimecode Start(std::uint32_t code, std::uint8_t h, std::uint8_t m, std::uint8_t s,
                      std::uint8_t f)
{
    VStreamTimecode start;
    start.Standard = code;
    start.Hours = h;
    start.Minutes = m;
    start.Seconds = s;
    start.Frames = f;
    start.UserBits = 0x12345678;
    return start;
}

/// The timecode datagram of `frame`, or an empty one when nothing was sent.
Datagram TimecodeAt(const VStreamTimecode& start, double rate, std::uint32_t frame)
{
    VParamTable params;
    params.Set("SystemFrameRate", std::to_string(rate));
    VRecordingSink sink;
    VFakeSourceTimecode source(params, NowhereTarget(kDeviceId), start);
    source.SetSink(&sink);
    std::uint32_t bytes = 0;
    source.SendFrame(frame, frame - 1, bytes);
    std::vector<Datagram> sent = sink.Take();
    if (sent.empty())
        return {};
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(bytes, 40u);
    return sent.front();
}

/// "HH:MM:SS:FF k/m" from the datagram's BCD bytes and its sub-frame fields.
std::string ClockOf(const Datagram& datagram)
{
    if (datagram.size() != 40)
        return "nothing";
    char text[64];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x %u/%u", datagram[24], datagram[25],
                  datagram[26], datagram[27], U16(datagram, 28) & 0x7FFFu,
                  U16(datagram, 30) & 0x0FFFu);
    return text;
}

TEST(TimecodeSource, PalAtOneHundredHertzCountsFourSystemFramesPerTimecodeFrame)
{
    const VStreamTimecode start = Start(VStreamTimecode::PAL25, 10, 0, 0, 0);
    const Datagram first = TimecodeAt(start, 100.0, 0);
    ASSERT_EQ(first.size(), 40u);
    EXPECT_EQ(U16(first, 0), 0xC003u);
    EXPECT_EQ(U16(first, 2), 40u);
    EXPECT_EQ(U16(first, 4), 2u);
    EXPECT_EQ(U16(first, 6), 0u);
    EXPECT_EQ(U32(first, 8), kDeviceId);
    EXPECT_EQ(U32(first, 12), 0u);
    EXPECT_EQ(U32(first, 16), 0xFFFFFFFFu);
    EXPECT_EQ(U32(first, 20), 0u);
    EXPECT_EQ(U32(first, 24), 0x00000010u); // 10:00:00:00 as BCD bytes in that order
    EXPECT_EQ(U16(first, 28), 0u);
    EXPECT_EQ(U16(first, 30), 0x0004u);
    EXPECT_EQ(U32(first, 32), 0x12345678u);
    EXPECT_EQ(U32(first, 36), 0u);

    EXPECT_EQ(ClockOf(TimecodeAt(start, 100.0, 2)), "10:00:00:00 2/4");
    const Datagram third = TimecodeAt(start, 100.0, 3);
    EXPECT_EQ(U16(third, 28), 0x8003u); // k = 3 lies in the second half of m = 4
    EXPECT_EQ(ClockOf(TimecodeAt(start, 100.0, 4)), "10:00:00:01 0/4");
    EXPECT_EQ(ClockOf(TimecodeAt(start, 100.0, 401)), "10:00:04:00 1/4");
}

TEST(TimecodeSource, EachFrameCountsFromTheStartAfresh)
{
    // One source sending frame after frame: the timecode of frame f is the start advanced by
    // f system frames, whatever the source sent before (also after a jump back).
    VParamTable params;
    params.Set("SystemFrameRate", "100");
    VRecordingSink sink;
    VFakeSourceTimecode source(params, NowhereTarget(kDeviceId),
                               Start(VStreamTimecode::PAL25, 10, 0, 0, 0));
    source.SetSink(&sink);
    std::vector<std::string> clocks;
    for (const std::uint32_t frame : {0u, 1u, 2u, 3u, 4u, 5u, 100u, 8u})
    {
        std::uint32_t bytes = 0;
        source.SendFrame(frame, frame - 1, bytes);
        for (const Datagram& datagram : sink.Take())
            clocks.push_back(ClockOf(datagram));
    }
    EXPECT_EQ(clocks,
              std::vector<std::string>({"10:00:00:00 0/4", "10:00:00:00 1/4", "10:00:00:00 2/4",
                                        "10:00:00:00 3/4", "10:00:00:01 0/4", "10:00:00:01 1/4",
                                        "10:00:01:00 0/4", "10:00:00:02 0/4"}));
}

TEST(TimecodeSource, EveryStandardHasItsBits)
{
    struct VCase
    {
        std::uint32_t Code;
        double Rate;
        std::uint16_t Word; // standard bits | m
    };
    for (const VCase& c :
         {VCase{VStreamTimecode::Film24, 48.0, 0x3002},
          VCase{VStreamTimecode::Film23976, 23.976, 0x3001},
          VCase{VStreamTimecode::PAL25, 50.0, 0x0002}, VCase{VStreamTimecode::ATSC30, 60.0, 0x1002},
          VCase{VStreamTimecode::NTSC2997, 59.94, 0x1002},
          VCase{VStreamTimecode::NTSCDrop, 29.97, 0x2001}})
    {
        const Datagram datagram = TimecodeAt(Start(c.Code, 1, 2, 3, 4), c.Rate, 0);
        ASSERT_EQ(datagram.size(), 40u) << "code " << c.Code;
        EXPECT_EQ(U16(datagram, 30), c.Word) << "code " << c.Code;
        EXPECT_EQ(ClockOf(datagram).substr(0, 11), "01:02:03:04") << "code " << c.Code;
    }
    // A code the datagram has no bits for sends nothing.
    EXPECT_TRUE(TimecodeAt(Start(9, 1, 2, 3, 4), 25.0, 0).empty());
}

TEST(TimecodeSource, DropFrameSkipsTheFirstTwoFramesOfAMinute)
{
    const VStreamTimecode start = Start(VStreamTimecode::NTSCDrop, 0, 0, 59, 29);
    EXPECT_EQ(ClockOf(TimecodeAt(start, 29.97, 0)), "00:00:59:29 0/1");
    EXPECT_EQ(ClockOf(TimecodeAt(start, 29.97, 1)), "00:01:00:02 0/1");
    // Every tenth minute keeps them.
    const VStreamTimecode tenth = Start(VStreamTimecode::NTSCDrop, 0, 9, 59, 29);
    EXPECT_EQ(ClockOf(TimecodeAt(tenth, 29.97, 1)), "00:10:00:00 0/1");
}

TEST(TimecodeSource, NearlyDividingRatesCountWholeSystemFrames)
{
    // 119.88 Hz against 29.97 timecode: 4 system frames are 4 ticks longer than a timecode
    // frame, yet every fourth frame starts the next timecode frame, a million frames on too.
    const VStreamTimecode start = Start(VStreamTimecode::NTSC2997, 1, 0, 0, 0);
    EXPECT_EQ(ClockOf(TimecodeAt(start, 119.88, 3)), "01:00:00:00 3/4");
    EXPECT_EQ(ClockOf(TimecodeAt(start, 119.88, 4)), "01:00:00:01 0/4");
    EXPECT_EQ(ClockOf(TimecodeAt(start, 119.88, 4000000)), "10:15:33:10 0/4");
    // 120 Hz against 29.97 drifts 0.1 %: the rates do not divide, nothing is sent.
    EXPECT_TRUE(TimecodeAt(start, 120.0, 4).empty());
    // Nor for a system frame longer than a timecode frame, or no rate at all.
    EXPECT_TRUE(TimecodeAt(start, 10.0, 0).empty());
    EXPECT_TRUE(TimecodeAt(start, 0.0, 0).empty());
}

TEST(TimecodeSource, TimecodeWrapsWithinTheDayFromAnyFrameNumber)
{
    EXPECT_EQ(ClockOf(TimecodeAt(Start(VStreamTimecode::PAL25, 23, 59, 59, 24), 25.0, 1)),
              "00:00:00:00 0/1");
    // The last frame number of all: 2^32 - 1 system frames after midnight at 100 Hz.
    EXPECT_EQ(ClockOf(TimecodeAt(Start(VStreamTimecode::PAL25, 0, 0, 0, 0), 100.0, 0xFFFFFFFFu)),
              "02:27:52:23 3/4");
}

} // namespace
