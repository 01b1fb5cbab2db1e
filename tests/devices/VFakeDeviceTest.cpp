// The device base on the main thread: standard parameters, typed access through
// the mirror, connection handling and the common broadcast handling.
#include "devices/VFakeDevice.h"

#include "DeviceTestSupport.h"
#include "params/ParamAccess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

using namespace device_test;

namespace
{

enum class EType
{
    Bool,
    Int,
    Real,
    Text
};

struct VExpectedDefinition
{
    const char* m_Key;
    const char* m_DisplayName;
    const char* m_Description;
    const char* m_Group;
    EType m_Type;
    const char* m_Default; ///< text of the default; null: no default
    bool m_FlagA;
    bool m_ReadOnly;
};

const VExpectedDefinition kStandard[] = {
    {"Connected", "Connected", "Defines whether this device is connected to the network.",
     "Connection", EType::Bool, "0", false, false},
    {"LocalIP", "Local IP address", "Local IP address.", "Connection", EType::Text, nullptr, true,
     true},
    {"RemoteIP", "HAL IP address", "IP address of the HAL.", "Connection", EType::Text, nullptr,
     true, true},
    {"Port", "Base port", "Base port number of this device.", "Connection", EType::Int, nullptr,
     true, true},
    {"SystemEnabled", "Enabled", "Defines whether the system is currently enabled.", "System",
     EType::Bool, "0", false, true},
    {"SystemFrameRate", "Frame Rate", "The frame rate of the system, in Hz.", "System", EType::Real,
     "1", false, false},
    {"FrameNumber", "FrameNumber", "The currently set starting frame number.", "System", EType::Int,
     "0", true, true},
    {"DeviceType", "Type", "Device type.", "Device", EType::Text, nullptr, false, false},
    {"Enabled", "Enabled", "Defines whether this device is currently enabled.", "Device",
     EType::Bool, "0", false, true},
    {"DeviceID", "Device ID", "Device ID of this device.", "Device", EType::Int, nullptr, true,
     true},
    {"SyncMode", "Sync Mode", "Sync mode of this device.", "Device", EType::Int, "3", false, false},
    {"Preview", "Preview", "Defines whether the system is in preview mode.", "System", EType::Bool,
     "0", false, true},
    {"MinHalVersion", "Minimum HAL Version", "Minimum HAL version required.", "Device", EType::Int,
     "1", true, false},
    {"FirmwareVersion", "Firmware Version", "Firmware version installed.", "Device", EType::Int,
     "82", true, false},
};

bool HoldsType(const IParam& param, EType type)
{
    bool b;
    int32_t i;
    double d;
    std::string t;
    switch (type)
    {
    case EType::Bool:
        return GetParamValue<bool>(param, b);
    case EType::Int:
        return GetParamValue<int32_t>(param, i);
    case EType::Real:
        return GetParamValue<double>(param, d);
    case EType::Text:
        return GetParamValue<std::string>(param, t);
    }
    return false;
}

/// The options of `param` as (label, value text) pairs.
std::vector<std::pair<std::string, std::string>> OptionsOf(const IParam& param)
{
    std::vector<std::pair<std::string, std::string>> options;
    unsigned count = 0;
    param.GetOptionCount(count);
    for (unsigned i = 0; i < count; ++i)
    {
        VStringStd label;
        const IParam* value = nullptr;
        VStringStd text;
        if (param.GetOptionValue(i, label, value) && value != nullptr && value->ToString(text))
            options.emplace_back(label.CStr(), text.CStr());
    }
    return options;
}

} // namespace

