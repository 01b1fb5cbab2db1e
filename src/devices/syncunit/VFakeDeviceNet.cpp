#include "devices/syncunit/VFakeDeviceNet.h"

#include "devices/ShellArguments.h"
#include "devices/VDefinitionBuilder.h"
#include "params/IParamDefinitionList.h"
#include "params/IString.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string_view>

namespace
{
constexpr const char* kDeviceType = "Vantrel";
constexpr const char* kClockGroup = "Analogue Clock Out";
constexpr const char* kSlotGroup = "Slot 0";
constexpr std::uint32_t kChannelCount = SyncUnitKeys::ChannelCount;

/// The channel count of ChannelsForRate starts at this rate limit.
constexpr double kFullChannelRate = 3000.0;

/// Frames between "capture on" (or a finished reconfiguration) and "InCapture" set again.
constexpr std::uint32_t kRestartFrames = 2;

using ShellArguments::ReadWholeNumber;

/// A plain-prefix match of the command word; `argument` then holds the rest of the line.
bool MatchWord(const std::string& line, std::string_view word, std::string_view& argument)
{
    if (line.compare(0, word.size(), word) != 0)
        return false;
    argument = std::string_view(line).substr(word.size());
    return true;
}

bool ReadToken(const std::vector<std::string>& tokens, std::size_t index, std::uint32_t& out)
{
    return index < tokens.size() && ReadWholeNumber(std::string_view(tokens[index]), out);
}

/// A rate as "%f" writes it in the "C" locale: six decimals, a point.
std::string FixedSix(double value)
{
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    return error == std::errc() ? std::string(text, end) : std::string("0.000000");
}

} // namespace

// ---- definitions -----------------------------------------------------------

bool VFakeDeviceNet::AddNetDefinitions(IParamDefinitionList& list)
{
    VDefinitionBuilder add(list);
    if (!VFakeDeviceGPO::AddGPODefinitions(list, SyncUnitOutputs))
        add.Fail();

    // The list is being filled by the caller, who handed it over writable; the base's entry
    // is ours to extend.
    auto* deviceType = const_cast<IParamDefinition*>(list.FindDefinition("DeviceType"));
    add.AddOption<std::string>(deviceType, kDeviceType, kDeviceType);
    if (deviceType == nullptr || !SetDefaultValue<std::string>(*deviceType, kDeviceType))
        add.Fail();

    // Both "Prescaler" rows are shown as "Sample Rate".
    add.Add<double>({"ClkOutSampleRate", "Sample Rate", "Analogue sample rate (Hz).", kClockGroup},
                    180000.0);
    add.Add<int32_t>({"ClkOutPrescaler", "Sample Rate", "Analogue prescaler.", kClockGroup}, 5);
    add.Add<int32_t>({"ClkOutDivisor", "Divisor", "Analogue divisor.", kClockGroup}, 150);
    add.AddTextOptions(add.Add<std::string>({"Card0Type", "Control Card 0 Type",
                                             "The type of this control card.", "Control"},
                                            "Not populated"),
                       {"Not populated", "Analogue", "Audio", "Ethernet"});
    const SyncUnitKeys::VSlotKeys keys(0);
    add.Add<bool>({keys.InCapture.c_str(), "In Capture", "Analogue capture enabled.", kSlotGroup},
                  false);
    add.Add<bool>(
        {keys.CaptureActive.c_str(), "Capture Active", "Analogue capture active.", kSlotGroup},
        false);
    add.Add<double>(
        {keys.SampleRate.c_str(), "Sample Rate", "Analogue sample rate (Hz).", kSlotGroup},
        180000.0);
    add.Add<int32_t>({keys.Prescaler.c_str(), "Sample Rate", "Analogue prescaler.", kSlotGroup}, 5);
    add.Add<int32_t>({keys.Divisor.c_str(), "Divisor", "Analogue divisor.", kSlotGroup}, 150);
    add.Add<int32_t>(
        {keys.NumChannels.c_str(), "Number of channels", "Number of channels.", kSlotGroup},
        static_cast<int32_t>(kChannelCount));
    for (std::uint32_t channel = 0; channel < kChannelCount; ++channel)
    {
        const std::string index = std::to_string(channel);
        const std::string enabledName = "Channel " + index + " Enabled";
        const std::string gainName = "Channel " + index + " Gain";
        add.Add<bool>({keys.Enabled[channel].c_str(), enabledName.c_str(),
                       "Channel capture on/off.", kSlotGroup},
                      false);
        add.Add<int32_t>(
            {keys.Gain[channel].c_str(), gainName.c_str(), "Channel gain.", kSlotGroup}, 1);
    }
    return add.IsComplete();
}

