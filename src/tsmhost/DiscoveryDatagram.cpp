#include "tsmhost/DiscoveryDatagram.h"

#include "devices/BroadcastCommand.h"
#include "devices/VAwakeAndAliveServer.h"

#include <algorithm>
#include <cstdio>

namespace
{

std::array<std::uint8_t, 8> LoadHardwareAddress(const std::uint8_t* bytes)
{
    std::array<std::uint8_t, 8> address{};
    std::copy(bytes, bytes + address.size(), address.begin());
    return address;
}

std::string Describe(std::size_t length, const char* what)
{
    return std::to_string(length) + " bytes: " + what;
}

} // namespace

bool DecodeDiscoveryDatagram(const std::uint8_t* data, std::size_t length,
                             VDiscoveryMessage& message, std::string& error)
{
    if (data == nullptr || length < 4)
    {
        error = Describe(length, "too short for any discovery datagram");
        return false;
    }
    const std::uint32_t code = LoadBroadcastWord(data, 0);
    if (code == BROADCAST_CMD_AWAKE)
    {
        if (length < AwakeDatagram::Size)
        {
            error = Describe(length, "AWAKE cut short (28 needed)");
            return false;
        }
        message = VDiscoveryMessage{};
        message.Kind = VDiscoveryMessage::EKind::Awake;
        message.LocalAddress =
            VNetAddress(LoadBroadcastWord(data + AwakeDatagram::OffsetLocalAddress, 0));
        message.ClassCode = LoadBroadcastWord(data + AwakeDatagram::OffsetClassCode, 0);
        const std::uint32_t place = LoadBroadcastWord(data + AwakeDatagram::OffsetPlace, 0);
        message.Position = place >> 24;
        message.PlaceFlags = place & 0x00FFFFFFu;
        message.HardwareAddress = LoadHardwareAddress(data + AwakeDatagram::OffsetHardwareAddress);
        message.DeviceId = LoadBroadcastWord(data + AwakeDatagram::OffsetDeviceId, 0);
        return true;
    }
    if (code == BROADCAST_CMD_ALIVE_PING)
    {
        if (length < AliveDatagram::Size)
        {
            error = Describe(length, "ALIVE cut short (32 needed)");
            return false;
        }
        message = VDiscoveryMessage{};
        message.Kind = VDiscoveryMessage::EKind::Alive;
        message.LocalAddress =
            VNetAddress(LoadBroadcastWord(data + AliveDatagram::OffsetLocalAddress, 0));
        message.ClassCode = LoadBroadcastWord(data + AliveDatagram::OffsetClassCode, 0);
        message.Sequence = static_cast<std::uint16_t>(
            LoadBroadcastWord(data + AliveDatagram::OffsetSequence, 0) >> 16);
        message.HardwareAddress = LoadHardwareAddress(data + AliveDatagram::OffsetHardwareAddress);
        message.DeviceId = LoadBroadcastWord(data + AliveDatagram::OffsetDeviceId, 0);
        return true;
    }
    char text[64];
    std::snprintf(text, sizeof(text), "unknown code %08X", static_cast<unsigned>(code));
    error = Describe(length, text);
    return false;
}

std::string FormatHardwareAddress(const std::array<std::uint8_t, 8>& address)
{
    std::string text;
    char part[4];
    for (std::size_t i = 0; i < address.size(); ++i)
    {
        std::snprintf(part, sizeof(part), i == 0 ? "%02x" : ":%02x", address[i]);
        text += part;
    }
    return text;
}

std::string DeviceClassName(std::uint32_t classCode)
{
    if (classCode == DeviceClassCamera)
        return "camera";
    if (classCode == DeviceClassControl)
        return "control";
    return "class " + std::to_string(classCode);
}
