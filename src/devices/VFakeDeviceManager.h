// The device manager: owns the simulated devices and the stream clients,
// receives the HAL's broadcast commands, logs them and hands them to every device.
#pragma once

#include "devices/IDeviceLoader.h"
#include "devices/IDeviceServices.h"
#include "devices/IFakeDevice.h"
#include "devices/IStreamClient.h"
#include "devices/VBroadcastReceiver.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VEventManagerQt;
struct VFaultPlan;

/// How a device manager is set up beyond its addresses.
struct VFakeDeviceManagerOptions
{
    /// Open the broadcast receiver on BROADCAST_CMD_PORT. Tests that dispatch
    /// through OnBroadcastCommand directly turn it off and need no fixed port.
    bool m_OpenReceiver = true;
    /// Makes the shell and awake-and-alive sender of each device that connects;
    /// null: devices connect without them.
    std::shared_ptr<IDeviceServices> m_DeviceServices;
    /// Creates the devices of trial files and synthetic devices for AddX1D, AddX2D,
    /// AddSyntheticCamera and AddSyntheticSyncUnit; null: those create nothing.
    std::shared_ptr<IDeviceLoader> m_DeviceLoader;
    /// Makes the latency stream client that AddStreamClient appends; empty: AddStreamClient
    /// makes none. Called on the main thread, with the manager's lock held.
    std::function<std::shared_ptr<IStreamClient>()> m_StreamClientFactory;
};

/// Owns every simulated device of a run (in creation order, which is also the
/// order of every dispatch and tick) and the latency stream clients. Each
/// broadcast command from the HAL is logged on standard output and then handed
/// to every device, in list order, under the manager's lock. When the sync
/// master's frame clock produces a frame, OnSyncTick has every other device
/// produce one too.
///
/// Datagrams too short for their command's family (BroadcastMinimumLength) are
/// logged with the missing words as 0, followed by a line saying they were
/// dropped, and are not dispatched; one without a whole code word gets that line
/// alone, and an empty one (which the socket passes on from any sender) none. Devices therefore
/// never read past the received bytes. A MASTER whose rate is above the fastest the frame clock
/// paces (VFramePacer::MaxRate) gets one more line saying the rig runs at that rate instead (each
/// device clamps it).
///
/// Threading contract: construction, destruction, AddDevice, AddX1D, AddX2D on
/// the main thread. OnBroadcastCommand on the broadcast receive thread or a
/// master's sync thread (tests also call it on the main thread). OnSyncTick on a
/// master's sync thread. Every operation that touches the lists holds m_Lock, a
/// recursive mutex, for its whole duration (OnBroadcastCommand only around
/// the dispatch, after the log line), so dispatches and ticks never overlap and a
/// device may call back into the manager from inside one. The lock is taken
/// before any device lock. A sync thread waits for it through the variants that
/// take a stop flag and gives up once the flag is set, so a thread that holds the
/// lock may stop a device's frame clock. Not copyable.
class VFakeDeviceManager : public VBroadcastReceiver
{
public:
    /// Addresses in network byte order; every device created later receives
    /// them. `eventManager` is not owned and may be null (devices then run their
    /// parameter changes at once on the main thread and drop them elsewhere). By
    /// default starts the broadcast receiver on BROADCAST_CMD_PORT at once, so
    /// commands may arrive before the constructor returns.
    VFakeDeviceManager(VEventManagerQt* eventManager, uint32_t localAddress, uint32_t halAddress,
                       VFakeDeviceManagerOptions options = {});
    /// Stops the receiver; stops every device's frame clock, then retires every
    /// device (disconnects it), all outside the lock; then takes the device and
    /// stream-client lists out under the lock and releases them after it.
    ~VFakeDeviceManager() override;

    uint32_t GetDeviceCount() const;
    /// The device at zero-based position `index`, or null when there is none.
    std::shared_ptr<IFakeDevice> GetDevice(uint32_t index) const;
    uint32_t GetStreamClientCount() const;
    /// The stream client at zero-based position `index`, or null when there is none.
    std::shared_ptr<IStreamClient> GetStreamClient(uint32_t index) const;

    /// Appends `device` (ignored when null) and returns its 1-based position,
    /// which also fixes its identity (see the device loaders); 0 for null.
    uint32_t AddDevice(std::shared_ptr<IFakeDevice> device);

