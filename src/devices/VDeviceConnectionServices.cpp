#include "devices/VDeviceConnectionServices.h"

#include "devices/VDeviceTelnetConnection.h"
#include "devices/VFakeDevice.h"

#include <utility>

namespace
{
/// Owns one connection part of a device; destroying it destroys the part.
template <class TPart> class TOwnedPart : public IDeviceConnectionPart
{
public:
    explicit TOwnedPart(std::unique_ptr<TPart> part) : m_Part(std::move(part)) {}

private:
    std::unique_ptr<TPart> m_Part;
};

template <class TPart> std::unique_ptr<IDeviceConnectionPart> Own(std::unique_ptr<TPart> part)
{
    return std::make_unique<TOwnedPart<TPart>>(std::move(part));
}
} // namespace

VDeviceConnectionServices::VDeviceConnectionServices(uint16_t awakePort, VPeriodicCallback* timer)
    : m_AwakePort(awakePort), m_Timer(timer)
{
}

std::unique_ptr<IDeviceConnectionPart> VDeviceConnectionServices::CreateShell(VFakeDevice& device,
                                                                              uint16_t port)
{
    return Own(std::make_unique<VDeviceTelnetConnection>(device, port, device.GetLocalAddress()));
}

std::unique_ptr<IDeviceConnectionPart>
VDeviceConnectionServices::CreateAwakeSender(const VAwakeSenderIdentity& identity)
{
    return Own(std::make_unique<VAwakeAndAliveServer>(
        identity.m_LocalAddress, identity.m_HalAddress, identity.m_DeviceId, identity.m_Position,
        identity.m_ClassCode, identity.m_Flags, m_AwakePort, m_Timer, identity.m_Faults));
}
