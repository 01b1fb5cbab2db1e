// The latency stream client: its parameters, the timing rules on a clock of the test's own,
// the clear and export commands, connecting through "Connected" to a stream server on
// loopback, and the three threads that meet in it.
#include "streamclient/VFakeZtCGClient.h"

#include "cgstream/VFrameInfo.h"
#include "cgstream/VOrvanCGStreamServer.h"
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "params/IParam.h"
#include "params/IParamList.h"
#include "params/ParamAccess.h"

#include "support/EventLoopPump.h"
#include "support/FileBytes.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

using namespace std::chrono_literals;
using testsupport::PumpUntil;

namespace
{

/// A clock the test sets, in microseconds.
struct VTestClock
{
    std::shared_ptr<std::atomic<int64_t>> m_Now = std::make_shared<std::atomic<int64_t>>(0);
    VFakeZtCGClient::ClockFunction Function() const
    {
        return [now = m_Now] { return now->load(); };
    }
    void Set(int64_t microseconds) const { m_Now->store(microseconds); }
};

bool GetBool(const IParamList& params, const char* key)
{
    return GetParamValueOr<bool>(params, key, false);
}

/// Notes the thread of every change of one parameter.
class VThreadRecorder final : public IParamObserver
{
public:
    void OnValueChanged(const IParam&) override { m_Threads.push_back(std::this_thread::get_id()); }
    std::vector<std::thread::id> m_Threads;
};

/// A client on an event manager, pointed at a stream server on a free loopback port.
struct VClientAndServer
{
    bool Start()
    {
        std::string error;
        if (!m_Server.Start("127.0.0.1", 0, error))
            return false;
        IParamList& params = *m_Client.GetParamList();
        return SetParamValue<std::string>(params, "Host", "127.0.0.1", true) &&
               SetParamValue<int32_t>(params, "Port", m_Server.GetPort(), true);
    }

    VEventManagerQt m_Events;
    VOrvanCGStreamServer m_Server;
    VFakeZtCGClient m_Client{&m_Events};
};

} // namespace

TEST(CGClient, HasItsNameAndSixParametersWithGroupsTextsAndDefaults)
{
    VFakeZtCGClient client(nullptr);
    EXPECT_STREQ(client.GetName(), "CG Client 1");
    IParamList* params = client.GetParamList();
    ASSERT_NE(params, nullptr);
    struct Expected
    {
        const char* Key;
        const char* Group;
        const char* Description;
        std::string Value;
    };
    const Expected expected[] = {
        {"Connected", "Connection", "Defines whether the CG client is connected.", "0"},
        {"Host", "Connection", "Host name to connect to.", "localhost"},
        {"Port", "Connection", "Port to connect on.", "801"},
        {"Clear", "Timing", "Clear timing.", "0"},
        {"Export", "Timing", "Export latency info.", "0"},
        {"File", "Timing", "File to export latency info.", "Latency.csv"},
    };
    ASSERT_EQ(params->GetParamCount(), 6u);
    for (unsigned i = 0; i < 6; ++i)
    {
        const IParam* param = params->GetParamAt(i);
        EXPECT_STREQ(param->GetKey(), expected[i].Key);
        EXPECT_STREQ(param->GetDisplayName(), expected[i].Key);
        EXPECT_STREQ(param->GetGroup(), expected[i].Group);
        EXPECT_STREQ(param->GetDescription(), expected[i].Description);
        VStringStd text;
        ASSERT_TRUE(param->ToString(text)) << expected[i].Key << " has a valid default";
        EXPECT_EQ(std::string(text.CStr()), expected[i].Value);
    }
}

