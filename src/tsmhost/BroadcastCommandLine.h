// Reads the arguments of "tsmhost broadcast <command> [options]" into the
// datagram to send and where to send it from and to.
#pragma once

#include "net/VNetAddress.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// One broadcast command ready to send.
struct VBroadcastRequest
{
    std::string m_Name;            ///< the command's log name, e.g. "BROADCAST_CMD_MASTER"
    std::vector<uint32_t> m_Words; ///< the datagram's words, code first
    VNetAddress m_Source;          ///< the HAL address to send from; empty = any
    VNetAddress m_Destination;     ///< where the datagram goes
    uint16_t m_Port = 0;           ///< destination port
};

/// The "broadcast" command line: each command is a subcommand of "broadcast" taking the
/// options it uses and where to send. Declare, parse, then MakeRequest. One thread.
class VBroadcastCommandLine
{
public:
    /// Declares the commands on `broadcast`. The object must outlive the parse.
    void Declare(CLI::App& broadcast);

    /// After a parse that reached `broadcast`: fills `request` and returns true; otherwise
    /// false with a one-line reason in `error` (no command given, an option the command needs
    /// missing). Without "--to" the destination is the HAL address when that is a loopback
    /// address or not given (127.0.0.1 then), else the limited broadcast 255.255.255.255.
    bool MakeRequest(const CLI::App& broadcast, VBroadcastRequest& request,
                     std::string& error) const;

    VBroadcastCommandLine() = default;
    VBroadcastCommandLine(const VBroadcastCommandLine&) = delete;
    VBroadcastCommandLine& operator=(const VBroadcastCommandLine&) = delete;

private:
    /// The values given after the command name.
    struct VValues
    {
        std::optional<uint32_t> m_Device;
        std::optional<uint32_t> m_Frame;
        std::optional<double> m_Rate;
        std::optional<uint32_t> m_Flags;
        std::optional<uint32_t> m_Type;
        bool m_On = false;
        bool m_Off = false;
        bool m_Surrogate = false;
        std::vector<uint32_t> m_RawWords;
        std::optional<VNetAddress> m_Source;
        std::optional<VNetAddress> m_Destination;
        uint32_t m_Port = 0;
    };
    VValues m_Values;
};

/// Reads the words after "broadcast" (a command name, then its options in any order) with a
/// VBroadcastCommandLine of its own. False with a one-line reason in `error` (no line end).
bool ParseBroadcastCommandLine(const std::vector<std::string>& args, VBroadcastRequest& request,
                               std::string& error);

/// Reads a 32-bit unsigned number, decimal or "0x" hexadecimal, the whole text.
bool ParseWord(const std::string& text, uint32_t& value);
