// The faults a rig is told to inject, as given to tsmCL's "-faults" and the shell word
// "faults" (both ours): "<key>=<value>,...", read into one value and written back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

/// What to inject into the data and the announcements of one device or of every device.
/// Fractions are probabilities in [0, 1], drawn per datagram or per frame from the seed (see
/// VDeviceFaults); times count from the moment the plan is given to a device.
///
/// Keys: "seed" (unsigned, decimal or 0x hexadecimal), "device" (an id, decimal or 0x
/// hexadecimal, or "all"), "drop" and "duplicate" (fractions of data datagrams),
/// "drop_frames" and "swap_frames" (fractions of frames; together at most 1), "delay_ms"
/// (every frame's datagrams that many milliseconds late, at most MaxDelayMs), "silence"
/// ("<seconds>@<at seconds>": no data and no ALIVE for that long), "restart" ("<at seconds>":
/// the device restarts as if power-cycled).
///
/// A value type; any thread.
struct VFaultPlan
{
    /// The longest delay: frames held back stay in memory, so it is bounded.
    static constexpr std::uint32_t MaxDelayMs = 10000;

    struct VSilence
    {
        double Seconds = 0.0;
        double AtSeconds = 0.0;
    };

    std::uint64_t Seed = 0;
    /// The device the plan is for; none: every device ("all"), or, for the shell word when
    /// the key is not given, the device whose shell it is (DeviceGiven false).
    std::optional<std::uint32_t> Device;
    bool DeviceGiven = false;
    double Drop = 0.0;
    double Duplicate = 0.0;
    double DropFrames = 0.0;
    double SwapFrames = 0.0;
    std::uint32_t DelayMs = 0;
    std::optional<VSilence> Silence;
    std::optional<double> RestartAtSeconds;

    /// True when the plan injects anything at all.
    bool InjectsAnything() const;

    /// Reads `text` ("<key>=<value>" items separated by commas; blanks around items, keys and
    /// values are ignored). Every key at most once. False with `error` saying what is wrong
    /// (an unknown key, a value out of range, a key given twice), leaving `plan` untouched.
    static bool Parse(std::string_view text, VFaultPlan& plan, std::string& error);

    /// The plan as Parse reads it, keys in the order above, only those that differ from the
    /// defaults ("device" only when given).
    std::string ToString() const;
};