TEST(FakeDeviceDefinitions, AreTheStandardParametersInOrder)
{
    VParamDefinitionList definitions("Camera", "Camera parameters", "Description", "General");
    ASSERT_TRUE(VFakeDevice::AddDeviceDefinitions(definitions));
    // Adding them twice is refused: every key exists already.
    EXPECT_FALSE(VFakeDevice::AddDeviceDefinitions(definitions));

    TDestroyPtr<IParamList> list(definitions.CreateParamList());
    ASSERT_EQ(list->GetParamCount(), std::size(kStandard));
    for (unsigned i = 0; i < std::size(kStandard); ++i)
    {
        const VExpectedDefinition& expected = kStandard[i];
        SCOPED_TRACE(expected.m_Key);
        const IParam* param = list->GetParamAt(i);
        ASSERT_NE(param, nullptr);
        EXPECT_STREQ(param->GetKey(), expected.m_Key);
        EXPECT_STREQ(param->GetDisplayName(), expected.m_DisplayName);
        EXPECT_STREQ(param->GetDescription(), expected.m_Description);
        EXPECT_STREQ(param->GetGroup(), expected.m_Group);
        EXPECT_TRUE(HoldsType(*param, expected.m_Type));
        EXPECT_EQ(param->IsFlagA(), expected.m_FlagA);
        EXPECT_EQ(param->IsReadOnly(), expected.m_ReadOnly);
        EXPECT_FALSE(param->IsFlagB());
        EXPECT_FALSE(param->IsFlagC());
        VStringStd text;
        if (expected.m_Default == nullptr)
        {
            EXPECT_FALSE(param->IsValid()) << "no default: invalid until set";
        }
        else
        {
            ASSERT_TRUE(param->ToString(text));
            EXPECT_STREQ(text.CStr(), expected.m_Default);
        }
    }

    const IParam* rate = list->GetParam("SystemFrameRate");
    EXPECT_TRUE(rate->IsOptionRange());
    EXPECT_EQ(OptionsOf(*rate),
              (std::vector<std::pair<std::string, std::string>>{{"", "0"}, {"", "10000"}}));
    const IParam* syncMode = list->GetParam("SyncMode");
    EXPECT_FALSE(syncMode->IsOptionRange());
    EXPECT_EQ(
        OptionsOf(*syncMode),
        (std::vector<std::pair<std::string, std::string>>{
            {"Free-running", "3"}, {"Master", "2"}, {"Slave", "0"}, {"Surrogate master", "1"}}));
    EXPECT_TRUE(OptionsOf(*list->GetParam("DeviceType")).empty());
}

TEST_F(DeviceFixture, AFreshDeviceShowsItsIdentityAndTheResetState)
{
    auto device = AddDevice(0xFFFFFFFEu, 2);
    auto second = AddDevice(7);

    EXPECT_EQ(SyncModeOf(*device), 3);
    EXPECT_EQ(device->GetParamOr("FrameNumber", -1), 0);
    EXPECT_EQ(device->GetParamOr("SystemFrameRate", 0.0), 50.0);
    EXPECT_FALSE(device->GetParamOr("Connected", true));
    EXPECT_FALSE(device->GetParamOr("SystemEnabled", true));
    EXPECT_FALSE(device->GetParamOr("Enabled", true));
    EXPECT_FALSE(device->GetParamOr("Preview", true));
    // Ids above 0x7FFFFFFF live in the signed parameter as their bit pattern.
    EXPECT_EQ(device->GetParamOr("DeviceID", 0u), 0xFFFFFFFEu);
    EXPECT_EQ(device->GetParamOr("DeviceID", 0), -2);
    EXPECT_EQ(device->GetParamOr("Port", 0u), 1u);
    EXPECT_EQ(second->GetParamOr("Port", 0u), 2u);
    EXPECT_EQ(second->GetParamOr("DeviceID", 0u), 7u);
    EXPECT_EQ(device->GetParamOr("LocalIP", std::string()), "10.0.1.5");
    EXPECT_EQ(device->GetParamOr("RemoteIP", std::string()), "10.0.1.1");
    EXPECT_EQ(device->GetParamOr("MinHalVersion", 0), 1);
    EXPECT_EQ(device->GetParamOr("FirmwareVersion", 0), 82);
    EXPECT_EQ(device->GetNextFrameNumber(), 0u);
    EXPECT_EQ(device->GetCurrentFrameNumber(), 0u);
    EXPECT_EQ(device->GetClassCode(), 2u);
    EXPECT_FALSE(device->IsSyncThreadRunning());

    // The mirror holds every parameter; an invalid one as an empty text, which
    // no getter converts.
    EXPECT_EQ(device->GetPropertySet().GetCount(), std::size(kStandard));
    std::string type = "untouched";
    EXPECT_TRUE(device->GetParam("DeviceType", type));
    EXPECT_EQ(type, "");
    int32_t number = 5;
    EXPECT_FALSE(device->GetParam("DeviceType", number));
    EXPECT_FALSE(device->GetParam("NoSuchKey", number));
    EXPECT_EQ(number, 5);
    // No connection yet: nothing was asked of the services.
    EXPECT_TRUE(m_Services->ShellPorts().empty());
}