std::uint32_t VFakeDeviceNet::ChannelsForRate(double rate)
{
    std::uint32_t channels = kChannelCount;
    double limit = kFullChannelRate;
    while (rate > limit && channels >= 2)
    {
        limit *= 2.0;
        channels /= 2;
    }
    return channels;
}

// ---- life cycle ------------------------------------------------------------

VFakeDeviceNet::VFakeDeviceNet(VFakeDeviceManager& manager, std::uint32_t deviceId,
                               std::uint32_t position, std::uint32_t localAddress,
                               std::uint32_t halAddress, IParamList* params)
    : VFakeDeviceGPO(manager, deviceId, position, localAddress, halAddress, params)
{
    SetParam("DeviceType", kDeviceType);
}

VFakeDeviceNet::VCaptureState VFakeDeviceNet::GetCaptureState() const
{
    std::lock_guard lock(GetDataLock());
    return VCaptureState{m_ClockOutSet,   m_ClockFollowsSlot, m_CaptureStep, m_RestartCountdown,
                         m_StopCountdown, m_StopDelay,        m_CaptureArmed};
}

bool VFakeDeviceNet::IsSendingAllowed() const
{
    return GetParamOr("Enabled", false) && GetParamOr("SystemEnabled", false) &&
           !GetParamOr("Preview", false);
}

void VFakeDeviceNet::OnClassBroadcastCommand(const std::uint8_t* /*data*/, std::size_t /*length*/)
{
}

// ---- shell -----------------------------------------------------------------

void VFakeDeviceNet::OnTelnetCommand(const std::string& line, std::string& reply)
{
    std::string_view argument;
    if (MatchWord(line, "samplerate", argument))
    {
        SampleRateCommand(ShellArguments::SplitQuotedTokens(argument), reply);
        return;
    }
    if (MatchWord(line, "anactl", argument))
    {
        AnalogueControlCommand(ShellArguments::SplitQuotedTokens(argument));
        return;
    }
    if (MatchWord(line, "capture", argument))
    {
        CaptureCommand(ShellArguments::SplitQuotedTokens(argument), reply);
        return;
    }
    // The GPO layer's words ("gpo") stay reachable from the shell.
    VFakeDeviceGPO::OnTelnetCommand(line, reply);
}

void VFakeDeviceNet::SampleRateCommand(const Tokens& tokens, std::string& reply)
{
    bool setting = false;
    std::size_t index = 0;
    while (index < tokens.size())
    {
        const std::string& option = tokens[index];
        if (option == "-s")
        {
            setting = true;
            std::uint32_t prescaler = 0;
            std::uint32_t divisor = 0;
            if (index + 1 < tokens.size() && ReadToken(tokens, index + 2, prescaler) &&
                ReadToken(tokens, index + 3, divisor))
                SetSampleRate(tokens[index + 1], prescaler, divisor);
            index += 4;
        }
        else if (option == "-f")
        {
            if (index + 1 < tokens.size())
            {
                std::lock_guard lock(GetDataLock());
                m_ClockFollowsSlot = tokens[index + 1] == "on";
            }
            index += 2;
        }
        else if (option == "-p" || option == "-d" || option == "-i")
        {
            // Read and kept for nothing else, as the real unit does.
            setting = true;
            index += 2;
        }
        else
        {
            ++index;
        }
    }
    if (setting)
        return;
    reply += FixedSix(GetParamOr(m_Slot0Keys.SampleRate.c_str(), 0.0));
    reply += "\r\n";
}