TEST(CGClient, TimingFollowsTheSendAndArrivalRules)
{
    VTestClock clock;
    VFakeZtCGClient client(nullptr, clock.Function());
    using Histogram = std::map<uint32_t, uint32_t>;

    // Sent and reported at the same clock value: removed, but not counted.
    clock.Set(5000);
    client.OnFrameSent(1);
    client.OnFrameInfo(1);
    EXPECT_TRUE(client.GetSendTimes().empty());
    EXPECT_TRUE(client.GetHistogram().empty());

    // Whole milliseconds, rounded up: 1 us and 1000 us are 1 ms, 1001 us is 2 ms.
    clock.Set(10000);
    client.OnFrameSent(2);
    client.OnFrameSent(3);
    client.OnFrameSent(4);
    clock.Set(10001);
    client.OnFrameInfo(2);
    clock.Set(11000);
    client.OnFrameInfo(3);
    clock.Set(11001);
    client.OnFrameInfo(4);
    EXPECT_EQ(client.GetHistogram(), (Histogram{{1, 2}, {2, 1}}));

    // Numbers never sent, or reported twice, are ignored.
    client.OnFrameInfo(4);
    client.OnFrameInfo(99);
    EXPECT_EQ(client.GetHistogram(), (Histogram{{1, 2}, {2, 1}}));

    // The same number sent again keeps the second time and drops the higher numbers.
    clock.Set(20000);
    client.OnFrameSent(10);
    client.OnFrameSent(11);
    client.OnFrameSent(12);
    clock.Set(20500);
    client.OnFrameSent(10);
    EXPECT_EQ(client.GetSendTimes(), (std::map<uint32_t, int64_t>{{10, 20500}}));
    clock.Set(21500);
    client.OnFrameInfo(10);
    EXPECT_EQ(client.GetHistogram(), (Histogram{{1, 3}, {2, 1}})) << "1000 us from the resend";

    // At most 10000 send times: after 1 to 10001, none reported, 2 to 10001 are left.
    client.ClearTiming();
    for (uint32_t frame = 1; frame <= 10001; ++frame)
        client.OnFrameSent(frame);
    const std::map<uint32_t, int64_t> kept = client.GetSendTimes();
    ASSERT_EQ(kept.size(), 10000u);
    EXPECT_EQ(kept.begin()->first, 2u);
    EXPECT_EQ(kept.rbegin()->first, 10001u);
}

TEST(CGClient, ClearAndExportRunOnceAndReadFalseAfterwards)
{
    testsupport::VTempDir folder;
    VTestClock clock;
    VFakeZtCGClient client(nullptr, clock.Function());
    IParamList& params = *client.GetParamList();

    // An empty histogram exports only the header line.
    const std::string empty = folder.File("empty.csv");
    ASSERT_TRUE(SetParamValue<std::string>(params, "File", empty, true));
    ASSERT_TRUE(SetParamValue<bool>(params, "Export", true, true));
    EXPECT_FALSE(GetBool(params, "Export"));
    EXPECT_EQ(testsupport::ReadText(empty), "Latency,Frequency\n");

    // Entries in increasing latency, "latency, count".
    for (uint32_t frame = 1; frame <= 3; ++frame)
    {
        clock.Set(frame * 100000);
        client.OnFrameSent(frame);
        clock.Set(frame * 100000 + (frame == 2 ? 12000 : 3000));
        client.OnFrameInfo(frame);
    }
    const std::string full = folder.File("full.csv");
    SetParamValue<std::string>(params, "File", full, true);
    ASSERT_TRUE(SetParamValue<bool>(params, "Export", true, true));
    EXPECT_FALSE(GetBool(params, "Export"));
    EXPECT_EQ(testsupport::ReadText(full), "Latency,Frequency\n3, 2\n12, 1\n");

    // A file that cannot be made: nothing written, "Export" reads false all the same.
    const std::string unwritable = folder.File("no-such-folder/latency.csv");
    SetParamValue<std::string>(params, "File", unwritable, true);
    ASSERT_TRUE(SetParamValue<bool>(params, "Export", true, true));
    EXPECT_FALSE(GetBool(params, "Export"));
    EXPECT_FALSE(std::filesystem::exists(unwritable));
    EXPECT_FALSE(client.ExportLatency(unwritable));

    // Clear empties both maps and reads false again.
    client.OnFrameSent(50);
    ASSERT_TRUE(SetParamValue<bool>(params, "Clear", true, true));
    EXPECT_FALSE(GetBool(params, "Clear"));
    EXPECT_TRUE(client.GetHistogram().empty());
    EXPECT_TRUE(client.GetSendTimes().empty());
}