TEST_F(DeviceFixture, SettersRunAtOnceOnTheMainThreadAndInOrderFromOthers)
{
    auto device = AddDevice(3);
    IParamList& params = *device->GetParamList();

    // Unsigned values reach the signed integer parameters as their bit pattern.
    device->SetParam("DeviceID", 0x80000001u);
    EXPECT_EQ(GetParamValueOr<int32_t>(params, "DeviceID", 0), static_cast<int32_t>(0x80000001u));
    EXPECT_EQ(device->GetParamOr("DeviceID", 0u), 0x80000001u);
    device->SetParam("FrameNumber", 4000000000u);
    EXPECT_EQ(device->GetParamOr("FrameNumber", 0u), 4000000000u);
    EXPECT_EQ(device->GetNextFrameNumber(), 4000000000u) << "the observer saw the change";
    // Read-only does not stop the device's own setters.
    device->SetParam("Enabled", true);
    EXPECT_TRUE(device->GetParamOr("Enabled", false));
    device->SetParam("DeviceType", "Vantrel");
    EXPECT_EQ(device->GetParamOr("DeviceType", std::string()), "Vantrel");
    // A real keeps six significant digits in the mirror.
    device->SetParam("SystemFrameRate", 123.456789);
    EXPECT_EQ(device->GetParamOr("SystemFrameRate", 0.0), 123.457);
    // Unknown keys and other types change nothing.
    device->SetParam("NoSuchKey", true);
    device->SetParam("SyncMode", true);
    device->SetParam("SyncMode", 2.0);
    EXPECT_EQ(SyncModeOf(*device), 3);

    // From another thread the changes wait for the event loop and keep their order.
    std::thread worker(
        [&]
        {
            device->SetParam("SyncMode", int32_t{0});
            device->SetParam("SyncMode", int32_t{1});
            device->SetParam("Preview", true);
        });
    worker.join();
    EXPECT_EQ(SyncModeOf(*device), 3) << "posted changes must not run before the loop turns";
    ASSERT_TRUE(testsupport::PumpUntil([&] { return device->GetParamOr("Preview", false); }))
        << "the posted changes never ran";
    EXPECT_EQ(SyncModeOf(*device), 1);
}