void VFakeDeviceNet::SetSampleRate(const std::string& target, std::uint32_t prescaler,
                                   std::uint32_t divisor)
{
    // A sample of no length has no rate: the setting changes nothing.
    constexpr std::uint32_t largest = 0x7FFFFFFFu;
    if (prescaler == 0 || divisor == 0 || prescaler > largest || divisor > largest)
        return;
    const double rate =
        SampleClockHz / static_cast<double>(std::uint64_t{prescaler} * std::uint64_t{divisor});
    const auto p = static_cast<int32_t>(prescaler);
    const auto d = static_cast<int32_t>(divisor);
    auto setClockOut = [this, rate, p, d]
    {
        SetParam("ClkOutSampleRate", rate);
        SetParam("ClkOutPrescaler", p);
        SetParam("ClkOutDivisor", d);
    };

    if (target == "c")
    {
        setClockOut();
        std::lock_guard lock(GetDataLock());
        m_ClockOutSet = true;
        return;
    }
    std::uint32_t slot = 0;
    if (target != "0" && target != "1")
        return;
    slot = target == "0" ? 0 : 1;
    const std::uint32_t channels = ChannelsForRate(rate);
    SetParam(SyncUnitKeys::Slot(slot, "NumChannels").c_str(), static_cast<int32_t>(channels));
    for (std::uint32_t channel = 0; channel < channels; ++channel)
        SetParam(SyncUnitKeys::Channel(slot, channel, "Enabled").c_str(), true);
    SetParam(SyncUnitKeys::Slot(slot, "SampleRate").c_str(), rate);
    SetParam(SyncUnitKeys::Slot(slot, "Prescaler").c_str(), p);
    SetParam(SyncUnitKeys::Slot(slot, "Divisor").c_str(), d);
    if (slot != 0)
        return;
    bool followClock = false;
    {
        std::lock_guard lock(GetDataLock());
        followClock = m_ClockFollowsSlot || !m_ClockOutSet;
    }
    if (followClock)
        setClockOut();
}

void VFakeDeviceNet::AnalogueControlCommand(const Tokens& tokens)
{
    std::uint32_t slot = 0;
    std::size_t index = 0;
    while (index < tokens.size())
    {
        const std::string& option = tokens[index];
        std::uint32_t first = 0;
        std::uint32_t last = 0;
        bool selected = false;
        if (option == "-s")
        {
            ReadToken(tokens, index + 1, slot);
            index += 2;
            continue;
        }
        if (option == "-a")
        {
            first = 0;
            last = kChannelCount - 1;
            selected = true;
            index += 1;
        }
        else if (option == "-c")
        {
            selected = ReadToken(tokens, index + 1, first);
            last = first;
            index += 2;
        }
        else if (option == "-r")
        {
            selected = ReadToken(tokens, index + 1, first) && ReadToken(tokens, index + 2, last);
            index += 3;
        }
        else
        {
            ++index;
            continue;
        }
        // A selection running backwards or spanning more than the channels is ignored.
        if (!selected || first > last || last - first >= kChannelCount)
            continue;
        const std::uint32_t end = std::min(last, kChannelCount - 1);

        while (index < tokens.size() && tokens[index] != "on" && tokens[index] != "off" &&
               tokens[index] != "-g")
            ++index;
        if (index >= tokens.size())
            break;
        if (tokens[index] == "-g")
        {
            int32_t gain = 0;
            if (index + 1 < tokens.size() &&
                ReadWholeNumber(std::string_view(tokens[index + 1]), gain))
            {
                for (std::uint32_t channel = first; channel <= end; ++channel)
                    SetParam(SyncUnitKeys::Channel(slot, channel, "Gain").c_str(), gain);
            }
            index += 2;
            continue;
        }
        const bool on = tokens[index] == "on";
        ++index;
        SetInCapture(slot, false);
        for (std::uint32_t channel = first; channel <= end; ++channel)
            SetParam(SyncUnitKeys::Channel(slot, channel, "Enabled").c_str(), on);
        std::lock_guard lock(GetDataLock());
        m_CaptureStep = 1;
    }
}

void VFakeDeviceNet::CaptureCommand(const Tokens& tokens, std::string& reply)
{
    std::uint32_t slot = 0;
    int action = 0; // 1 on, -1 off
    for (std::size_t index = 0; index < tokens.size(); ++index)
    {
        if (tokens[index] == "-s")
            ReadToken(tokens, ++index, slot);
        else if (action == 0 && tokens[index] == "on")
            action = 1;
        else if (action == 0 && tokens[index] == "off")
            action = -1;
    }
    const std::string active = SyncUnitKeys::Slot(slot, "CaptureActive");
    if (action == 1)
    {
        SetParam(active.c_str(), true);
        SetInCapture(slot, false);
        std::lock_guard lock(GetDataLock());
        m_RestartCountdown = kRestartFrames;
        m_CaptureArmed = true;
        return;
    }
    if (action == -1)
    {
        SetParam(active.c_str(), false);
        SetInCapture(slot, false);
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Slot %d capture %s\r\n", static_cast<int>(slot),
                  GetParamOr(active.c_str(), false) ? "on" : "off");
    reply += text;
}

