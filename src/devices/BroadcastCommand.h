// The codes of the HAL's UDP broadcast commands, their port, the fewest bytes a
// datagram of each command must hold, and the big-endian words it is made of.
#pragma once

#include <cstddef>
#include <cstdint>

/// The UDP port on which devices receive the HAL's broadcast commands.
constexpr uint16_t BROADCAST_CMD_PORT = 8666;

/// Word 0 of a broadcast datagram (every word is 32-bit big-endian). The high
/// half names the family, on which devices act; the whole code names the
/// command in the log.
enum EBroadcastCommand : uint32_t
{
    BROADCAST_CMD_SYNC = 0x00010001,
    BROADCAST_CMD_RESET = 0x00020001,
    BROADCAST_CMD_MASTER = 0x00030005,
    BROADCAST_CMD_AWAKE = 0x00040006,
    BROADCAST_CMD_PREVIEW = 0x00050002,
    BROADCAST_CMD_ALIVE_PING = 0x00060007,
    BROADCAST_CMD_FRAME_NUMBER = 0x00070001,
    BROADCAST_CMD_DATA_DISABLE = 0x00080001,
    BROADCAST_CMD_STROBE_DISABLE = 0x00090001,
    BROADCAST_CMD_TEST_SYNC = 0x000A0001,
    BROADCAST_CMD_SYSTEM_EVENT = 0x000B0001,
};

constexpr uint32_t BROADCAST_CMD_FAMILY_MASK = 0xFFFF0000u;

/// The device id that addresses every device (RESET) or no device (MASTER).
constexpr uint32_t BROADCAST_CMD_ALL_DEVICES = 0xFFFFFFFFu;

/// The family of a code: its high half.
constexpr uint32_t BroadcastFamily(uint32_t code)
{
    return code & BROADCAST_CMD_FAMILY_MASK;
}

/// The fewest bytes a datagram whose word 0 is `code` must hold: every word that
/// devices of its family read and that its log line shows. Judged by family,
/// because devices act on the family whatever the low half says. Codes of no
/// known family need only the code word.
constexpr size_t BroadcastMinimumLength(uint32_t code)
{
    switch (BroadcastFamily(code))
    {
    case BroadcastFamily(BROADCAST_CMD_MASTER):
        return 24;
    case BroadcastFamily(BROADCAST_CMD_AWAKE):
    case BroadcastFamily(BROADCAST_CMD_PREVIEW):
    case BroadcastFamily(BROADCAST_CMD_ALIVE_PING):
        return 12;
    case BroadcastFamily(BROADCAST_CMD_SYNC):
    case BroadcastFamily(BROADCAST_CMD_RESET):
    case BroadcastFamily(BROADCAST_CMD_FRAME_NUMBER):
    case BroadcastFamily(BROADCAST_CMD_DATA_DISABLE):
    case BroadcastFamily(BROADCAST_CMD_STROBE_DISABLE):
    case BroadcastFamily(BROADCAST_CMD_SYSTEM_EVENT):
        return 8;
    default:
        return 4;
    }
}

/// Word `index` of a broadcast datagram, big-endian at byte offset 4 * index.
/// The caller checks first that the datagram holds 4 * (index + 1) bytes.
constexpr uint32_t LoadBroadcastWord(const uint8_t* datagram, size_t index)
{
    const uint8_t* word = datagram + 4 * index;
    return (uint32_t{word[0]} << 24) | (uint32_t{word[1]} << 16) | (uint32_t{word[2]} << 8) |
           uint32_t{word[3]};
}

/// The frame rate of a MASTER: word 3 whole hertz plus word 4 thousandths, both
/// unsigned.
constexpr double BroadcastFrameRate(uint32_t wholeHertz, uint32_t thousandths)
{
    return static_cast<double>(wholeHertz) + static_cast<double>(thousandths) * 0.001;
}

/// Stores `value` as word `index`, big-endian; the caller provides the bytes.
constexpr void StoreBroadcastWord(uint8_t* datagram, size_t index, uint32_t value)
{
    uint8_t* word = datagram + 4 * index;
    word[0] = static_cast<uint8_t>(value >> 24);
    word[1] = static_cast<uint8_t>(value >> 16);
    word[2] = static_cast<uint8_t>(value >> 8);
    word[3] = static_cast<uint8_t>(value);
}
