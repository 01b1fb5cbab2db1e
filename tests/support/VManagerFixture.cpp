#include "support/VManagerFixture.h"

#include "devices/VDeviceClassDefinitions.h"
#include "devices/VFakeDevice.h"
#include "params/ParamAccess.h"

#include <arpa/inet.h>

#include <string>

namespace testsupport
{

namespace
{
constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order
} // namespace

VManagerFixture::VManagerFixture(std::initializer_list<VDeviceClassDefinitions*> classes)
    : m_Classes(classes)
{
}

void VManagerFixture::SetUp()
{
    for (VDeviceClassDefinitions* definitions : m_Classes)
        ASSERT_NE(definitions->Register(), nullptr);
    ASSERT_TRUE(m_Temp.IsValid());
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    m_Manager =
        std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback), htonl(kLoopback), options);
}

void VManagerFixture::TearDown()
{
    m_Manager.reset();
    for (VDeviceClassDefinitions* definitions : m_Classes)
        definitions->Release();
}

void VManagerFixture::StartStreaming(VFakeDevice& device, std::uint32_t port)
{
    ASSERT_TRUE(SetParamValue<bool>(*device.GetParamList(), "Connected", true, true));
    device.SetParam("SystemEnabled", true);
    std::string reply;
    device.ProcessCommand("datadisable false", reply);
    device.ProcessCommand("portset " + std::to_string(port), reply);
}

void VManagerFixture::Tick(VFakeDevice& device, std::uint32_t frame)
{
    device.SetNextFrameNumber(frame, false);
    device.OnMasterTick();
}

} // namespace testsupport
