// The start-up's last step: every device gets "Connected" = true, checked.
#include "app/TsmMain.h"

#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"
#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

namespace
{

class VConnectCountingDevice final : public VFakeDevice
{
public:
    VConnectCountingDevice(VFakeDeviceManager& manager, uint32_t id, uint32_t position,
                           IParamList* params)
        : VFakeDevice(manager, id, position, 0, 0, params, 0)
    {
    }
    void GetDescription(IString& out) const override { out.Assign("device"); }

    int m_Connects = 0;

protected:
    void OnConnected() override { ++m_Connects; }
    void OnDisconnected() override {}
    void OnClassBroadcastCommand(const uint8_t*, size_t) override {}
    void OnTelnetCommand(const std::string&, std::string&) override {}
    void SetDataPort(uint32_t) override {}
    void OnFrame(uint32_t, uint32_t) override {}
};

} // namespace

TEST(ConnectEveryDevice, ConnectsEachDeviceOnceInListOrder)
{
    VParamDefinitionList definitions("Control", "Control parameters", "Description", "General");
    ASSERT_TRUE(VFakeDevice::AddDeviceDefinitions(definitions));
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    VFakeDeviceManager manager(nullptr, 0, 0, options);
    EXPECT_EQ(ConnectEveryDevice(manager), 0u) << "no devices, nothing to do";

    auto first =
        VFakeDevice::Create<VConnectCountingDevice>(manager, 5, 1, definitions.CreateParamList());
    auto second =
        VFakeDevice::Create<VConnectCountingDevice>(manager, 6, 2, definitions.CreateParamList());
    manager.AddDevice(first);
    manager.AddDevice(second);
    // A retired device refuses to connect: counted out, the others go on.
    auto retired =
        VFakeDevice::Create<VConnectCountingDevice>(manager, 7, 3, definitions.CreateParamList());
    retired->Retire();
    manager.AddDevice(retired);

    testing::internal::CaptureStdout();
    EXPECT_EQ(ConnectEveryDevice(manager), 2u);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output.find("5: Set up telnet listener at "), 0u) << output;
    EXPECT_NE(output.find("\n6: Set up telnet listener at "), std::string::npos) << output;
    EXPECT_EQ(first->m_Connects, 1);
    EXPECT_EQ(second->m_Connects, 1);
    EXPECT_EQ(retired->m_Connects, 0);
    EXPECT_TRUE(first->GetParamOr("Connected", false));
    EXPECT_FALSE(retired->GetParamOr("Connected", true));
}
