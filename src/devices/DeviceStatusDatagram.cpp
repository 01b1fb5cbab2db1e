#include "devices/DeviceStatusDatagram.h"

#include "FileIO/ByteCodec.h"

#include <cstring>

namespace DeviceStatus
{

void EncodeHeader(uint8_t* out, uint16_t type, uint16_t length)
{
    LittleEndian::StoreU16(out + OffsetType, type);
    LittleEndian::StoreU16(out + OffsetLength, length);
    LittleEndian::StoreU16(out + OffsetVersion, Version);
    LittleEndian::StoreU16(out + OffsetHostTag, 0);
    LittleEndian::StoreU32(out + OffsetDeviceId, 0);
}

void EncodeSyncStatus(uint8_t* out, int32_t syncMode)
{
    std::memset(out, 0, BaseDatagramSize);
    EncodeHeader(out, TypeSyncStatus, BaseDatagramSize);
    uint32_t status = 0;
    if (syncMode != SyncModeFreeRunning)
        status |= SyncStatusNotFreeRunning;
    if (syncMode == SyncModeMaster)
        status |= SyncStatusMaster;
    LittleEndian::StoreU32(out + OffsetSyncStatus, status);
}

void EncodePosition(uint8_t* out, uint32_t position)
{
    std::memset(out, 0, BaseDatagramSize);
    EncodeHeader(out, TypePosition, BaseDatagramSize);
    LittleEndian::StoreU16(out + OffsetSlot, static_cast<uint16_t>(position % 8));
    LittleEndian::StoreU16(out + OffsetGroup, static_cast<uint16_t>(position / 8));
}

size_t GetDatagramLength(const uint8_t* packet, size_t capacity)
{
    if (packet == nullptr || capacity < HeaderSize)
        return 0;
    const size_t length = LittleEndian::LoadU16(packet + OffsetLength);
    if (length < HeaderSize || length > capacity)
        return 0;
    return length;
}

void FillAddress(uint8_t* packet, uint32_t hostTag, uint32_t deviceId)
{
    LittleEndian::StoreU16(packet + OffsetHostTag, static_cast<uint16_t>(hostTag));
    LittleEndian::StoreU32(packet + OffsetDeviceId, deviceId);
}

} // namespace DeviceStatus
