#include "devices/syncunit/VFakeSourceAnalogueControl.h"

#include "sources/IFakeSourceParams.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace
{
constexpr double kClockHz = 135000000.0;
/// The test signal spans 0 to 65535 × 0.1 before gain.
constexpr double kSignalScale = 65535.0 * 0.05;

/// Ticks of one period at `hertz`, clamped to 1 … 2^32 - 1: fewer than one tick (a frequency
/// above the clock, a negative or unreadable one) counts as 1, none at all (0 Hz) as the
/// longest period.
std::uint64_t SignalPeriod(double hertz)
{
    const double ticks = std::trunc(kClockHz / hertz);
    if (!(ticks >= 1.0))
        return 1;
    constexpr double longest = std::numeric_limits<std::uint32_t>::max();
    return ticks >= longest ? static_cast<std::uint64_t>(longest)
                            : static_cast<std::uint64_t>(ticks);
}

std::int16_t Saturate(double value)
{
    if (!(value >= std::numeric_limits<std::int16_t>::min()))
        return value > 0 ? std::numeric_limits<std::int16_t>::max()
                         : std::numeric_limits<std::int16_t>::min();
    if (value > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    return static_cast<std::int16_t>(value);
}
} // namespace

VFakeSourceAnalogueControl::VFakeSourceAnalogueControl(const IFakeSourceParams& params,
                                                       const VFakeSourceTarget& target,
                                                       std::uint32_t slot)
    : VFakeSource(target), m_Params(params), m_Slot(slot), m_Keys(slot)
{
}

void VFakeSourceAnalogueControl::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                           std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const double rate = m_Params.ReadParamOr("SystemFrameRate", 0.0);
    const double frameTicks = rate > 0.0 ? std::trunc(kClockHz / rate) : 0.0;
    const std::int64_t prescaler = m_Params.ReadParamOr(m_Keys.Prescaler.c_str(), int32_t{0});
    const std::int64_t divisor = m_Params.ReadParamOr(m_Keys.Divisor.c_str(), int32_t{0});
    if (!(frameTicks >= 1.0) || prescaler <= 0 || divisor <= 0)
        return;
    const auto ticks = static_cast<std::uint64_t>(frameTicks);
    const auto samplePeriod = static_cast<std::uint64_t>(prescaler * divisor);
    const std::uint64_t signalPeriod =
        SignalPeriod(m_Params.ReadParamOr(m_Keys.TestSignalFreq.c_str(), 0.0));
    m_SignalPhase %= signalPeriod;
    m_SamplePhase %= samplePeriod;

    auto advance = [&](std::uint64_t by)
    {
        m_SamplePhase = (m_SamplePhase + by % samplePeriod) % samplePeriod;
        m_SignalPhase = (m_SignalPhase + by % signalPeriod) % signalPeriod;
    };

    // The instants that fall into this frame: the first where the sample phase next is 0.
    const std::uint64_t firstInstant = m_SamplePhase == 0 ? 0 : samplePeriod - m_SamplePhase;
    const std::uint64_t instants =
        firstInstant < ticks ? 1 + (ticks - 1 - firstInstant) / samplePeriod : 0;
    if (!m_Params.ReadParamOr(m_Keys.CaptureActive.c_str(), false) ||
        instants > std::numeric_limits<std::uint16_t>::max())
    {
        advance(ticks);
        return;
    }

    // The channels sent: enabled ones below the slot's channel count, with their gains.
    const auto channelCount = static_cast<std::uint32_t>(
        std::clamp<std::int32_t>(m_Params.ReadParamOr(m_Keys.NumChannels.c_str(), int32_t{0}), 0,
                                 static_cast<std::int32_t>(SyncUnitKeys::ChannelCount)));
    std::array<double, SyncUnitKeys::ChannelCount> gains{};
    std::uint32_t sent = 0;
    std::uint64_t mask = 0;
    for (std::uint32_t channel = 0; channel < channelCount; ++channel)
    {
        if (!m_Params.ReadParamOr(m_Keys.Enabled[channel].c_str(), false))
            continue;
        gains[sent++] = m_Params.ReadParamOr(m_Keys.Gain[channel].c_str(), int32_t{0});
        mask |= std::uint64_t{1} << channel;
    }

    m_Writer.Begin(GetSink(), m_Slot, GetDeviceId(), frame, previous);
    std::uint64_t ticksLeft = ticks;
    while (ticksLeft > 0)
    {
        if (m_SamplePhase == 0)
        {
            const double phase = static_cast<double>(m_SignalPhase) / signalPeriod;
            const double value = (std::sin(2.0 * std::numbers::pi * phase) + 1.0) * kSignalScale;
            for (std::uint32_t index = 0; index < sent; ++index)
                m_Writer.Append(Saturate(std::floor(gains[index] * value)));
        }
        const std::uint64_t step = std::min(samplePeriod - m_SamplePhase, ticksLeft);
        advance(step);
        ticksLeft -= step;
    }

    m_InstantsSent += static_cast<std::uint32_t>(instants);
    bytesSent = m_Writer.Finish(m_InstantsSent, static_cast<std::uint32_t>(instants), sent, mask);
}
