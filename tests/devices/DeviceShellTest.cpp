// The device base behind its shell, with the test acting as the host on loopback: the
// greeting, the generic command words and their console lines, hand-over to the device class,
// "notify" and the status datagrams, and the shell and awake-and-alive sender that come and
// go with the connection. Binds the shell port 9001.
#include "devices/DeviceStatusDatagram.h"
#include "devices/VAwakeAndAliveServer.h"
#include "devices/VDeviceConnectionServices.h"
#include "devices/VDeviceTelnetConnection.h"
#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"

#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "params/IString.h"
#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"
#include "support/EventLoopPump.h"
#include "support/MillisecondsOf.h"
#include "support/VLoopbackClient.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <mutex>

using namespace testsupport;

namespace
{

const uint32_t Loopback = htonl(INADDR_LOOPBACK);
constexpr uint32_t DeviceId = 0x02000001;
constexpr uint32_t Position = 1;
constexpr uint16_t ShellPort = 9001;

/// A device class that records what the base hands to it. "ping" is its own command.
class VShellTestDevice : public VFakeDevice
{
public:
    VShellTestDevice(VFakeDeviceManager& manager, IParamList* params)
        : VFakeDevice(manager, DeviceId, Position, Loopback, Loopback, params, 2)
    {
    }

    void GetDescription(IString& out) const override { out.Assign("Shell test device"); }

    std::vector<uint32_t> DataPorts()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_DataPorts;
    }
    std::vector<std::string> ClassLines()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_ClassLines;
    }
    std::atomic<int> m_TargetChanges{0};

protected:
    void OnConnected() override {}
    void OnDisconnected() override {}
    void OnClassBroadcastCommand(const uint8_t*, size_t) override {}
    void OnTelnetCommand(const std::string& line, std::string& reply) override
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_ClassLines.push_back(line);
        if (line == "ping")
            reply += "pong";
    }
    void SetDataPort(uint32_t port) override
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_DataPorts.push_back(port);
    }
    void OnFrame(uint32_t, uint32_t) override {}
    void OnDataTargetChanged() override { ++m_TargetChanges; }

private:
    std::mutex m_Lock; // guards m_DataPorts, m_ClassLines
    std::vector<uint32_t> m_DataPorts;
    std::vector<std::string> m_ClassLines;
};

class DeviceShellTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(VFakeDevice::AddDeviceDefinitions(m_Definitions));
        ASSERT_TRUE(m_AwakeHost.IsOpen());
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        options.m_DeviceServices =
            std::make_shared<VDeviceConnectionServices>(m_AwakeHost.GetPort());
        m_Manager = std::make_unique<VFakeDeviceManager>(&m_Events, Loopback, Loopback, options);
        m_Device =
            VFakeDevice::Create<VShellTestDevice>(*m_Manager, m_Definitions.CreateParamList());
        m_Manager->AddDevice(m_Device);
    }
    void TearDown() override
    {
        m_Device.reset();
        m_Manager.reset();
    }

    bool SetConnected(bool connected)
    {
        return SetParamValue<bool>(*m_Device->GetParamList(), "Connected", connected, true);
    }

    /// Connects the device and a host to its shell; the host has read the greeting.
    void ConnectWithHost(VLoopbackClient& host)
    {
        ASSERT_TRUE(SetConnected(true));
        ASSERT_TRUE(host.Connect(ShellPort)) << "the shell does not listen on " << ShellPort;
        ASSERT_EQ(host.ReadAnswer(), kShellGreeting);
    }

    /// Sends `line`, expects `answer` and turns the event loop until `done` holds.
    template <class Done>
    void Command(VLoopbackClient& host, const std::string& line, const std::string& answer,
                 Done done)
    {
        ASSERT_TRUE(host.Send(line + "\n"));
        EXPECT_EQ(host.ReadAnswer(), answer) << line;
        EXPECT_TRUE(PumpUntil(done, std::chrono::seconds(5))) << line;
    }

    int32_t SyncMode() const { return m_Device->GetParamOr("SyncMode", int32_t{-1}); }
    bool Enabled() const { return m_Device->GetParamOr("Enabled", false); }

    VUdpReceiver m_AwakeHost;
    VEventManagerQt m_Events;
    VParamDefinitionList m_Definitions{"Control", "Control parameters", "Description", "General"};
    std::unique_ptr<VFakeDeviceManager> m_Manager;
    std::shared_ptr<VShellTestDevice> m_Device;
};

} // namespace

