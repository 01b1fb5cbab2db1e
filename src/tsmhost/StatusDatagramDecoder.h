// Decoding of the small device status datagrams on the data port: position, sync status,
// input status and timecode status, behind their shared 12-byte header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// One decoded status datagram. Fields that its type does not carry stay 0. A value type.
struct VStatusMessage
{
    std::uint16_t Type = 0; ///< DeviceStatus::TypePosition ... TypeTimecodeStatus
    std::uint16_t Length = 0;
    std::uint16_t HostTag = 0;
    std::uint32_t DeviceId = 0;

    /// Type 2 (position): slot = position modulo 8, group = position / 8.
    std::uint16_t Slot = 0;
    std::uint16_t Group = 0;
    /// Type 3 (sync status): bit 0 not free-running, bit 1 master.
    std::uint32_t SyncStatus = 0;
    /// Type 4 (input status): the device's frame number, the six input levels and the input
    /// whose change sent the datagram (one bit, or 0).
    std::uint32_t FrameNumber = 0;
    std::uint16_t InputLevels = 0;
    std::uint16_t ChangedInput = 0;
    /// Type 5 (timecode status): the value word (1) and the standard word.
    std::uint32_t TimecodeValue = 0;
    std::uint32_t TimecodeStandard = 0;

    /// The device position a position datagram stands for: group × 8 + slot.
    std::uint32_t GetPosition() const { return std::uint32_t{Group} * 8u + Slot; }
};

/// Decodes one status datagram of `length` bytes. True for types 2 to 5 whose header is
/// version 1 and whose length field equals both `length` and the type's size (24, 24, 28,
/// 32); otherwise false with a short reason in `error`. Never reads past `length`.
bool DecodeStatusDatagram(const std::uint8_t* data, std::size_t length, VStatusMessage& message,
                          std::string& error);

/// "position", "sync status", "input status", "timecode status" or "type N".
std::string StatusTypeName(std::uint16_t type);
