// tsmCL's "-latency" monitor: it keeps trying once a second until the host serves, so tsmCL
// may start first, and at the end exports the histogram and gives the summary line.
#include "app/VLatencyMonitor.h"

#include "cgstream/VOrvanCGStreamServer.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VFakeDeviceManager.h"
#include "params/ParamAccess.h"
#include "streamclient/VFakeZtCGClient.h"

#include "support/EventLoopPump.h"
#include "support/FileBytes.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace std::chrono_literals;

namespace
{

/// Notes every value a boolean parameter takes.
struct VValueLog final : IParamObserver
{
    void OnValueChanged(const IParam& param) override
    {
        bool value = false;
        if (GetValidParamValue<bool>(param, value))
            m_Values.push_back(value);
    }
    std::vector<bool> m_Values;
};

} // namespace

TEST(LatencyMonitor, TriesAgainOnceASecondUntilTheHostServesThenExportsAtTheEnd)
{
    VEventManagerQt events;
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_StreamClientFactory = [&events]
    { return std::make_shared<VFakeZtCGClient>(&events); };
    VFakeDeviceManager manager(&events, 0, 0, options);

    // A port nobody listens on yet.
    uint16_t port = 0;
    {
        VOrvanCGStreamServer probe;
        std::string error;
        ASSERT_TRUE(probe.Start("127.0.0.1", 0, error)) << error;
        port = probe.GetPort();
    }
    const std::unique_ptr<VLatencyMonitor> monitor =
        VLatencyMonitor::Start(manager, "127.0.0.1", port);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(manager.GetStreamClientCount(), 1u);
    VFakeZtCGClient& client = monitor->GetClient();
    IParamList& params = *client.GetParamList();
    EXPECT_EQ(GetParamValueOr<std::string>(params, "Host", ""), "127.0.0.1");
    EXPECT_EQ(GetParamValueOr<int32_t>(params, "Port", 0), port);

    // Refused: "Connected" falls back to false and is set again about a second later (too
    // briefly to be seen by polling: the observer notes every change).
    VValueLog connected;
    ASSERT_TRUE(params.GetParam("Connected")->AddObserver(&connected, false));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return connected.m_Values.size() >= 3; }, 3s));
    EXPECT_EQ(connected.m_Values, (std::vector<bool>{false, true, false}));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 900ms) << "no retry storm";
    params.GetParam("Connected")->RemoveObserver(&connected);

    // The host comes up: the client connects at the next try.
    VOrvanCGStreamServer server;
    std::string error;
    ASSERT_TRUE(server.Start("127.0.0.1", port, error)) << error;
    EXPECT_TRUE(testsupport::PumpUntil([&] { return client.IsStreamConnected(); }, 3s));

    // The end: disconnected, the histogram exported to "File", the summary returned.
    const testsupport::VTempDir folder;
    const std::string file = folder.File("latency.csv");
    SetParamValue<std::string>(params, "File", file, true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(monitor->Finish(stderr), "Latency: no frames matched");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_FALSE(client.IsStreamConnected());
    EXPECT_EQ(testsupport::ReadText(file), "Latency,Frequency\n");

    // A file that cannot be written is said on standard error.
    SetParamValue<std::string>(params, "File", folder.File("no/such/folder.csv"), true);
    testing::internal::CaptureStderr();
    EXPECT_EQ(monitor->Finish(stderr), "Latency: no frames matched");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tsmCL: could not write the latency histogram to " +
                  folder.File("no/such/folder.csv") + "\n");
}