TEST_F(DeviceShellTest, GreetsAndRunsSetFrameAndDataDisable)
{
    testing::internal::CaptureStdout();
    VLoopbackClient host;
    ConnectWithHost(host);
    EXPECT_EQ(std::string(kShellGreeting).size(), 23u);

    // Two blanks, the command, a carriage return: trimmed, and answered with the prompt alone.
    ASSERT_TRUE(host.Send("  setframe 100\r\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    EXPECT_TRUE(PumpUntil([&] { return m_Device->GetParamOr("FrameNumber", 0) == 100; }));
    EXPECT_EQ(m_Device->GetNextFrameNumber(), 100u);
    EXPECT_TRUE(m_Device->IsSyncPending()) << "setframe must mark a sync broadcast due";
    // No word boundary is needed after the word; a number that does not read does nothing.
    Command(host, "setframe12", kShellPrompt, [&] { return m_Device->GetNextFrameNumber() == 12; });
    for (const char* bad : {"setframe x", "setframe", "setframe -3", "setframe 4294967296"})
    {
        ASSERT_TRUE(host.Send(std::string(bad) + "\n"));
        EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    }
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(m_Device->GetParamOr("FrameNumber", 0), 12);

    // "datadisable": exactly "false" (trimmed) enables, anything else disables.
    const std::pair<const char*, bool> cases[] = {
        {"datadisable false", true}, {"datadisable False", false}, {"datadisable  false \t", true},
        {"datadisable", false},      {"datadisablefalse", true},   {"datadisable true", false}};
    for (const auto& [line, enabled] : cases)
        Command(host, line, kShellPrompt, [&, enabled = enabled] { return Enabled() == enabled; });

    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find("33554433: Telnet reply sent at "), std::string::npos) << console;
    EXPECT_NE(console.find("33554433: Command: setframe 100\n"), std::string::npos) << console;
    EXPECT_EQ(console.find("Reply"), std::string::npos) << "the generic words reply nothing";
}

TEST_F(DeviceShellTest, SyncModeWordsAndHandOverToTheDeviceClass)
{
    VLoopbackClient host;
    ConnectWithHost(host);
    Command(host, "syncmode master", kShellPrompt, [&] { return SyncMode() == 2; });
    EXPECT_TRUE(m_Device->IsSyncThreadRunning());
    Command(host, "syncmode freerun", kShellPrompt, [&] { return SyncMode() == 3; });
    Command(host, "syncmode -g master", kShellPrompt, [&] { return SyncMode() == 2; });
    Command(host, "syncmode slave", kShellPrompt, [&] { return SyncMode() == 0; });
    EXPECT_FALSE(m_Device->IsSyncThreadRunning());
    for (const char* unknown : {"syncmode bogus", "syncmode -g", "syncmode", "syncmode Master"})
    {
        ASSERT_TRUE(host.Send(std::string(unknown) + "\n"));
        EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    }
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(SyncMode(), 0) << "an unknown mode word changed the sync mode";

    // "portset" takes a number, also glued to the word; anything else skips the action.
    for (const char* line : {"portset 5000", "portset abc", "portset -1", "portset",
                             "portset 99999999999", "portset5001", "portset  +7 trailing"})
    {
        ASSERT_TRUE(host.Send(std::string(line) + "\n"));
        EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    }
    EXPECT_EQ(m_Device->DataPorts(), (std::vector<uint32_t>{5000, 5001, 7}));

    // Every other line goes to the device class unchanged, its reply in front of the prompt.
    testing::internal::CaptureStdout();
    ASSERT_TRUE(host.Send("ping\nPortset 1\n\n"));
    EXPECT_EQ(host.ReadAnswer(), std::string("pong") + kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(m_Device->ClassLines(), (std::vector<std::string>{"ping", "Portset 1", ""}));
    EXPECT_NE(console.find("33554433: Command: ping\n33554433:  Reply: pong\n"), std::string::npos)
        << console;
}

TEST_F(DeviceShellTest, NotifySendsStatusDatagramsWithTheHostTagToTheNotifiedPort)
{
    VUdpReceiver hal;
    ASSERT_TRUE(hal.IsOpen());
    VLoopbackClient host;
    ConnectWithHost(host);

    // Free-running: the sync status alone, tag 70000 modulo 65536.
    const std::string notify = "notify host " + std::to_string(hal.GetPort()) + " tag 70000";
    ASSERT_TRUE(host.Send(notify + "\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    auto status = hal.Receive();
    ASSERT_TRUE(status.has_value()) << "no sync status after notify";
    ASSERT_EQ(status->size(), 24u);
    EXPECT_EQ(U16(*status, 0), DeviceStatus::TypeSyncStatus);
    EXPECT_EQ(U16(*status, 2), 24);
    EXPECT_EQ(U16(*status, 4), 1);
    EXPECT_EQ(U16(*status, 6), 4464);
    EXPECT_EQ(U32(*status, 8), DeviceId);
    EXPECT_EQ(U32(*status, 12), 0u);
    EXPECT_FALSE(hal.Receive(std::chrono::milliseconds(200)).has_value())
        << "a position datagram while free-running";
    EXPECT_EQ(m_Device->m_TargetChanges.load(), 1);

    // Becoming master sends both datagrams now that the data target is known.
    Command(host, "syncmode master", kShellPrompt, [&] { return SyncMode() == 2; });
    status = hal.Receive();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(U16(*status, 0), DeviceStatus::TypeSyncStatus);
    EXPECT_EQ(U32(*status, 12), 3u);
    auto position = hal.Receive();
    ASSERT_TRUE(position.has_value()) << "no position datagram for a master";
    ASSERT_EQ(position->size(), 24u);
    EXPECT_EQ(U16(*position, 0), DeviceStatus::TypePosition);
    EXPECT_EQ(U16(*position, 6), 4464);
    EXPECT_EQ(U16(*position, 12), 1); // position 1: slot 1, group 0
    EXPECT_EQ(U16(*position, 14), 0);

    // A second notify to a new port, while master: sync status and position, new tag.
    VUdpReceiver other;
    ASSERT_TRUE(host.Send("notify x " + std::to_string(other.GetPort()) + " y 5\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    status = other.Receive();
    position = other.Receive();
    ASSERT_TRUE(status && position);
    EXPECT_EQ(U16(*status, 6), 5);
    EXPECT_EQ(U16(*position, 0), DeviceStatus::TypePosition);
    EXPECT_EQ(m_Device->m_TargetChanges.load(), 2);

    // Fields that do not read: nothing re-targeted, nothing sent; a port beyond UDP's
    // range says so on the console.
    testing::internal::CaptureStdout();
    for (const char* bad : {"notify", "notify host", "notify host abc tag 1", "notify host 1 tag",
                            "notify host 70000 tag 1", "notify host -4 tag 1"})
    {
        ASSERT_TRUE(host.Send(std::string(bad) + "\n"));
        EXPECT_EQ(host.ReadAnswer(), kShellPrompt) << bad;
    }
    const std::string console = testing::internal::GetCapturedStdout();
    EXPECT_NE(console.find(std::to_string(DeviceId) +
                           ": \"notify\" port 70000 is not a UDP port (0 to 65535): ignored\n"),
              std::string::npos)
        << console;
    EXPECT_FALSE(other.Receive(std::chrono::milliseconds(200)).has_value());
    EXPECT_EQ(m_Device->m_TargetChanges.load(), 2);

    // SendStatus sends each datagram's own length, with tag and id filled in.
    for (const uint16_t length : {28, 32})
    {
        uint8_t packet[32] = {};
        DeviceStatus::EncodeHeader(packet, DeviceStatus::TypeInputStatus, length);
        packet[length - 1] = 0xAB;
        EXPECT_TRUE(m_Device->SendStatus(packet, sizeof packet));
        const auto sent = other.Receive();
        ASSERT_TRUE(sent.has_value());
        ASSERT_EQ(sent->size(), length);
        EXPECT_EQ(U16(*sent, 6), 5);
        EXPECT_EQ(U32(*sent, 8), DeviceId);
        EXPECT_EQ(sent->back(), 0xAB);
    }
    uint8_t tooLong[32] = {};
    DeviceStatus::EncodeHeader(tooLong, DeviceStatus::TypeTimecodeStatus, 40);
    EXPECT_FALSE(m_Device->SendStatus(tooLong, sizeof tooLong));
}

TEST_F(DeviceShellTest, HostsComeAndGoAndADisconnectedDeviceIgnoresItsShell)
{
    VLoopbackClient first;
    ConnectWithHost(first);
    // A second host takes over; the first sees an orderly close.
    VLoopbackClient second;
    ASSERT_TRUE(second.Connect(ShellPort));
    EXPECT_EQ(second.ReadAnswer(), kShellGreeting);
    EXPECT_EQ(first.WaitForEnd(), End::Orderly);

    // A host that leaves in mid-line gets no answer and the line is not run.
    ASSERT_TRUE(second.Send("setframe 55"));
    second.ShutdownSending();
    EXPECT_EQ(second.WaitForEnd(), End::Orderly);
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_NE(m_Device->GetParamOr("FrameNumber", 0), 55);

    // A shell of a device that is not connected answers the prompt and does nothing.
    ASSERT_TRUE(SetConnected(false));
    testing::internal::CaptureStdout();
    VDeviceTelnetConnection shell(*m_Device, 0);
    VLoopbackClient host;
    ASSERT_TRUE(host.Connect(shell.GetListeningPort()));
    EXPECT_EQ(host.ReadAnswer(), kShellGreeting);
    ASSERT_TRUE(host.Send("setframe 7\nping\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    PumpFor(std::chrono::milliseconds(100));
    EXPECT_EQ(m_Device->GetParamOr("FrameNumber", -1), 0);
    EXPECT_TRUE(m_Device->ClassLines().empty());
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("Command"), std::string::npos);
}

TEST_F(DeviceShellTest, ConnectingMakesShellAndSenderAndDisconnectingEndsThemPromptly)
{
    for (int connection = 0; connection < 2; ++connection)
    {
        m_AwakeHost.Drain();
        VLoopbackClient host;
        ConnectWithHost(host);
        // AWAKE then ALIVE with sequence 0, for this device and its class code.
        const auto awake = m_AwakeHost.Receive();
        ASSERT_TRUE(awake.has_value()) << "no AWAKE after connecting";
        ASSERT_EQ(awake->size(), AwakeDatagram::Size);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetClassCode), 2u);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetPlace), 0x01000008u);
        EXPECT_EQ(BigEndian32(*awake, AwakeDatagram::OffsetDeviceId), DeviceId);
        const auto alive = m_AwakeHost.Receive();
        ASSERT_TRUE(alive.has_value());
        ASSERT_EQ(alive->size(), AliveDatagram::Size);
        EXPECT_EQ(BigEndian32(*alive, AliveDatagram::OffsetSequence), 0u);

        // Disconnecting with a host attached ends the shell and the sender within a second.
        EXPECT_LT(MillisecondsOf([&] { ASSERT_TRUE(SetConnected(false)); }), 1000);
        EXPECT_EQ(host.WaitForEnd(), End::Orderly);
        VLoopbackClient late;
        EXPECT_FALSE(late.Connect(ShellPort)) << "the shell still listens after disconnecting";
        m_AwakeHost.Drain();
        EXPECT_FALSE(m_AwakeHost.Receive(std::chrono::milliseconds(300)).has_value())
            << "ALIVE after disconnecting";
    }
}
