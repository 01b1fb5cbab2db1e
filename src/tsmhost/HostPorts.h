// The ports the capture host listens and connects on, and how it lays out the data ports of
// each device: one block of ports per device, with the offsets the devices add themselves.
#pragma once

#include "devices/VAwakeAndAliveServer.h"

#include <cstdint>

/// Port numbers and the data-port block layout. Plain constants; any thread.
namespace HostPorts
{
/// AWAKE and ALIVE arrive here (UDP).
constexpr std::uint16_t Discovery = AWAKE_AND_ALIVE_PORT;
/// A device's command shell listens on this plus its position (TCP).
constexpr std::uint16_t ShellBase = 9000;

/// Offsets from a device's data port p (the "portset" port) of the streams a device sends:
/// the centroid stream of a camera, or the analogue card of an X1D sync unit, on p itself;
/// the protocol-1 greyscale stream on p + 1000; the timecode of an X2D sync unit on p + 2000;
/// the synthetic analogue card on p + 3000; the protocol-2 greyscale stream on p + 5000.
/// The host asks for the status datagrams ("notify") on p + 1.
enum class EStreamRole : std::uint8_t
{
    Primary,       ///< p: centroids (camera) or analogue data (X1D sync unit)
    Status,        ///< p + 1: the device status datagrams
    GreyscaleV1,   ///< p + 1000
    Timecode,      ///< p + 2000
    AnalogueSynth, ///< p + 3000
    GreyscaleV2,   ///< p + 5000
};

constexpr EStreamRole AllRoles[] = {EStreamRole::Primary,       EStreamRole::Status,
                                    EStreamRole::GreyscaleV1,   EStreamRole::Timecode,
                                    EStreamRole::AnalogueSynth, EStreamRole::GreyscaleV2};

constexpr std::uint16_t RoleOffset(EStreamRole role)
{
    switch (role)
    {
    case EStreamRole::Primary:
        return 0;
    case EStreamRole::Status:
        return 1;
    case EStreamRole::GreyscaleV1:
        return 1000;
    case EStreamRole::Timecode:
        return 2000;
    case EStreamRole::AnalogueSynth:
        return 3000;
    case EStreamRole::GreyscaleV2:
        return 5000;
    }
    return 0;
}

/// A short name of the role for messages and reports.
constexpr const char* RoleName(EStreamRole role)
{
    switch (role)
    {
    case EStreamRole::Primary:
        return "primary";
    case EStreamRole::Status:
        return "status";
    case EStreamRole::GreyscaleV1:
        return "greyscale";
    case EStreamRole::Timecode:
        return "timecode";
    case EStreamRole::AnalogueSynth:
        return "analogue";
    case EStreamRole::GreyscaleV2:
        return "greyscale-v2";
    }
    return "?";
}

/// Data ports of consecutive devices lie this far apart, so a device's p + 1 never meets the
/// next device's p, and 100 devices fit below p + 1000.
constexpr std::uint16_t BlockStride = 10;
/// The most blocks that fit between the base and the first +1000 offset.
constexpr std::uint32_t MaxBlocks = 1000 / BlockStride;
/// Default first data port: above the protocol's fixed ports and below the system's
/// ephemeral range, with room for every offset.
constexpr std::uint16_t DefaultDataPortBase = 20000;
/// The largest base for which every port of every block fits in 16 bits.
constexpr std::uint32_t MaxDataPortBase = 65535u - 5000u - (MaxBlocks - 1u) * BlockStride - 1u;

/// The data port p of block `block` above `base`.
constexpr std::uint32_t BlockPort(std::uint32_t base, std::uint32_t block)
{
    return base + block * BlockStride;
}
} // namespace HostPorts
