// The device manager: owns the simulated devices and the stream clients,
// receives the HAL's broadcast commands, logs them and hands them to every device.
#pragma once

#include "devices/IFakeDevice.h"
#include "devices/VBroadcastReceiver.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VEventManagerQt;
class VFakeZtCGClient;

/// Owns every simulated device of a run (in creation order, which is also the
/// order of every dispatch) and the latency stream clients. Each broadcast
/// command from the HAL is logged on standard output and then handed to every
/// device, in list order, under the manager's lock.
///
/// Datagrams too short for their command's family (BroadcastMinimumLength),
/// empty ones included, are dropped: no log line, no dispatch. Devices therefore
/// never read past the received bytes.
///
/// Threading contract: construction, destruction, AddDevice, AddX1D, AddX2D on
/// the main thread. OnBroadcastCommand on the broadcast receive thread or a
/// master's sync thread. Every operation that touches the lists holds m_Lock, a
/// recursive mutex, for its whole duration (OnBroadcastCommand only around the
/// dispatch, after the log line), so dispatches never overlap and a device may
/// call back into the manager from inside one. Not copyable.
class VFakeDeviceManager : public VBroadcastReceiver
{
public:
    /// Addresses in network byte order; every device created later receives
    /// them. `eventManager` is not owned and may be null until the event system
    /// exists. Starts the broadcast receiver on BROADCAST_CMD_PORT at once, so
    /// commands may arrive before the constructor returns.
    VFakeDeviceManager(VEventManagerQt* eventManager, uint32_t localAddress, uint32_t halAddress);
    /// Stops the receiver, then takes the device and stream-client lists out
    /// under the lock and releases them after it, so that a device's teardown
    /// may wait for a thread that is waiting for the lock.
    ~VFakeDeviceManager() override;

    uint32_t GetDeviceCount() const;
    /// The device at zero-based position `index`, or null when there is none.
    std::shared_ptr<IFakeDevice> GetDevice(uint32_t index) const;
    uint32_t GetStreamClientCount() const;

    /// Appends `device` (ignored when null) and returns its 1-based position,
    /// which also fixes its identity (see the device loaders); 0 for null.
    uint32_t AddDevice(std::shared_ptr<IFakeDevice> device);

    /// Load the devices of a trial file. Not built yet: they create nothing and
    /// return false.
    bool AddX1D(const std::string& path);
    bool AddX2D(const std::string& path);

    /// Logs the command and hands it to every device (see the class comment).
    /// Also called directly by a master device for its local sync broadcast.
    void OnBroadcastCommand(const uint8_t* data, size_t length) override;

    /// The log line for a datagram, with its line end, exactly as printed; empty
    /// when the datagram is too short for its command and would be dropped.
    static std::string FormatBroadcastLogLine(const uint8_t* data, size_t length);

    VEventManagerQt* GetEventManager() const { return m_EventManager; }

private:
    VEventManagerQt* const m_EventManager;

    /// Guards m_Devices and m_StreamClients; held across dispatch. Taken before
    /// any device lock.
    mutable std::recursive_mutex m_Lock;
    std::vector<std::shared_ptr<IFakeDevice>> m_Devices;
    std::vector<std::shared_ptr<VFakeZtCGClient>> m_StreamClients;
};
