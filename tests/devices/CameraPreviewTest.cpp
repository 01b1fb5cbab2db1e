// The camera with the event system the program runs: commands arriving on other threads
// (broadcast receive thread, shell thread) take effect on the main thread, and a PREVIEW
// from the host makes the camera it names stream its picture to the host's preview port.
// Binds 127.0.0.1:8574, so the program holds the port lock.
#include "devices/VFakeDeviceCamera.h"

#include "CameraTestSupport.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "EventLoopPump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

using namespace camera_test;
using namespace std::chrono_literals;

namespace
{

/// A UDP socket bound to 127.0.0.1 at the preview port, with bounded waits.
class VPreviewHost
{
public:
    VPreviewHost()
    {
        m_Socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(PREVIEW_PORT);
        m_Bound = m_Socket >= 0 &&
                  bind(m_Socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~VPreviewHost()
    {
        if (m_Socket >= 0)
            close(m_Socket);
    }
    VPreviewHost(const VPreviewHost&) = delete;
    VPreviewHost& operator=(const VPreviewHost&) = delete;

    bool IsBound() const { return m_Bound; }

    /// The next datagram, or nothing after `wait`.
    std::optional<std::vector<uint8_t>> Receive(std::chrono::milliseconds wait = 5s)
    {
        pollfd entry = {m_Socket, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(wait.count())) != 1)
            return std::nullopt;
        std::vector<uint8_t> bytes(65536);
        const ssize_t length = recv(m_Socket, bytes.data(), bytes.size(), 0);
        if (length < 0)
            return std::nullopt;
        bytes.resize(static_cast<size_t>(length));
        return bytes;
    }

    /// Reads until nothing arrives for `quiet`; false when that never happens
    /// within `limit`.
    bool DrainUntilQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline)
        {
            if (!Receive(quiet))
                return true;
        }
        return false;
    }

private:
    int m_Socket = -1;
    bool m_Bound = false;
};

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset)
{
    return uint32_t{bytes[offset]} | (uint32_t{bytes[offset + 1]} << 8) |
           (uint32_t{bytes[offset + 2]} << 16) | (uint32_t{bytes[offset + 3]} << 24);
}

/// The camera fixture with the program's event manager on the test's main thread.
class CameraEventFixture : public CameraFixture
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(VFakeDeviceCamera::AddCameraDefinitions(m_Definitions));
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        m_Manager = std::make_unique<VFakeDeviceManager>(&m_Events, htonl(kLocalAddress),
                                                         htonl(kHalAddress), options);
    }
    void TearDown() override
    {
        m_Manager.reset();
        // Nothing may still be posted for the devices.
        EventTest::PumpFor(10ms);
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
    ASSERT_TRUE(EventTest::PumpUntil([&] { return camera->Int("MaxPixelsPerLine") == 9; }))
        << "the posted changes did not run";
    EXPECT_EQ(camera->Int("Gain"), 4);
    EXPECT_EQ(camera->Text("LED1"), "on");
    EXPECT_EQ(camera->Text("LED3"), "p2");
    EXPECT_EQ(camera->Text("GreyMode"), "none");
    EXPECT_EQ(report.rfind("Device Type : Zt-M4\n", 0), 0u) << report;
}

TEST_F(CameraEventFixture, PreviewModeStreamsThePictureOfTheCamerasSensorToTheHost)
{
    VPreviewHost host;
    ASSERT_TRUE(host.IsBound()) << "127.0.0.1:8574 is in use";
    auto camera = AddCamera(7);
    camera->SetParam("DeviceType", "WREN_MOCAP_VGA");

    // The broadcast receive thread hands the camera a PREVIEW naming it.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 7, 1}); });
    ASSERT_TRUE(EventTest::PumpUntil([&] { return camera->HasPreviewServer(); }))
        << "the preview did not start";
    const auto datagram = host.Receive();
    ASSERT_TRUE(datagram.has_value()) << "no preview datagram within 5 s";
    ASSERT_GE(datagram->size(), 36u);
    EXPECT_EQ(Le16(*datagram, 0), 0xC000);
    EXPECT_EQ(Le32(*datagram, 8), 7u);    // device id
    EXPECT_EQ(Le16(*datagram, 28), 640u); // width
    EXPECT_EQ(Le16(*datagram, 30), 480u); // height

    // A PREVIEW naming another device stops it; the host then hears nothing more.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 8, 1}); });
    ASSERT_TRUE(EventTest::PumpUntil([&] { return !camera->HasPreviewServer(); }))
        << "the preview did not stop";
    EXPECT_FALSE(camera->Bool("PreviewMode"));
    EXPECT_TRUE(host.DrainUntilQuiet(200ms, 5s));
    EXPECT_FALSE(host.Receive(200ms).has_value());

    // Destroying a camera while it previews stops the sender.
    OnOtherThread([&] { camera->ClassCommand({0x00050002, 7, 1}); });
    ASSERT_TRUE(EventTest::PumpUntil([&] { return camera->HasPreviewServer(); }));
    ASSERT_TRUE(host.Receive().has_value());
    camera.reset();
    m_Manager.reset();
    EXPECT_TRUE(host.DrainUntilQuiet(200ms, 5s));
}
