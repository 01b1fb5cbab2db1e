// The camera with the event system the program runs: commands arriving on other threads
// (broadcast receive thread, shell thread) take effect on the main thread, a host on the
// camera's shell port gets the camera's answers, and a PREVIEW from the host makes the camera
// it names stream its picture to the host's preview port. Binds 127.0.0.1:8574 and the shell
// port 9001, so the program holds the port lock.
#include "devices/camera/VFakeDeviceCamera.h"

#include "CameraTestSupport.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VDeviceConnectionServices.h"
#include "devices/VDeviceTelnetConnection.h"
#include "support/EventLoopPump.h"
#include "support/VLoopbackClient.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

using namespace camera_test;
using namespace testsupport;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace
{

/// Reads until nothing arrives for `quietMs`; false when that never happens within `limit`.
bool DrainUntilQuiet(VUdpReceiver& host, uint32_t quietMs, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline)
    {
        if (!host.Receive(std::chrono::milliseconds(quietMs)))
            return true;
    }
    return false;
}

/// The camera fixture with the program's event manager on the test's main thread.
class CameraEventFixture : public CameraFixture
{
protected:
    void SetUp() override { MakeManager(nullptr); }

    /// A manager without broadcast socket on this fixture's event manager, with the
    /// given connection parts.
    void MakeManager(std::shared_ptr<IDeviceServices> services)
    {
        if (m_Definitions.GetDefinitionCount() == 0)
        {
            ASSERT_TRUE(VFakeDeviceCamera::AddCameraDefinitions(m_Definitions));
        }
        m_Manager.reset();
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        options.m_DeviceServices = std::move(services);
        m_Manager = std::make_unique<VFakeDeviceManager>(&m_Events, htonl(kLocalAddress),
                                                         htonl(kHalAddress), options);
    }
    void TearDown() override
    {
        m_Manager.reset();
        // Nothing may still be posted for the devices.
        PumpFor(10ms);
    }

    /// Runs `action` on a thread of its own, as the receive and shell threads do.
    template <class TAction> static void OnOtherThread(TAction action)
    {
        std::thread thread(action);
        thread.join();
    }

    VEventManagerQt m_Events;
};

} // namespace

TEST_F(CameraEventFixture, ShellCommandsFromTheShellThreadTakeEffectOnTheMainThread)
{
    auto camera = AddCamera(3);
    std::string report;
    OnOtherThread(
        [&]
        {
            camera->Telnet("gain 4");
            camera->Telnet("led 1 on 3 p2");
            camera->Telnet("greymode none");
            camera->Telnet("dspparams -s 9");
            report = camera->Telnet("info");
        });
    // Posted, not run on the shell thread.
    EXPECT_EQ(camera->Int("Gain"), 1);
    ASSERT_TRUE(PumpUntil([&] { return camera->Int("MaxPixelsPerLine") == 9; }))
        << "the posted changes did not run";
    EXPECT_EQ(camera->Int("Gain"), 4);
    EXPECT_EQ(camera->Text("LED1"), "on");
    EXPECT_EQ(camera->Text("LED3"), "p2");
    EXPECT_EQ(camera->Text("GreyMode"), "none");
    EXPECT_EQ(report.rfind("Device Type : Zt-M4\n", 0), 0u) << report;
}

TEST_F(CameraEventFixture, PreviewModeStreamsThePictureOfTheCamerasSensorToTheHost)
{
    VUdpReceiver host(PREVIEW_PORT);
    ASSERT_TRUE(host.IsOpen()) << "127.0.0.1:8574 is in use";
    auto camera = AddCamera(7);
    camera->SetParam("DeviceType", "WREN_MOCAP_VGA");

    // The broadcast receive thread hands the camera a PREVIEW naming it.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 7, 1}); });
    ASSERT_TRUE(PumpUntil([&] { return camera->HasPreviewServer(); }))
        << "the preview did not start";
    const auto datagram = host.Receive();
    ASSERT_TRUE(datagram.has_value()) << "no preview datagram within 5 s";
    ASSERT_GE(datagram->size(), 36u);
    EXPECT_EQ(U16(*datagram, 0), 0xC000);
    EXPECT_EQ(U32(*datagram, 8), 7u);    // device id
    EXPECT_EQ(U16(*datagram, 28), 640u); // width
    EXPECT_EQ(U16(*datagram, 30), 480u); // height

    // A PREVIEW naming another device stops it; the host then hears nothing more.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 8, 1}); });
    ASSERT_TRUE(PumpUntil([&] { return !camera->HasPreviewServer(); }))
        << "the preview did not stop";
    EXPECT_FALSE(camera->Bool("PreviewMode"));
    EXPECT_TRUE(DrainUntilQuiet(host, 200, 5s));
    EXPECT_FALSE(host.Receive(std::chrono::milliseconds(200)).has_value());

    // Destroying a camera while it previews stops the sender.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 7, 1}); });
    ASSERT_TRUE(PumpUntil([&] { return camera->HasPreviewServer(); }));
    ASSERT_TRUE(host.Receive().has_value());
    camera.reset();
    m_Manager.reset();
    EXPECT_TRUE(DrainUntilQuiet(host, 200, 5s));
}

