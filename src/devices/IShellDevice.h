// What the telnet command shell needs of its device: the greeting and the command
// interpreter. The device base implements it.
#pragma once

#include <string>

/// The device behind a VDeviceTelnetConnection.
///
/// Threading contract: GetGreeting runs on the shell's listener thread as a host connects,
/// ProcessCommand on its receive thread, never both at once for one connection; the device
/// guards whatever else it shares with its other threads.
class IShellDevice
{
public:
    virtual ~IShellDevice() = default;
    /// The banner word sent to a new host (the shell appends the prompt).
    virtual void GetGreeting(std::string& text) = 0;
    /// Executes one command line (trimmed) and appends any reply text to `reply` (the shell
    /// appends the prompt). Lines may hold any bytes.
    virtual void ProcessCommand(const std::string& line, std::string& reply) = 0;
};
