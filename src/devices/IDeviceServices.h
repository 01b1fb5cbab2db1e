// The parts a device owns only while it is connected and does not build itself:
// its command shell and its awake-and-alive sender, made by a factory that the
// device manager hands out.
#pragma once

#include <cstdint>
#include <memory>

class VDeviceFaults;
class VFakeDevice;

/// Something a connected device owns and destroys when it disconnects (its
/// command shell, its awake-and-alive sender). Destroying it must stop every
/// thread it runs and wait for them, so that none of them calls into the device
/// afterwards. Created and destroyed on the main thread.
class IDeviceConnectionPart
{
public:
    virtual ~IDeviceConnectionPart() = default;
};

/// What the awake-and-alive sender announces: the construction arguments of the
/// sender, in the order it takes them. Addresses in network byte order.
struct VAwakeSenderIdentity
{
    uint32_t m_LocalAddress = 0;
    uint32_t m_HalAddress = 0;
    uint32_t m_DeviceId = 0;
    uint32_t m_Position = 0;
    uint32_t m_ClassCode = 0;
    uint32_t m_Flags = 0; ///< the device base passes 0
    /// The device's fault injection, asked before each ALIVE (null: none). Outlives the sender.
    VDeviceFaults* m_Faults = nullptr;
};

/// Builds the connection parts of a device. The device manager holds one (or
/// none: then connected devices run without shell and sender) and every device
/// asks it when it connects.
///
/// Threading: both operations run on the main thread, inside the device's
/// connection handling (an observer of "Connected"); the device holds no lock of
/// its own during the call. The device outlives what it receives.
class IDeviceServices
{
public:
    virtual ~IDeviceServices() = default;

    /// The command shell of `device`, listening on TCP `port` (9000 plus the
    /// device's position, cut to 16 bits). Null when none can be made; the device
    /// then runs without a shell.
    virtual std::unique_ptr<IDeviceConnectionPart> CreateShell(VFakeDevice& device,
                                                               uint16_t port) = 0;

    /// The awake-and-alive sender of a device with this identity, or null.
    virtual std::unique_ptr<IDeviceConnectionPart>
    CreateAwakeSender(const VAwakeSenderIdentity& identity) = 0;
};