TEST_F(DeviceFixture, ConnectingTwiceConnectsOnceAndReconnectingStartsAfresh)
{
    auto other = AddDevice(1);
    auto device = AddDevice(0x02000002u, 2);
    device->SetParam("FrameNumber", 77u);
    device->SetParam("SyncMode", int32_t{0});

    testing::internal::CaptureStdout();
    EXPECT_TRUE(Connect(*device));
    EXPECT_TRUE(Connect(*device));
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "33554434: Set up telnet listener at "), 1u) << output;
    EXPECT_EQ(device->m_Connects, 1);
    EXPECT_EQ(m_Services->m_ShellsAlive, 1);
    EXPECT_EQ(m_Services->m_SendersAlive, 1);
    ASSERT_EQ(m_Services->ShellPorts().size(), 1u);
    EXPECT_EQ(m_Services->ShellPorts()[0], (std::pair<uint32_t, uint16_t>{0x02000002u, 9002}));
    ASSERT_EQ(m_Services->Senders().size(), 1u);
    const VAwakeSenderIdentity sender = m_Services->Senders()[0];
    EXPECT_EQ(sender.m_LocalAddress, htonl(kLocalAddress));
    EXPECT_EQ(sender.m_HalAddress, htonl(kHalAddress));
    EXPECT_EQ(sender.m_DeviceId, 0x02000002u);
    EXPECT_EQ(sender.m_Position, 2u);
    EXPECT_EQ(sender.m_ClassCode, 2u);
    EXPECT_EQ(sender.m_Flags, 0u);
    // Connecting resets the state.
    EXPECT_EQ(device->GetParamOr("FrameNumber", -1), 0);
    EXPECT_EQ(SyncModeOf(*device), 3);
    EXPECT_EQ(device->GetNextFrameNumber(), 0u);

    // While connected the identity is read-only for checked sets; afterwards not.
    IParamList& params = *device->GetParamList();
    EXPECT_FALSE(SetParamValue<int32_t>(params, "DeviceID", 99, true));
    EXPECT_FALSE(SetParamValue<int32_t>(params, "FirmwareVersion", 99, true));
    EXPECT_TRUE(SetParamValue<int32_t>(*other->GetParamList(), "FirmwareVersion", 99, true))
        << "the unconnected device's identity is writable";
    EXPECT_TRUE(Connect(*device, false));
    EXPECT_EQ(device->m_Disconnects, 1);
    EXPECT_EQ(m_Services->m_ShellsAlive, 0);
    EXPECT_EQ(m_Services->m_SendersAlive, 0);
    EXPECT_TRUE(SetParamValue<int32_t>(params, "DeviceID", 99, true));
    EXPECT_TRUE(SetParamValue<int32_t>(params, "FirmwareVersion", 99, true));
    EXPECT_EQ(device->GetParamOr("DeviceID", 0), 99);

    // A new connection makes a new shell and prints the line again.
    testing::internal::CaptureStdout();
    EXPECT_TRUE(Connect(*device));
    output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "Set up telnet listener at "), 1u) << output;
    EXPECT_EQ(m_Services->ShellPorts().size(), 2u);
    EXPECT_EQ(m_Services->m_ShellsAlive, 1);
    EXPECT_EQ(device->m_Connects, 2);
}

TEST_F(DeviceFixture, MasterSetsEveryConnectedDevicesSyncModeAndRate)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto cameraA = AddDevice(1);
    auto cameraB = AddDevice(2);
    auto offline = AddDevice(3);
    for (const auto& device : {unit, cameraA, cameraB})
        ASSERT_TRUE(Connect(*device));

    // The surrogate flag set: the addressed device becomes surrogate master.
    testing::internal::CaptureStdout();
    Dispatch({0x00030005, 0x02000001, 1, 100, 500, 0});
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Received broadcast command: 00030005 (BROADCAST_CMD_MASTER, device = 33554433)\n");
    EXPECT_EQ(SyncModeOf(*unit), 1);
    EXPECT_EQ(SyncModeOf(*cameraA), 0);
    EXPECT_EQ(SyncModeOf(*cameraB), 0);
    for (const auto& device : {unit, cameraA, cameraB})
    {
        EXPECT_EQ(device->GetParamOr("SystemFrameRate", 0.0), 100.5);
        EXPECT_TRUE(device->IsSyncPending());
    }
    EXPECT_FALSE(unit->IsSyncThreadRunning()) << "a surrogate master runs no frame clock";
    // Sync status goes out for every mode, the position unless free-running.
    EXPECT_EQ(cameraA->m_LastSyncStatusMode, 0);
    EXPECT_GE(cameraA->m_PositionsSent, 1);

    // Without the flag: master, with a frame clock.
    Dispatch({0x00030005, 0x02000001, 0, 100, 0, 0});
    EXPECT_EQ(SyncModeOf(*unit), 2);
    EXPECT_TRUE(unit->IsSyncThreadRunning());
    EXPECT_FALSE(cameraA->IsSyncThreadRunning());
    EXPECT_EQ(cameraA->GetParamOr("SystemFrameRate", 0.0), 100.0);

    // Nobody: free-running everywhere, the clock stops.
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 50, 0, 0});
    for (const auto& device : {unit, cameraA, cameraB})
        EXPECT_EQ(SyncModeOf(*device), 3);
    EXPECT_FALSE(unit->IsSyncThreadRunning());

    // The device that never connected saw none of it.
    EXPECT_EQ(SyncModeOf(*offline), 3);
    EXPECT_EQ(offline->GetParamOr("SystemFrameRate", 0.0), 50.0);
    EXPECT_FALSE(offline->IsSyncPending());
}