    /// The loading operations, run by the options' IDeviceLoader under the lock for
    /// their whole duration: the devices of a trial file, one synthetic camera of a
    /// model index, one synthetic sync unit. False, with nothing appended, without a
    /// loader. Main thread.
    bool AddX1D(const std::string& path);
    bool AddX2D(const std::string& path);
    bool AddSyntheticCamera(uint32_t model);
    bool AddSyntheticSyncUnit();
    /// Makes one latency stream client through the options' factory and appends it to the
    /// stream-client list (stream clients take no position); returns it, or null (nothing
    /// appended) without a factory or when the factory made none. Main thread.
    std::shared_ptr<IStreamClient> AddStreamClient();

    /// Logs the command and hands it to every device (see the class comment).
    /// Also called directly by a master device for its local sync broadcast.
    void OnBroadcastCommand(const uint8_t* data, size_t length) override;

    /// As OnBroadcastCommand, but gives up before the log line when `abandon`
    /// becomes true while waiting for the lock (a sync thread asked to stop);
    /// returns whether the datagram was dispatched. The log line is printed under
    /// the lock.
    bool DispatchBroadcast(const uint8_t* data, size_t length, const std::atomic<bool>& abandon);

    /// A master's frame clock has produced a frame: every other device, in list
    /// order, produces its next one (IFakeDevice::OnMasterTick; devices that are
    /// not connected skip it); then every stream client, in list order, is handed
    /// `source`'s current frame number (IStreamClient::OnFrameSent). Called on
    /// `source`'s sync thread.
    void OnSyncTick(IFakeDevice* source);
    /// As OnSyncTick, but gives up (false, nothing ticked) when `abandon` becomes
    /// true while waiting for the lock.
    bool OnSyncTick(IFakeDevice* source, const std::atomic<bool>& abandon);

    /// Takes the manager's lock into `lock` for a master's whole tick, unless
    /// `abandon` becomes true first (false, not locked). Dispatches and ticks
    /// made on the same thread meanwhile take it again (it is recursive).
    bool LockForTick(std::unique_lock<std::recursive_mutex>& lock,
                     const std::atomic<bool>& abandon) const
    {
        return LockUnless(lock, abandon);
    }

    /// Puts `plan` in force on the device it names, or on every device when it names none,
    /// its times counted from now; each device that takes it prints "<id>: Faults: <plan>".
    /// Returns how many devices took it. Any thread that holds no device's data lock (the
    /// main thread at start-up, a shell's for its "faults" word).
    uint32_t ConfigureFaults(const VFaultPlan& plan);
    /// The line "<id>: injected: ..." of every device that injected faults, in list order.
    /// Any thread.
    std::vector<std::string> GetInjectedLines() const;

    /// The log line for a datagram, with its line end, exactly as printed. Words
    /// beyond the datagram's end show as 0; empty when it holds no whole code word.
    static std::string FormatBroadcastLogLine(const uint8_t* data, size_t length);
    /// The line printed after the log line of a datagram too short for its
    /// command's family, which is then dropped; empty for a complete datagram and
    /// for an empty one (dropped without a word).
    static std::string FormatBroadcastDropLine(const uint8_t* data, size_t length);

    VEventManagerQt* GetEventManager() const { return m_EventManager; }
    /// The factory of the devices' connection parts, or null. Any thread.
    IDeviceServices* GetDeviceServices() const { return m_DeviceServices.get(); }

private:
    using Lock = std::unique_lock<std::recursive_mutex>;

    /// Takes m_Lock unless `abandon` is set first; false (not locked) then.
    bool LockUnless(Lock& lock, const std::atomic<bool>& abandon) const;
    /// Prints the datagram's log line, and the drop line when it is too short or
    /// the clamp line for a MASTER too fast; false when it is to be dropped.
    bool PrintLogLines(const uint8_t* data, size_t length);
    void Dispatch(const uint8_t* data, size_t length);
    void TickOthers(IFakeDevice* source);

    VEventManagerQt* const m_EventManager;
    const std::shared_ptr<IDeviceServices> m_DeviceServices;
    const std::shared_ptr<IDeviceLoader> m_DeviceLoader;
    const std::function<std::shared_ptr<IStreamClient>()> m_StreamClientFactory;

    /// Guards m_Devices and m_StreamClients; held across dispatch and ticks.
    /// Taken before any device lock.
    mutable std::recursive_mutex m_Lock;
    std::vector<std::shared_ptr<IFakeDevice>> m_Devices;
    std::vector<std::shared_ptr<IStreamClient>> m_StreamClients;
};
