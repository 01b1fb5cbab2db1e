// What the device manager needs of a simulated device: the hand-over of
// broadcast commands. The device base implements it.
#pragma once

#include <cstddef>
#include <cstdint>

/// One simulated device as the manager sees it. Devices are owned by the
/// manager through shared handles and created and destroyed on the main thread.
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
};