TEST_F(CameraEventFixture, HostOnTheShellPortGetsTheCamerasAnswers)
{
    VUdpReceiver awake; // the HAL's awake-and-alive port, out of the way
    ASSERT_TRUE(awake.IsOpen());
    MakeManager(std::make_shared<VDeviceConnectionServices>(awake.GetPort()));
    auto camera = AddCamera(5);
    ASSERT_TRUE(Connect(*camera));
    const uint16_t port = VDeviceTelnetConnection::GetShellPort(camera->GetPosition());

    // The shell listens from the connection on; give a slow start some room.
    auto host = std::make_unique<VLoopbackClient>();
    const auto deadline = Clock::now() + 5s;
    bool connected = host->Connect(port);
    while (!connected && Clock::now() < deadline)
    {
        PumpFor(20ms);
        host = std::make_unique<VLoopbackClient>();
        connected = host->Connect(port);
    }
    ASSERT_TRUE(connected) << "no shell on port " << port;
    ASSERT_EQ(host->ReadUntil(kShellGreeting), kShellGreeting);

    // Only the exchange itself is captured, so that a failure still shows.
    testing::internal::CaptureStdout();
    const bool sent = host->Send("window\r\n");
    const std::string window = host->ReadAnswer();
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(sent);
    EXPECT_EQ(window, std::string("0 1728 0 2352\n") + kShellPrompt);
    EXPECT_NE(log.find("5: Command: window\n5:  Reply: 0 1728 0 2352\n"), std::string::npos) << log;

    // A setter answers with the prompt alone; the change runs on the main thread.
    ASSERT_TRUE(host->Send("  gain 6\n"));
    EXPECT_EQ(host->ReadAnswer(), kShellPrompt);
    EXPECT_TRUE(PumpUntil([&] { return camera->Int("Gain") == 6; }))
        << "gain is " << camera->Int("Gain");

    ASSERT_TRUE(host->Send("info\n"));
    const std::string info = host->ReadAnswer();
    EXPECT_EQ(info.rfind("Device Type : Zt-M4\nDisplay Device Type : Zt-M4\n", 0), 0u) << info;
    const std::string ending = std::string("Centroid Tracking Able : yes\n") + kShellPrompt;
    ASSERT_GE(info.size(), ending.size());
    EXPECT_EQ(info.substr(info.size() - ending.size()), ending);
}

TEST_F(CameraEventFixture, HostsPreviewBroadcastReachesTheNamedCameraThroughTheDeviceBase)
{
    VUdpReceiver host(PREVIEW_PORT);
    ASSERT_TRUE(host.IsOpen()) << "127.0.0.1:8574 is in use";
    auto named = AddCamera(7);
    auto other = AddCamera(8);
    for (const auto& camera : {named, other})
    {
        camera->SetParam("DeviceType", "WREN_MOCAP_VGA");
        ASSERT_TRUE(Connect(*camera));
    }
    auto dispatch = [this](std::initializer_list<uint32_t> words)
    {
        const std::vector<uint8_t> bytes = Datagram(words);
        OnOtherThread([&] { m_Manager->OnBroadcastCommand(bytes.data(), bytes.size()); });
    };

    // On the broadcast receive thread, as from the host: every device enters the
    // system's preview, and the named camera starts its own.
    testing::internal::CaptureStdout();
    dispatch({0x00050002, 7, 1});
    const std::string log = testing::internal::GetCapturedStdout();
    EXPECT_NE(log.find("Received broadcast command: 00050002 (BROADCAST_CMD_PREVIEW, device = 7)"),
              std::string::npos)
        << log;
    ASSERT_TRUE(PumpUntil([&] { return named->HasPreviewServer(); }))
        << "the named camera did not start its preview";
    EXPECT_TRUE(named->Bool("PreviewMode"));
    EXPECT_TRUE(named->Bool("Preview"));
    EXPECT_TRUE(other->Bool("Preview"));
    EXPECT_FALSE(other->Bool("PreviewMode"));
    EXPECT_FALSE(other->HasPreviewServer());
    const auto datagram = host.Receive();
    ASSERT_TRUE(datagram.has_value()) << "no preview datagram within 5 s";
    ASSERT_GE(datagram->size(), 36u);
    EXPECT_EQ(U32(*datagram, 8), 7u);

    // The host turns the preview off again.
    dispatch({0x00050002, 7, 0});
    ASSERT_TRUE(PumpUntil([&] { return !named->HasPreviewServer(); }))
        << "the named camera did not stop its preview";
    EXPECT_FALSE(named->Bool("Preview"));
    EXPECT_FALSE(other->Bool("Preview"));
    EXPECT_TRUE(DrainUntilQuiet(host, 200, 5s));

    // STROBE_DISABLE goes to the camera and changes nothing.
    const auto before = named->GetPropertySet().GetAll();
    dispatch({0x00090001, 1});
    PumpFor(20ms);
    EXPECT_EQ(named->GetPropertySet().GetAll(), before);
}
