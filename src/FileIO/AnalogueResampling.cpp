#include "FileIO/AnalogueResampling.h"

#include "FileIO/ByteCodec.h"
#include "FileIO/IAnalogueBlockSet.h"

#include <cmath>

namespace AnalogueResampling
{

std::int16_t VChannel::At(std::uint32_t index) const
{
    return static_cast<std::int16_t>(LittleEndian::LoadU16(Samples + 2 * std::size_t{index}));
}

VChannel ChannelOf(const IAnalogueBlockSetDirect* set, std::uint32_t channel)
{
    const IAnalogueBlockData* block = nullptr;
    if (set == nullptr || !set->GetItemData(channel, &block) || block == nullptr ||
        block->Data == nullptr)
        return {};
    return VChannel{block->Data, block->Size / 2};
}

bool SamplesPerFrame(double sampleRate, double systemRate, std::uint32_t& out)
{
    if (!(systemRate > 0.0) || !std::isfinite(systemRate))
        return false;
    const double samples = std::round(sampleRate / systemRate);
    if (!(samples > 0.0))
        out = 0;
    else if (samples >= MaxSamplesPerFrame)
        out = MaxSamplesPerFrame;
    else
        out = static_cast<std::uint32_t>(samples);
    return true;
}

std::int16_t Resample(const VChannel& current, const VChannel& next, std::uint32_t index,
                      std::uint32_t count)
{
    const std::uint32_t n = current.Count;
    if (n == 0 || index >= count)
        return 0;
    // x = index × n / count as a whole part j and a remainder over count.
    const std::uint64_t scaled = std::uint64_t{index} * n;
    const auto j = static_cast<std::uint32_t>(scaled / count);
    const std::int64_t remainder = static_cast<std::int64_t>(scaled % count);
    const std::int64_t here = current.At(j);
    std::int64_t following = here;
    if (j + 1 < n)
        following = current.At(j + 1);
    else if (next.Count > 0)
        following = next.At(0);
    // (here × count + remainder × step) / count, truncated towards zero like the real value.
    const std::int64_t value =
        (here * static_cast<std::int64_t>(count) + remainder * (following - here)) /
        static_cast<std::int64_t>(count);
    return static_cast<std::int16_t>(value);
}

} // namespace AnalogueResampling
