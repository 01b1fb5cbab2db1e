// The connection parts of the real devices: a command shell on the device's TCP port and an
// awake-and-alive sender, made for each device as it connects.
#pragma once

#include "devices/IDeviceServices.h"
#include "devices/VAwakeAndAliveServer.h"

#include <cstdint>
#include <memory>

class VPeriodicCallback;

/// The IDeviceServices that tsmCL hands its device manager: CreateShell makes a
/// VDeviceTelnetConnection serving the device on the given port of the device's local address,
/// CreateAwakeSender a VAwakeAndAliveServer sending from that address towards the HAL's port
/// 8570 on the process-wide timer. Destroying
/// either part stops its threads and waits for them (within about a second), so nothing calls
/// into the device afterwards.
///
/// Threading contract: both operations on the main thread (inside the device's connection
/// handling); the object itself holds no state beyond its settings and may be shared by all
/// devices of a manager. Not copyable.
class VDeviceConnectionServices : public IDeviceServices
{
public:
    /// `awakePort`: the HAL's awake-and-alive port (tests pass an ephemeral one); `timer`:
    /// the timer that drives the senders (null: the process-wide one), not owned.
    explicit VDeviceConnectionServices(uint16_t awakePort = AWAKE_AND_ALIVE_PORT,
                                       VPeriodicCallback* timer = nullptr);
    VDeviceConnectionServices(const VDeviceConnectionServices&) = delete;
    VDeviceConnectionServices& operator=(const VDeviceConnectionServices&) = delete;

    /// Never null: a shell whose port cannot be bound yet keeps trying in the background.
    std::unique_ptr<IDeviceConnectionPart> CreateShell(VFakeDevice& device, uint16_t port) override;
    /// Never null: a sender whose socket cannot be opened drops its datagrams.
    std::unique_ptr<IDeviceConnectionPart>
    CreateAwakeSender(const VAwakeSenderIdentity& identity) override;

private:
    const uint16_t m_AwakePort;
    VPeriodicCallback* const m_Timer;
};
