// The manager both device fuzz targets drive: synthetic devices only, no socket, no console.
#pragma once

#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/loading/VTrialLoader.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"

#include <arpa/inet.h>

#include <cstdio>
#include <memory>

/// A manager on loopback without a socket of its own, with the synthetic camera and sync unit
/// classes registered and standard output sent to /dev/null: the devices' console line for
/// every command would cost more than the command. Call once, on the fuzzer's thread; traps
/// when any of it fails.
inline std::unique_ptr<VFakeDeviceManager> MakeQuietSyntheticManager()
{
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        __builtin_trap();
    if (VFakeDeviceCameraSynthDefinitions.Register() == nullptr ||
        VFakeDeviceNetSynthDefinitions.Register() == nullptr)
        __builtin_trap();
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_DeviceLoader = std::make_shared<VTrialLoader>();
    const uint32_t loopback = htonl(0x7F000001u);
    return std::make_unique<VFakeDeviceManager>(nullptr, loopback, loopback, options);
}
