#include "tsmhost/StatusDatagramDecoder.h"

#include "devices/DeviceStatusDatagram.h"

#include "FileIO/ByteCodec.h"

namespace
{

// Offsets the device base's header file does not name: the input status (28 bytes) and the
// timecode status (32 bytes) of the sync unit.
constexpr std::size_t InputStatusSize = 28;
constexpr std::size_t OffsetInputFrame = 12;
constexpr std::size_t OffsetInputLevels = 16;
constexpr std::size_t OffsetInputChanged = 18;
constexpr std::size_t TimecodeStatusSize = 32;
constexpr std::size_t OffsetTimecodeValue = 24;
constexpr std::size_t OffsetTimecodeStandard = 28;

std::size_t ExpectedSize(std::uint16_t type)
{
    switch (type)
    {
    case DeviceStatus::TypePosition:
    case DeviceStatus::TypeSyncStatus:
        return DeviceStatus::BaseDatagramSize;
    case DeviceStatus::TypeInputStatus:
        return InputStatusSize;
    case DeviceStatus::TypeTimecodeStatus:
        return TimecodeStatusSize;
    default:
        return 0;
    }
}

} // namespace

bool DecodeStatusDatagram(const std::uint8_t* data, std::size_t length, VStatusMessage& message,
                          std::string& error)
{
    if (data == nullptr || length < DeviceStatus::HeaderSize)
    {
        error = std::to_string(length) + " bytes: too short for a status header";
        return false;
    }
    const std::uint16_t type = LittleEndian::LoadU16(data + DeviceStatus::OffsetType);
    const std::uint16_t declared = LittleEndian::LoadU16(data + DeviceStatus::OffsetLength);
    const std::uint16_t version = LittleEndian::LoadU16(data + DeviceStatus::OffsetVersion);
    const std::size_t expected = ExpectedSize(type);
    if (expected == 0)
    {
        error = "unknown status type " + std::to_string(type);
        return false;
    }
    if (version != DeviceStatus::Version)
    {
        error = StatusTypeName(type) + " of version " + std::to_string(version);
        return false;
    }
    if (declared != expected || length != expected)
    {
        error = StatusTypeName(type) + " of " + std::to_string(length) + " bytes, length field " +
                std::to_string(declared) + ", " + std::to_string(expected) + " expected";
        return false;
    }
    message = VStatusMessage{};
    message.Type = type;
    message.Length = declared;
    message.HostTag = LittleEndian::LoadU16(data + DeviceStatus::OffsetHostTag);
    message.DeviceId = LittleEndian::LoadU32(data + DeviceStatus::OffsetDeviceId);
    switch (type)
    {
    case DeviceStatus::TypePosition:
        message.Slot = LittleEndian::LoadU16(data + DeviceStatus::OffsetSlot);
        message.Group = LittleEndian::LoadU16(data + DeviceStatus::OffsetGroup);
        break;
    case DeviceStatus::TypeSyncStatus:
        message.SyncStatus = LittleEndian::LoadU32(data + DeviceStatus::OffsetSyncStatus);
        break;
    case DeviceStatus::TypeInputStatus:
        message.FrameNumber = LittleEndian::LoadU32(data + OffsetInputFrame);
        message.InputLevels = LittleEndian::LoadU16(data + OffsetInputLevels);
        message.ChangedInput = LittleEndian::LoadU16(data + OffsetInputChanged);
        break;
    default:
        message.TimecodeValue = LittleEndian::LoadU32(data + OffsetTimecodeValue);
        message.TimecodeStandard = LittleEndian::LoadU32(data + OffsetTimecodeStandard);
        break;
    }
    return true;
}

std::string StatusTypeName(std::uint16_t type)
{
    switch (type)
    {
    case DeviceStatus::TypePosition:
        return "position";
    case DeviceStatus::TypeSyncStatus:
        return "sync status";
    case DeviceStatus::TypeInputStatus:
        return "input status";
    case DeviceStatus::TypeTimecodeStatus:
        return "timecode status";
    default:
        return "type " + std::to_string(type);
    }
}