TEST(CGClient, ConnectedConnectsAndDisconnectsAndALostConnectionTurnsItFalseOnTheMainThread)
{
    VClientAndServer setup;
    ASSERT_TRUE(setup.Start());
    VFakeZtCGClient& client = setup.m_Client;
    VOrvanCGStreamServer& server = setup.m_Server;
    IParamList& params = *client.GetParamList();

    // True connects.
    ASSERT_TRUE(SetParamValue<bool>(params, "Connected", true, true));
    ASSERT_TRUE(PumpUntil([&] { return server.GetClientCount() == 1; }));
    EXPECT_TRUE(PumpUntil([&] { return client.IsStreamConnected(); }));

    // A frame sent and reported back lands in the histogram.
    client.OnFrameSent(5);
    std::this_thread::sleep_for(2ms);
    server.Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(5));
    EXPECT_TRUE(PumpUntil([&] { return !client.GetHistogram().empty(); }));

    // False disconnects.
    ASSERT_TRUE(SetParamValue<bool>(params, "Connected", false, true));
    EXPECT_FALSE(client.IsStreamConnected());
    EXPECT_TRUE(PumpUntil([&] { return server.GetClientCount() == 0; }));

    // A lost connection sets "Connected" false, on the main thread, through the event loop.
    ASSERT_TRUE(SetParamValue<bool>(params, "Connected", true, true));
    ASSERT_TRUE(PumpUntil([&] { return client.IsStreamConnected(); }));
    VThreadRecorder threads;
    ASSERT_TRUE(params.GetParam("Connected")->AddObserver(&threads, false));
    server.Stop();
    EXPECT_TRUE(PumpUntil([&] { return !GetBool(params, "Connected"); }));
    ASSERT_EQ(threads.m_Threads.size(), 1u);
    EXPECT_EQ(threads.m_Threads[0], std::this_thread::get_id());
    params.GetParam("Connected")->RemoveObserver(&threads);

    // Refused: "Connected" falls back to false once, no retry storm.
    ASSERT_TRUE(SetParamValue<bool>(params, "Connected", true, true));
    EXPECT_TRUE(PumpUntil([&] { return !GetBool(params, "Connected"); }));
    testsupport::PumpFor(200ms);
    EXPECT_FALSE(GetBool(params, "Connected"));
}

TEST(CGClient, TheTickTheConnectionAndTheParameterThreadsMeetSafely)
{
    // Run under the thread sanitizer: sends on a tick thread, reports on the stream client's
    // connection thread, clear and export on this (the main) thread, all at once.
    testsupport::VTempDir folder;
    VClientAndServer setup;
    ASSERT_TRUE(setup.Start());
    VFakeZtCGClient& client = setup.m_Client;
    VOrvanCGStreamServer& server = setup.m_Server;
    IParamList& params = *client.GetParamList();
    SetParamValue<std::string>(params, "File", folder.File("latency.csv"), true);
    ASSERT_TRUE(SetParamValue<bool>(params, "Connected", true, true));
    ASSERT_TRUE(PumpUntil([&] { return server.GetClientCount() == 1; }));

    constexpr uint32_t kFrames = 3000;
    std::atomic<uint32_t> sent{0};
    std::thread tick(
        [&]
        {
            for (uint32_t frame = 1; frame <= kFrames; ++frame)
            {
                client.OnFrameSent(frame);
                server.Publish(std::make_shared<const OrvanCGStream::VFrameInfo>(frame));
                sent = frame;
                std::this_thread::sleep_for(100us);
            }
        });
    int commands = 0;
    while (sent.load() < kFrames)
    {
        SetParamValue<bool>(params, (commands++ % 2) == 0 ? "Export" : "Clear", true, true);
        testsupport::PumpFor(1ms);
    }
    tick.join();
    EXPECT_GT(commands, 10);
    EXPECT_FALSE(GetBool(params, "Export"));
    EXPECT_FALSE(GetBool(params, "Clear"));
    EXPECT_TRUE(testsupport::ReadText(folder.File("latency.csv")).rfind("Latency,Frequency\n", 0) ==
                0);
}