TEST_F(DeviceFixture, TheOtherCommonCommandsChangeConnectedDevicesOnly)
{
    auto device = AddDevice(5);
    auto offline = AddDevice(6);
    ASSERT_TRUE(Connect(*device));
    offline->SetParam("SystemEnabled", true);

    // DATA_DISABLE: bit 0 disables the system.
    Dispatch({0x00080001, 0});
    EXPECT_TRUE(device->GetParamOr("SystemEnabled", false));
    Dispatch({0x00080001, 1});
    EXPECT_FALSE(device->GetParamOr("SystemEnabled", true));
    EXPECT_TRUE(offline->GetParamOr("SystemEnabled", false));

    // PREVIEW: word 2 bit 0, whatever device word 1 names; the class gets it too.
    const std::vector<uint8_t> previewOn = Datagram({0x00050002, 12345, 1});
    const std::vector<uint8_t> previewOff = Datagram({0x00050002, 5, 2});
    m_Manager->OnBroadcastCommand(previewOn.data(), previewOn.size());
    EXPECT_TRUE(device->GetParamOr("Preview", false));
    m_Manager->OnBroadcastCommand(previewOff.data(), previewOff.size());
    EXPECT_FALSE(device->GetParamOr("Preview", true));

    // SYNC and FRAME_NUMBER set the next frame; a non-master keeps the mark as it was.
    Dispatch({0x00010001, 1234});
    EXPECT_EQ(device->GetNextFrameNumber(), 1234u);
    EXPECT_FALSE(device->IsSyncPending());
    Dispatch({0x00070001, 0xFFFFFFF0});
    EXPECT_EQ(device->GetNextFrameNumber(), 0xFFFFFFF0u);
    EXPECT_FALSE(device->IsSyncPending()) << "only a master marks a sync for FRAME_NUMBER";
    EXPECT_EQ(offline->GetNextFrameNumber(), 0u);

    // Every other family goes to the class as received, also a known family's
    // neighbour code.
    const std::vector<uint8_t> awake = Datagram({0x00040006, 0, 5});
    const std::vector<uint8_t> odd = Datagram({0x000C0001, 9});
    m_Manager->OnBroadcastCommand(awake.data(), awake.size());
    m_Manager->OnBroadcastCommand(odd.data(), odd.size());
    EXPECT_EQ(device->ClassCommands(),
              (std::vector<std::vector<uint8_t>>{previewOn, previewOff, awake, odd}));
    EXPECT_TRUE(offline->ClassCommands().empty());

    // A disconnected device ignores everything, RESET included.
    testing::internal::CaptureStdout();
    Dispatch({0x00020001, 0xFFFFFFFF});
    Dispatch({0x00030005, 6, 0, 100, 0, 0});
    Dispatch({0x00070001, 42});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "6: First connect"), 0u) << output;
    EXPECT_FALSE(offline->GetParamOr("Connected", true));
    EXPECT_EQ(SyncModeOf(*offline), 3);
    EXPECT_EQ(offline->GetNextFrameNumber(), 0u);
    EXPECT_EQ(offline->m_Connects, 0);
}

