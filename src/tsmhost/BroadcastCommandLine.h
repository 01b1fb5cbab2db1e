// Reads the arguments of "tsmhost broadcast <command> [options]" into the
// datagram to send and where to send it from and to.
#pragma once

#include "net/VNetAddress.h"

#include <cstdint>
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

/// Reads `args`, the words after "broadcast": a command name, then options in
/// any order. On success fills `request` and returns true; otherwise returns
/// false with a one-line reason in `error` (no line end).
/// Without "--to" the destination is the HAL address when that is a loopback
/// address or not given (127.0.0.1 then), else the limited broadcast
/// 255.255.255.255.
bool ParseBroadcastCommandLine(const std::vector<std::string>& args, VBroadcastRequest& request,
                               std::string& error);

/// Reads a 32-bit unsigned number, decimal or "0x" hexadecimal, the whole text.
bool ParseWord(const std::string& text, uint32_t& value);

/// The help text of "tsmhost broadcast", ending with a line end.
const char* BroadcastUsageText();
