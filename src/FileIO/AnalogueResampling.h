// Analogue channels of a recorded frame as 16-bit samples, and their linear resampling to the
// number of sample instants a sync unit sends per system frame. Shared by the replaying sync
// unit and by the tools that check what it sent.
#pragma once

#include "FileIO/FrameRecords.h"

#include <cstdint>

class IAnalogueBlockSetDirect;

/// Plain functions; any thread, no state. Integer arithmetic throughout, so a recomputation
/// elsewhere gives the same samples bit for bit.
namespace AnalogueResampling
{
/// The most sample instants in one frame: the analogue trailer counts them in 16 bits.
constexpr std::uint32_t MaxSamplesPerFrame = 65535;

/// One channel of one frame: Count consecutive little-endian signed 16-bit samples at Samples
/// (null when Count is 0). Points into storage owned by someone else.
struct VChannel
{
    const std::uint8_t* Samples = nullptr;
    std::uint32_t Count = 0;

    std::int16_t At(std::uint32_t index) const;
};

/// Channel `channel` of an analogue set: its block `channel` read as samples (an odd last
/// byte is ignored). An empty channel when the set is null or has no such block.
VChannel ChannelOf(const IAnalogueBlockSetDirect* set, std::uint32_t channel);

/// Sample instants per system frame: round(sampleRate / systemRate), at most
/// MaxSamplesPerFrame. False when the system rate is not a positive finite number (the frame
/// cannot be timed); a sample rate that is not positive gives 0.
bool SamplesPerFrame(double sampleRate, double systemRate, std::uint32_t& out);

/// Output instant `index` of `count` (an index at or beyond `count` gives 0) resampled linearly
/// from `current`: it lies at x = index × n / count of the n samples; with j = floor(x) the value
/// is s[j] + (x - j) × (s[j + 1] - s[j]) truncated towards zero, where s[n] is the first sample of
/// `next` (the channel in the following frame) or, when `next` is empty, s[n - 1] again. An empty
/// `current` gives 0. With count = n every sample comes back unchanged.
std::int16_t Resample(const VChannel& current, const VChannel& next, std::uint32_t index,
                      std::uint32_t count);
} // namespace AnalogueResampling
