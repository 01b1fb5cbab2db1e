// Reads the arguments of "tsmhost run" and "tsmhost shell".
#pragma once

#include "net/VNetAddress.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The options of "tsmhost run". Plain values.
struct VRunOptions
{
    /// --hal; empty: this machine's own address as tsmCL resolves it.
    std::optional<VNetAddress> Hal;
    std::uint32_t DataPortBase = 20000;  ///< --data-port-base
    std::optional<std::uint32_t> Master; ///< --master ID
    std::optional<double> Rate;          ///< --rate HZ
    /// --broadcast ADDR: where broadcast commands go. Empty: each device's own address when
    /// the HAL address is a loopback address, else the limited broadcast 255.255.255.255.
    /// "devices" asks for the devices' own addresses whatever the HAL address.
    std::optional<VNetAddress> BroadcastAddress;
    bool BroadcastToDevices = false;
    std::optional<double> Duration;      ///< --duration S, streaming time; none: until Ctrl-C
    double Wait = 10.0;                  ///< --wait S for the first device
    bool Json = false;                   ///< --json
    std::string Record;                  ///< --record FILE
    std::uint16_t DiscoveryPort = 8570;  ///< --discovery-port
    std::uint16_t BroadcastPort = 8666;  ///< --broadcast-port
    std::uint32_t ShellPortBase = 9000;  ///< --shell-port-base
    std::uint32_t ShellTimeoutMs = 2000; ///< --shell-timeout MS
    /// --analogue-rate HZ: the sample rate set on every sync unit's analogue slot 0, and the
    /// prescaler and divisor of the 135 MHz sample clock that give it.
    double AnalogueRate = 1000.0;
    std::uint32_t AnaloguePrescaler = 3;
    std::uint32_t AnalogueDivisor = 45000;
    /// --serve-stream PORT: serve the host's data stream (frame information) there.
    std::optional<std::uint16_t> ServeStream;
    std::uint32_t StreamDelayMs = 0; ///< --stream-delay MS before each frame information
    /// --late-ms MS: a frame ending more than this after it was due counts as late.
    std::uint32_t LateMs = 50;
    /// --greymode MODE, --coordmode MODE: sent to every camera's shell as "greymode MODE" and
    /// "coordmode MODE" while it is configured; empty: not sent (the camera keeps its own).
    std::string GreyMode;
    std::string CoordMode;
};

/// A prescaler and divisor of the sync unit's 135 MHz sample clock for a sample rate of `hertz`:
/// prescaler × divisor = 135000000 / hertz, the smallest prescaler whose divisor fits 16 bits.
/// False when the rate does not divide the clock into a whole number of ticks (or is not
/// between 135000000 / (65535 × 65535) and 135000000 Hz).
bool SampleClockDivision(double hertz, std::uint32_t& prescaler, std::uint32_t& divisor);

/// Declares the options of "tsmhost run" on `run`, each read into `options` as it is parsed:
/// the one place where an option of "run" is defined, parsed and described for --help.
/// `options` must outlive the parse.
void DeclareRunOptions(CLI::App& run, VRunOptions& options);

/// Reads the words after "run". False with a one-line reason in `error` (no line end).
bool ParseRunCommandLine(const std::vector<std::string>& args, VRunOptions& options,
                         std::string& error);

/// The arguments of "tsmhost shell ADDRESS:PORT COMMAND...".
struct VShellOptions
{
    VNetAddress Address;
    std::uint16_t Port = 0;
    std::vector<std::string> Commands;
    std::uint32_t TimeoutMs = 2000; ///< --timeout MS
};

/// Declares the arguments of "tsmhost shell" on `shell`, read into `options`, which must
/// outlive the parse.
void DeclareShellOptions(CLI::App& shell, VShellOptions& options);

/// Reads the words after "shell". False with a one-line reason in `error`.
bool ParseShellCommandLine(const std::vector<std::string>& args, VShellOptions& options,
                           std::string& error);