TEST_F(DeviceFixture, ResetReconnectsOnlyTheAddressedDevice)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto cameraA = AddDevice(1);
    auto cameraB = AddDevice(2);
    for (const auto& device : {unit, cameraA, cameraB})
        ASSERT_TRUE(Connect(*device));
    cameraA->SetParam("SyncMode", int32_t{0});

    testing::internal::CaptureStdout();
    Dispatch({0x00020001, 1});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "First connect at "), 1u) << output;
    EXPECT_EQ(CountLinesContaining(output, "1: First connect at "), 1u) << output;
    EXPECT_EQ(CountLinesContaining(output, "1: Set up telnet listener at "), 1u) << output;
    // Tear-down before set-up, for the addressed device only.
    EXPECT_EQ(cameraA->m_Disconnects, 1);
    EXPECT_EQ(cameraA->m_Connects, 2);
    EXPECT_EQ(m_Services->ShellsMadeFor(1), 2u);
    EXPECT_EQ(SyncModeOf(*cameraA), 3) << "reconnecting resets the state";
    EXPECT_TRUE(cameraA->GetParamOr("Connected", false));
    for (const auto& device : {unit, cameraB})
    {
        EXPECT_EQ(device->m_Disconnects, 0);
        EXPECT_EQ(device->m_Connects, 1);
    }
    EXPECT_EQ(m_Services->m_ShellsAlive, 3);

    // 0xFFFFFFFF reaches everybody.
    testing::internal::CaptureStdout();
    Dispatch({0x00020001, 0xFFFFFFFF});
    EXPECT_EQ(CountLinesContaining(testing::internal::GetCapturedStdout(), "First connect at "),
              3u);
    EXPECT_EQ(unit->m_Connects, 2);
    EXPECT_EQ(m_Services->m_ShellsAlive, 3);
}

TEST_F(DeviceFixture, BroadcastsFromAnotherThreadChangeParametersOnTheMainThread)
{
    auto device = AddDevice(0x02000001u, 2);
    ASSERT_TRUE(Connect(*device));
    const std::vector<uint8_t> reset = Datagram({0x00020001, 0x02000001});
    const std::vector<uint8_t> master = Datagram({0x00030005, 0x02000001, 1, 25, 0, 0});
    testing::internal::CaptureStdout();
    std::thread receiver(
        [&]
        {
            m_Manager->OnBroadcastCommand(reset.data(), reset.size());
            m_Manager->OnBroadcastCommand(master.data(), master.size());
        });
    receiver.join();
    // Nothing ran yet: the changes wait for the main thread.
    EXPECT_EQ(device->m_Disconnects, 0);
    EXPECT_EQ(SyncModeOf(*device), 3);
    const bool done = testsupport::PumpUntil([&] { return SyncModeOf(*device) == 1; });
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(done) << "the posted changes never ran";
    EXPECT_EQ(device->m_Disconnects, 1);
    EXPECT_EQ(device->m_Connects, 2);
    EXPECT_EQ(device->GetParamOr("SystemFrameRate", 0.0), 25.0);
    EXPECT_EQ(CountLinesContaining(output, "33554433: First connect at "), 1u) << output;
}

TEST_F(DeviceFixture, RetiredDevicesStayDisconnected)
{
    auto device = AddDevice(4);
    ASSERT_TRUE(Connect(*device));
    // A RESET received just before teardown leaves two changes posted.
    const std::vector<uint8_t> reset = Datagram({0x00020001, 4});
    std::thread receiver([&] { m_Manager->OnBroadcastCommand(reset.data(), reset.size()); });
    receiver.join();
    device->Retire();
    EXPECT_EQ(device->m_Disconnects, 1);
    EXPECT_EQ(m_Services->m_ShellsAlive, 0);
    testsupport::PumpFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(device->GetParamOr("Connected", true));
    EXPECT_EQ(device->m_Connects, 1);
    EXPECT_FALSE(Connect(*device)) << "the guard refuses to connect a retired device";
    EXPECT_EQ(m_Services->m_ShellsAlive, 0);
}

TEST_F(DeviceFixture, ChangesPostedForADestroyedDeviceDoNothing)
{
    VParamDefinitionList definitions("Control", "Control parameters", "Description", "General");
    ASSERT_TRUE(VFakeDevice::AddDeviceDefinitions(definitions));
    std::weak_ptr<VTestDevice> gone;
    {
        auto device =
            VFakeDevice::Create<VTestDevice>(*m_Manager, 9, 1, definitions.CreateParamList());
        gone = device;
        std::thread worker(
            [&]
            {
                device->SetParam("SyncMode", int32_t{2});
                device->RequestFrameNumber(5);
            });
        worker.join();
    }
    EXPECT_TRUE(gone.expired());
    // The posted changes run now and must find nothing to change.
    testsupport::PumpFor(std::chrono::milliseconds(50));
}
