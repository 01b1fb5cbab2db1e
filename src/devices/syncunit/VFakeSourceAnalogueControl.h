// The synthetic analogue card of a sync unit: a sine test signal sampled on the card's 135 MHz
// sample clock, sent per system frame as analogue datagrams and a trailer.
#pragma once

#include "devices/syncunit/SyncUnitKeys.h"
#include "devices/syncunit/VAnalogueDatagramWriter.h"
#include "sources/VFakeSource.h"

#include <cstdint>

class IFakeSourceParams;

/// `VFakeSourceAnalogueControl`: the analogue card in slot `slot` of a synthetic sync unit.
///
/// At each frame it reads "SystemFrameRate" and its slot's "Prescaler", "Divisor",
/// "NumChannels" (N), "TestSignalFreq", "CaptureActive" and, for channels 0 to N - 1,
/// "Channel<c>Enabled" and "Channel<c>Gain". A frame lasts T = trunc(135000000 / rate) ticks,
/// a sample P = prescaler × divisor ticks, the signal period S = trunc(135000000 / frequency)
/// ticks (at least 1). Walking the frame's T ticks, every tick at which the sample phase is 0
/// is a sample instant: v = (sin(2π × signal phase / S) + 1) × 65535 × 0.05, and each enabled
/// channel c below N gets floor(gain × v), saturated to a signed 16-bit sample. The samples go
/// out in datagrams of 700, then the trailer: slot, frame, previous, instants sent so far,
/// instants of the frame, and the count and masks of the channels actually sent (enabled and
/// below N), so the host can take the samples apart.
///
/// Without "CaptureActive" the phases advance by the frame and nothing is sent, so the signal
/// stays continuous. Nothing is sent either, and the phases stay, when the frame cannot be
/// timed (a rate that is not positive or a frame shorter than a tick) or a sample has no
/// length (prescaler or divisor not positive). A frame of more instants than the trailer's
/// 16-bit field can count advances the phases and sends nothing.
///
/// Threading contract: that of VFakeSource; the parameter reader is read on the frame thread
/// and must outlive the source. Not copyable.
class VFakeSourceAnalogueControl final : public VFakeSource
{
public:
    VFakeSourceAnalogueControl(const IFakeSourceParams& params, const VFakeSourceTarget& target,
                               std::uint32_t slot);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

    std::uint32_t GetSlot() const { return m_Slot; }
    /// Sample instants sent since construction (the trailer's running total).
    std::uint32_t GetInstantsSent() const { return m_InstantsSent; }
    /// The phases within the current sample and the current signal period, in ticks.
    std::uint64_t GetSamplePhase() const { return m_SamplePhase; }
    std::uint64_t GetSignalPhase() const { return m_SignalPhase; }

private:
    const IFakeSourceParams& m_Params;
    const std::uint32_t m_Slot;
    const SyncUnitKeys::VSlotKeys m_Keys;
    std::uint64_t m_SamplePhase = 0;
    std::uint64_t m_SignalPhase = 0;
    std::uint32_t m_InstantsSent = 0;
    VAnalogueDatagramWriter m_Writer;
};
