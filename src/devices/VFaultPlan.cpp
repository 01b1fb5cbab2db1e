#include "devices/VFaultPlan.h"

#include "devices/ShellArguments.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <set>
#include <system_error>

namespace
{

constexpr const char* KnownKeys =
    "seed, device, drop, duplicate, drop_frames, swap_frames, delay_ms, silence, restart";

/// An unsigned number, decimal or 0x hexadecimal, that fits T and is nothing else.
template <class T> bool ReadUnsigned(std::string_view text, T& out)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return false;
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, base);
    if (error != std::errc() || stop != end)
        return false;
    out = value;
    return true;
}

/// A finite decimal number in [low, high], nothing else.
bool ReadReal(std::string_view text, double low, double high, double& out)
{
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value) ||
        value < low || value > high)
        return false;
    out = value;
    return true;
}

/// The shortest text that reads back as `value` for the values this plan holds.
std::string RealText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Bad(std::string_view key, std::string_view value, const char* expected)
{
    return "bad value \"" + std::string(value) + "\" for \"" + std::string(key) + "\" (" +
           expected + ")";
}

/// Applies one item to `plan`; false with `error`.
bool ReadItem(std::string_view key, std::string_view value, VFaultPlan& plan, std::string& error)
{
    constexpr double Forever = 1.0e9; // seconds; only to keep times finite
    if (key == "seed")
    {
        if (!ReadUnsigned(value, plan.Seed))
            return (error = Bad(key, value, "an unsigned 64-bit number")), false;
        return true;
    }
    if (key == "device")
    {
        plan.DeviceGiven = true;
        if (value == "all")
        {
            plan.Device.reset();
            return true;
        }
        std::uint32_t id = 0;
        if (!ReadUnsigned(value, id))
            return (error = Bad(key, value, "a device id or \"all\"")), false;
        plan.Device = id;
        return true;
    }
    struct VFraction
    {
        const char* Key;
        double VFaultPlan::*Field;
    };
    for (const VFraction& fraction :
         {VFraction{"drop", &VFaultPlan::Drop}, VFraction{"duplicate", &VFaultPlan::Duplicate},
          VFraction{"drop_frames", &VFaultPlan::DropFrames},
          VFraction{"swap_frames", &VFaultPlan::SwapFrames}})
    {
        if (key != fraction.Key)
            continue;
        if (!ReadReal(value, 0.0, 1.0, plan.*fraction.Field))
            return (error = Bad(key, value, "a fraction from 0 to 1")), false;
        return true;
    }
    if (key == "delay_ms")
    {
        if (!ShellArguments::ReadWholeNumber(value, plan.DelayMs) ||
            plan.DelayMs > VFaultPlan::MaxDelayMs)
            return (error = Bad(key, value, "whole milliseconds from 0 to 10000")), false;
        return true;
    }
    if (key == "silence")
    {
        const std::size_t at = value.find('@');
        VFaultPlan::VSilence silence;
        if (at == std::string_view::npos ||
            !ReadReal(value.substr(0, at), 0.0, Forever, silence.Seconds) ||
            silence.Seconds <= 0.0 ||
            !ReadReal(value.substr(at + 1), 0.0, Forever, silence.AtSeconds))
            return (error = Bad(key, value, "<seconds>@<at seconds>, e.g. 2@5")), false;
        plan.Silence = silence;
        return true;
    }
    if (key == "restart")
    {
        double atSeconds = 0.0;
        if (!ReadReal(value, 0.0, Forever, atSeconds))
            return (error = Bad(key, value, "<at seconds>")), false;
        plan.RestartAtSeconds = atSeconds;
        return true;
    }
    error = "unknown key \"" + std::string(key) + "\" (the keys are " + KnownKeys + ")";
    return false;
}

} // namespace

bool VFaultPlan::InjectsAnything() const
{
    return Drop > 0.0 || Duplicate > 0.0 || DropFrames > 0.0 || SwapFrames > 0.0 || DelayMs > 0 ||
           Silence.has_value() || RestartAtSeconds.has_value();
}

bool VFaultPlan::Parse(std::string_view text, VFaultPlan& plan, std::string& error)
{
    VFaultPlan read;
    std::set<std::string, std::less<>> seen;
    bool anyItem = false;
    while (!text.empty())
    {
        const std::size_t comma = text.find(',');
        const std::string_view item = ShellArguments::Trim(text.substr(0, comma));
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
        if (item.empty())
            continue;
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos)
        {
            error = "\"" + std::string(item) + "\" is not <key>=<value>";
            return false;
        }
        const std::string_view key = ShellArguments::Trim(item.substr(0, equals));
        const std::string_view value = ShellArguments::Trim(item.substr(equals + 1));
        if (!seen.emplace(key).second)
        {
            error = "\"" + std::string(key) + "\" is given twice";
            return false;
        }
        if (!ReadItem(key, value, read, error))
            return false;
        anyItem = true;
    }
    if (!anyItem)
    {
        error = std::string("no <key>=<value> given (the keys are ") + KnownKeys + ")";
        return false;
    }
    if (read.DropFrames + read.SwapFrames > 1.0)
    {
        error = "drop_frames and swap_frames add up to more than 1";
        return false;
    }
    plan = read;
    return true;
}

std::string VFaultPlan::ToString() const
{
    std::string text = "seed=" + std::to_string(Seed);
    if (DeviceGiven)
        text += ",device=" + (Device ? std::to_string(*Device) : std::string("all"));
    const std::pair<const char*, double> fractions[] = {{"drop", Drop},
                                                        {"duplicate", Duplicate},
                                                        {"drop_frames", DropFrames},
                                                        {"swap_frames", SwapFrames}};
    for (const auto& [key, value] : fractions)
    {
        if (value > 0.0)
            text += std::string(",") + key + "=" + RealText(value);
    }
    if (DelayMs > 0)
        text += ",delay_ms=" + std::to_string(DelayMs);
    if (Silence)
        text += ",silence=" + RealText(Silence->Seconds) + "@" + RealText(Silence->AtSeconds);
    if (RestartAtSeconds)
        text += ",restart=" + RealText(*RestartAtSeconds);
    return text;
}
