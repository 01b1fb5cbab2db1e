// What the device manager needs of a simulated device: the hand-over of
// broadcast commands, the frame step a master's tick drives, and the teardown
// steps. The device base (VFakeDevice) implements it.
#pragma once

#include <cstddef>
#include <cstdint>

class IParamList;
class VDeviceFaults;

/// One simulated device as the manager sees it. Devices are owned by the
/// manager through shared handles and created and destroyed on the main thread.
/// Every operation except OnBroadcastCommand has a neutral default, so stand-ins
/// in tests implement only what they need.
class IFakeDevice
{
public:
    virtual ~IFakeDevice() = default;

    /// One broadcast command datagram from the HAL (or the master's local sync
    /// broadcast), `length` bytes at `data`, words big-endian. The manager has
    /// already checked that `length` covers every word of the command's family
    /// (BroadcastMinimumLength). Called under the manager's lock, on the
    /// broadcast receive thread or a master's sync thread; the bytes are valid
    /// only during the call.
    virtual void OnBroadcastCommand(const uint8_t* data, size_t length) = 0;

    /// One frame step driven by another device's frame clock: when connected,
    /// produce the next frame and advance the frame numbers. Called by the
    /// manager's OnSyncTick, under the manager's lock, on the master's sync thread.
    virtual void OnMasterTick() {}

    /// The frame number the device produced last. Any thread.
    virtual uint32_t GetCurrentFrameNumber() const { return 0; }

    /// The device's parameters, or null when it has none. Main thread only: the
    /// start-up connects every device through its "Connected" parameter.
    virtual IParamList* GetParamList() { return nullptr; }

    /// Stops the device's frame clock, if it runs, and waits until it has
    /// stopped. Main thread. Safe under the manager's lock: a frame clock waiting
    /// for it gives up once asked to stop.
    virtual void StopSyncThread() {}

    /// The device's fault injection, or null when it has none. Any thread; it lives as long
    /// as the device.
    virtual VDeviceFaults* GetFaultInjection() { return nullptr; }

    /// Last step before release: stops the frame clock and disconnects for good
    /// (later requests to connect are refused). Main thread; the manager's
    /// teardown calls it outside its lock, after every frame clock has stopped.
    virtual void Retire() {}
};