void VFakeDeviceNet::AppendInfoReport(std::string& reply, const std::string& slot1,
                                      bool withTimecode) const
{
    ShellArguments::AppendReportLine(reply, "Display Device Type", "ZT Vantrel");
    ShellArguments::AppendReportLine(reply, "Device Type", kDeviceType);
    ShellArguments::AppendReportLine(reply, "Device ID", std::to_string(GetDeviceId()));
    ShellArguments::AppendReportLine(reply, "Slot1", slot1);
    ShellArguments::AppendReportLine(reply, "Firmware Target", kDeviceType);
    ShellArguments::AppendReportLine(reply, "Minimum HAL Version",
                                     std::to_string(GetParamOr("MinHalVersion", int32_t{0})));
    ShellArguments::AppendReportLine(reply, "Firmware Version",
                                     std::to_string(GetParamOr("FirmwareVersion", int32_t{0})));
    ShellArguments::AppendReportLine(reply, "Status LED Count", "1");
    ShellArguments::AppendReportLine(reply, "GPI Count", "4");
    // The unit reports 8 outputs although it makes 4.
    ShellArguments::AppendReportLine(reply, "GPO Count", "8");
    ShellArguments::AppendReportLine(reply, "Output Clock Count", "1");
    ShellArguments::AppendReportLine(reply, "Ethernet Master Able", "yes");
    if (!withTimecode)
        return;
    ShellArguments::AppendReportLine(reply, "Timecode Source", "FILM NTSC_DROP NTSC PAL Internal");
    ShellArguments::AppendReportLine(reply, "Genlock Source",
                                     "FILM23.976 FILM24 NTSC PAL Internal");
}

void VFakeDeviceNet::Describe(const char* prefix, IString& out) const
{
    const std::string text = prefix + GetParamOr<std::string>("DeviceType", "") + " " +
                             GetParamOr<std::string>("DeviceID", "");
    out.Assign(text.c_str());
}

VFakeSourceTarget VFakeDeviceNet::SourceTarget(std::uint32_t port) const
{
    VFakeSourceTarget target;
    target.DeviceId = GetDeviceId();
    target.HalAddress = GetHalAddress();
    target.LocalAddress = GetLocalAddress();
    target.Faults = &GetFaults();
    target.Port = static_cast<std::uint16_t>(port);
    return target;
}

void VFakeDeviceNet::SetInCapture(std::uint32_t slot, bool value)
{
    SetParam(SyncUnitKeys::Slot(slot, "InCapture").c_str(), value);
}

// ---- frames ----------------------------------------------------------------

void VFakeDeviceNet::OnSendFrame(std::uint32_t /*frame*/, std::uint32_t /*previous*/) {}

void VFakeDeviceNet::OnFrame(std::uint32_t frame, std::uint32_t previous)
{
    ShellArguments::PrintSkipLine(GetDeviceId(), frame, previous);
    std::lock_guard lock(GetDataLock());
    if (!IsSendingAllowed())
        return;
    OnSendFrame(frame, previous);
    StepCapture();
}

void VFakeDeviceNet::StepCapture()
{
    const bool active = GetParamOr(m_Slot0Keys.CaptureActive.c_str(), false);
    switch (m_CaptureStep)
    {
    case 1:
        if (active)
            SetInCapture(0, false);
        m_CaptureStep = 2;
        break;
    case 2:
        m_CaptureStep = 3;
        break;
    case 3:
        if (active)
        {
            SetInCapture(0, false);
            m_CaptureArmed = true;
            m_RestartCountdown = kRestartFrames;
        }
        m_CaptureStep = 0;
        break;
    default:
        break;
    }

    if (!m_CaptureArmed && m_StopCountdown != 0 && --m_StopCountdown == 0)
    {
        SetInCapture(0, false);
        SetInCapture(1, false);
    }

    if (m_RestartCountdown != 0 && --m_RestartCountdown == 0)
    {
        if (GetParamOr<std::string>(SyncUnitKeys::Card(0).c_str(), "") == "Analogue")
        {
            SetInCapture(0, true);
            m_RestartCountdown = kRestartFrames;
        }
        if (!m_CaptureArmed)
            m_StopCountdown = m_StopDelay;
    }
}
