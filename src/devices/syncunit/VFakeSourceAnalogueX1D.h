// The replayed analogue card of a sync unit: one analogue device of an X1D trial, resampled
// to the slot's sample rate and sent per system frame as analogue datagrams and a trailer.
#pragma once

#include "FileIO/VAnalogueBlockFrame.h"
#include "devices/syncunit/SyncUnitKeys.h"
#include "devices/syncunit/VAnalogueDatagramWriter.h"
#include "sources/VFakeSource.h"

#include <cstdint>
#include <memory>

class IFakeSourceParams;
class VX1DHolder;

/// `VFakeSourceAnalogueX1D`: analogue device `x1dDeviceIndex` of an X1D trial as the card in
/// slot `slot`.
///
/// At frame f it sends trial frame f mod F (F the trial's frame count, or the frames its index
/// holds when that is fewer; so the trial repeats):
/// - N = round("AnalogueSlot<s>SampleRate" / "SystemFrameRate") sample instants (at most
///   65535, what the trailer can count);
/// - the channels sent are those of the 64 whose "Channel<c>Enabled" holds, in ascending
///   order; channel c is block c of the device's set in the trial frame, n samples of 16 bits;
/// - every channel is resampled from n to N samples (AnalogueResampling::Resample, the next
///   trial frame giving the sample after the last), and the values are interleaved instant by
///   instant; a channel the file lacks (or a frame that cannot be read) sends 0;
/// - datagrams of at most 700 values, then the trailer with the values sent so far, N, the
///   channel count and masks, and the frame's data bytes.
/// A rate that is not positive sends nothing for the frame.
///
/// Frames are read into two buffers that keep their storage: the frame after f is read with
/// f, and when the next tick asks for it the buffers swap, so a steady replay reads one trial
/// frame per tick and allocates nothing.
///
/// Threading contract: that of VFakeSource. The trial is shared with the file's other users
/// and read through its holder's lock; the parameter reader must outlive the source. Not
/// copyable.
class VFakeSourceAnalogueX1D final : public VFakeSource
{
public:
    /// `trial` may be null: a trial without frames (every channel sends 0).
    VFakeSourceAnalogueX1D(const IFakeSourceParams& params, const VFakeSourceTarget& target,
                           std::shared_ptr<VX1DHolder> trial, std::uint32_t slot,
                           std::uint32_t x1dDeviceIndex);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

    std::uint32_t GetSlot() const { return m_Slot; }
    /// Sample values sent since construction (the trailer's running total).
    std::uint32_t GetValuesSent() const { return m_ValuesSent; }
    /// Trial frames read since construction.
    std::uint64_t GetFramesRead() const { return m_FramesRead; }

private:
    /// Makes m_Current trial frame `index` and m_Next the one after it, reading only what the
    /// buffers do not already hold.
    void LoadFrames(std::uint32_t index, std::uint32_t frameCount);
    bool Read(std::uint32_t index, VAnalogueBlockFrame& frame);

    static constexpr std::int64_t NoFrame = -1;

    const IFakeSourceParams& m_Params;
    const std::shared_ptr<VX1DHolder> m_Trial;
    const std::uint32_t m_Slot;
    const std::uint32_t m_DeviceIndex;
    const SyncUnitKeys::VSlotKeys m_Keys;
    std::uint32_t m_FrameCount = 0; // F: the frames the index holds, at most the header's count
    VAnalogueBlockFrame m_Current;
    VAnalogueBlockFrame m_Next;
    std::int64_t m_CurrentIndex = NoFrame; // the trial frame in m_Current
    std::int64_t m_NextIndex = NoFrame;    // the trial frame in m_Next
    std::uint32_t m_ValuesSent = 0;
    std::uint64_t m_FramesRead = 0;
    VAnalogueDatagramWriter m_Writer;
};
