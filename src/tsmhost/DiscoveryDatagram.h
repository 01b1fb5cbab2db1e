// Decoding of the AWAKE and ALIVE datagrams that devices send to the host's UDP port 8570.
#pragma once

#include "net/VNetAddress.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

/// What one AWAKE or ALIVE datagram says. A value type.
struct VDiscoveryMessage
{
    enum class EKind : std::uint8_t
    {
        Awake,
        Alive,
    };

    EKind Kind = EKind::Alive;
    VNetAddress LocalAddress;    ///< the device's own address (its shell listens there)
    std::uint32_t ClassCode = 0; ///< 0 camera, 2 sync unit or other control unit
    /// AWAKE only: the device's 1-based position (its shell port is 9000 plus it) and the
    /// flags of the place word (its low 24 bits; bit 3 is always set).
    std::uint32_t Position = 0;
    std::uint32_t PlaceFlags = 0;
    /// ALIVE only: the sequence number (tick count modulo 65536).
    std::uint16_t Sequence = 0;
    std::array<std::uint8_t, 8> HardwareAddress{};
    std::uint32_t DeviceId = 0;
};

/// Class codes of the AWAKE and ALIVE datagrams.
constexpr std::uint32_t DeviceClassCamera = 0;
constexpr std::uint32_t DeviceClassControl = 2;

/// Decodes one datagram received on the discovery port. True and `message` filled for a
/// whole AWAKE (28 bytes or more) or ALIVE (32 bytes or more); otherwise false with a short
/// reason in `error` ("7 bytes: too short for any discovery datagram", ...). Never reads
/// past `length`.
bool DecodeDiscoveryDatagram(const std::uint8_t* data, std::size_t length,
                             VDiscoveryMessage& message, std::string& error);

/// "00:00:37:00:00:01:00:00".
std::string FormatHardwareAddress(const std::array<std::uint8_t, 8>& address);

/// "camera", "control" or "class N".
std::string DeviceClassName(std::uint32_t classCode);
