// The small device-to-HAL status datagrams on the data port: their shared header, and the
// 24-byte sync-status and position datagrams of the device base.
#pragma once

#include <cstddef>
#include <cstdint>

/// Layout and encoders of the device status datagrams (all fields little-endian). Every
/// status datagram starts with the same 12-byte header; its length field is the datagram's
/// whole size (24 for sync status and position, 28 for input status, 32 for timecode status).
/// The host tag and device id are filled in by the device as it sends (see
/// FillDeviceStatusAddress). Plain functions, usable from any thread.
namespace DeviceStatus
{
constexpr size_t HeaderSize = 12;
constexpr size_t OffsetType = 0;     // u16
constexpr size_t OffsetLength = 2;   // u16, the datagram's whole size
constexpr size_t OffsetVersion = 4;  // u16, always Version
constexpr size_t OffsetHostTag = 6;  // u16, low 16 bits of the last "notify" tag
constexpr size_t OffsetDeviceId = 8; // u32

constexpr uint16_t Version = 1;

/// Packet types.
constexpr uint16_t TypePosition = 2;
constexpr uint16_t TypeSyncStatus = 3;
constexpr uint16_t TypeInputStatus = 4;
constexpr uint16_t TypeTimecodeStatus = 5;

/// Sync status (type 3) and position (type 2) are both this long.
constexpr size_t BaseDatagramSize = 24;
/// The longest status datagram any device sends (timecode status).
constexpr size_t MaxDatagramSize = 32;

/// Sync status (type 3): u32 at 12, bit 0 = not free-running, bit 1 = master.
constexpr size_t OffsetSyncStatus = 12;
constexpr uint32_t SyncStatusNotFreeRunning = 1u << 0;
constexpr uint32_t SyncStatusMaster = 1u << 1;
/// Position (type 2): u16 slot (position modulo 8) at 12, u16 group (position / 8) at 14.
constexpr size_t OffsetSlot = 12;
constexpr size_t OffsetGroup = 14;

/// The "SyncMode" values the sync-status bits are made from.
constexpr int32_t SyncModeFreeRunning = 3;
constexpr int32_t SyncModeMaster = 2;

/// Writes the header at `out` (HeaderSize bytes): `type`, `length`, version 1, host tag 0 and
/// device id 0 (the sender fills those two).
void EncodeHeader(uint8_t* out, uint16_t type, uint16_t length);

/// Writes the 24-byte sync-status datagram for sync mode `syncMode` at `out`.
void EncodeSyncStatus(uint8_t* out, int32_t syncMode);
/// Writes the 24-byte position datagram for 1-based device position `position` at `out`.
void EncodePosition(uint8_t* out, uint32_t position);

/// The datagram's own length from its header, when it is a usable status datagram within
/// `capacity` bytes (at least the header, at most `capacity`); 0 otherwise.
size_t GetDatagramLength(const uint8_t* packet, size_t capacity);

/// Writes the low 16 bits of `hostTag` at OffsetHostTag and `deviceId` at OffsetDeviceId.
void FillAddress(uint8_t* packet, uint32_t hostTag, uint32_t deviceId);
} // namespace DeviceStatus
