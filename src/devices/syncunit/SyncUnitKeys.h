// The parameter keys of the sync unit's analogue slots and control cards, built the one way
// the device and its sources both use.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

/// Keys are "AnalogueSlot" + slot + name, "AnalogueSlot" + slot + "Channel" + channel + name
/// and "Card" + slot + "Type", numbers in decimal without padding. Plain functions; any thread.
namespace SyncUnitKeys
{
/// Channels of an analogue slot: 0 to 63.
constexpr std::uint32_t ChannelCount = 64;

std::string Slot(std::uint32_t slot, std::string_view name);
std::string Channel(std::uint32_t slot, std::uint32_t channel, std::string_view name);
std::string Card(std::uint32_t slot);

/// Every key of one slot, built once, so that a source reading them at each frame builds no
/// text. A value type.
struct VSlotKeys
{
    explicit VSlotKeys(std::uint32_t slot);

    std::string SampleRate;
    std::string Prescaler;
    std::string Divisor;
    std::string NumChannels;
    std::string InCapture;
    std::string CaptureActive;
    std::string TestSignalFreq;
    std::array<std::string, ChannelCount> Enabled;
    std::array<std::string, ChannelCount> Gain;
};
} // namespace SyncUnitKeys
