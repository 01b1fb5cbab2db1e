#include "devices/syncunit/SyncUnitKeys.h"

namespace SyncUnitKeys
{

std::string Slot(std::uint32_t slot, std::string_view name)
{
    std::string key = "AnalogueSlot" + std::to_string(slot);
    key += name;
    return key;
}

std::string Channel(std::uint32_t slot, std::uint32_t channel, std::string_view name)
{
    std::string key = Slot(slot, "Channel") + std::to_string(channel);
    key += name;
    return key;
}

std::string Card(std::uint32_t slot)
{
    return "Card" + std::to_string(slot) + "Type";
}

VSlotKeys::VSlotKeys(std::uint32_t slot)
    : SampleRate(Slot(slot, "SampleRate")), Prescaler(Slot(slot, "Prescaler")),
      Divisor(Slot(slot, "Divisor")), NumChannels(Slot(slot, "NumChannels")),
      InCapture(Slot(slot, "InCapture")), CaptureActive(Slot(slot, "CaptureActive")),
      TestSignalFreq(Slot(slot, "TestSignalFreq"))
{
    for (std::uint32_t channel = 0; channel < ChannelCount; ++channel)
    {
        Enabled[channel] = Channel(slot, channel, "Enabled");
        Gain[channel] = Channel(slot, channel, "Gain");
    }
}

} // namespace SyncUnitKeys
