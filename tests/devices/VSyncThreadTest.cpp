// The frame clock: the master's sync broadcast, the frames of the other devices,
// prompt stops from every direction and teardown while frames run.
#include "devices/VSyncThread.h"

#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <future>

using namespace device_test;
using namespace std::chrono_literals;

namespace
{

/// Number of threads of this process named "tsm-sync".
int CountSyncThreads()
{
    int count = 0;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return -1;
    while (dirent* entry = readdir(tasks))
    {
        if (entry->d_name[0] == '.')
            continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        if (std::getline(comm, name) && name == "tsm-sync")
            ++count;
    }
    closedir(tasks);
    return count;
}

/// Runs `action` on the calling thread and returns how long it took.
template <class TAction> Clock::duration Timed(TAction action)
{
    const auto start = Clock::now();
    action();
    return Clock::now() - start;
}

/// Runs `action` on the calling thread under a watchdog that ends the test
/// program when it has not finished after `limit` (a deadlock cannot be
/// recovered from).
template <class TAction>
void FinishesWithin(std::chrono::seconds limit, TAction action, const char* what)
{
    std::promise<void> finished;
    std::thread watchdog(
        [&, done = finished.get_future()]
        {
            if (done.wait_for(limit) != std::future_status::ready)
            {
                std::fprintf(stderr, "%s did not finish within %lld s (deadlock?)\n", what,
                             static_cast<long long>(limit.count()));
                std::_Exit(1);
            }
        });
    action();
    finished.set_value();
    watchdog.join();
}

/// Index of the first record with frame `frame`, or -1.
long FindFrame(const std::vector<VFrameRecord>& frames, uint32_t frame)
{
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i].m_Frame == frame)
            return static_cast<long>(i);
    return -1;
}

/// Shows the device lines captured during a failed test.
void PrintIfFailed(const std::string& output)
{
    if (::testing::Test::HasFailure())
        std::fputs(output.c_str(), stdout);
}

/// How long a stop may take. The clocks below wait 4 s for their next frame (or 5 s
/// before reading a rate of 0 again): a stop that waited for that instead of waking
/// the clock takes seconds, a prompt one milliseconds, and the second stays well
/// inside this bound on a loaded machine under the sanitizers.
constexpr auto kStopAllowance = 1s;

} // namespace

TEST_F(DeviceFixture, OnSyncTickHasEveryOtherConnectedDeviceProduceItsNextFrame)
{
    auto source = AddDevice(1);
    auto first = AddDevice(2);
    auto offline = AddDevice(3);
    auto second = AddDevice(4);
    for (const auto& device : {source, first, second})
        ASSERT_TRUE(Connect(*device));
    Dispatch({0x00010001, 41});

    m_Manager->OnSyncTick(source.get());
    m_Manager->OnSyncTick(source.get());
    for (const auto& device : {first, second})
    {
        const std::vector<VFrameRecord> frames = device->Frames();
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0].m_Frame, 41u);
        EXPECT_EQ(frames[0].m_Previous, 0u);
        EXPECT_EQ(frames[1].m_Frame, 42u);
        EXPECT_EQ(frames[1].m_Previous, 41u);
        EXPECT_EQ(device->GetCurrentFrameNumber(), 42u);
        EXPECT_EQ(device->GetNextFrameNumber(), 43u);
    }
    EXPECT_TRUE(first->Frames()[0].m_Time <= second->Frames()[0].m_Time) << "list order";
    EXPECT_EQ(source->FrameCount(), 0u) << "the source produces its own frame";
    EXPECT_EQ(offline->FrameCount(), 0u) << "a device that is not connected produces nothing";
}

TEST_F(DeviceFixture, OnSyncTickHandsTheSourcesFrameToEveryStreamClientInListOrder)
{
    /// Notes each frame number it is handed, with its own tag, in one shared log.
    struct VRecordingStreamClient final : IStreamClient
    {
        VRecordingStreamClient(std::vector<std::string>& log, char tag) : m_Log(log), m_Tag(tag) {}
        void OnFrameSent(uint32_t frame) override
        {
            m_Log.push_back(m_Tag + std::to_string(frame));
        }
        std::vector<std::string>& m_Log;
        const char m_Tag;
    };
    std::vector<std::string> log;
    char nextTag = 'a';
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_StreamClientFactory = [&]
    { return std::make_shared<VRecordingStreamClient>(log, nextTag++); };
    VFakeDeviceManager manager(&m_Events, htonl(kLocalAddress), htonl(kHalAddress), options);
    const std::shared_ptr<IStreamClient> first = manager.AddStreamClient();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(manager.AddStreamClient(), nullptr);
    EXPECT_EQ(manager.GetStreamClientCount(), 2u);
    EXPECT_EQ(manager.GetStreamClient(0), first);
    EXPECT_EQ(manager.GetDeviceCount(), 0u) << "stream clients take no position";

    auto source = AddDeviceTo(manager, 1);
    auto other = AddDeviceTo(manager, 2);
    ASSERT_TRUE(Connect(*source));
    ASSERT_TRUE(Connect(*other));
    const std::vector<uint8_t> sync = Datagram({0x00010001, 41});
    manager.OnBroadcastCommand(sync.data(), sync.size());
    // The master produces its frame, then ticks the others: the clients get its number.
    for (int frame = 0; frame < 2; ++frame)
    {
        source->OnMasterTick();
        manager.OnSyncTick(source.get());
    }
    EXPECT_EQ(log, (std::vector<std::string>{"a41", "b41", "a42", "b42"}));
    EXPECT_EQ(other->GetCurrentFrameNumber(), 42u);

    // Without a factory there is no stream client to add.
    EXPECT_EQ(m_Manager->AddStreamClient(), nullptr);
    EXPECT_EQ(m_Manager->GetStreamClientCount(), 0u);
}

TEST_F(DeviceFixture, MasterThenFrameNumberSyncsEveryConnectedDevice)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto cameraA = AddDevice(1);
    auto cameraB = AddDevice(2);
    auto offline = AddDevice(3);
    for (const auto& device : {unit, cameraA, cameraB})
        ASSERT_TRUE(Connect(*device));

    testing::internal::CaptureStdout();
    // 10 Hz: after each frame the clock sleeps for 100 ms, a calm moment to
    // change the frame number in.
    Dispatch({0x00030005, 0x02000001, 0, 10, 0, 0});
    ASSERT_EQ(SyncModeOf(*unit), 2);
    ASSERT_TRUE(cameraA->WaitForFrames([](const auto& frames) { return frames.size() >= 2; }))
        << "the master does not tick the other devices";
    Dispatch({0x00070001, 1000});
    EXPECT_TRUE(unit->IsSyncPending()) << "the master marks its sync with the new number";
    EXPECT_EQ(unit->GetNextFrameNumber(), 1000u);
    for (const auto& device : {unit, cameraA, cameraB})
        ASSERT_TRUE(
            device->WaitForFrames([](const auto& frames) { return FindFrame(frames, 1002) >= 0; }))
            << "device " << device->GetDeviceId() << " never reached frame 1002";
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 10, 0, 0});
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(CountLinesContaining(output, "33554433: Broadcasting sync at 1000 frames (currently "
                                           "at 1000, previous "),
              1u)
        << output;
    EXPECT_EQ(CountLines(output, "Received broadcast command: 00010001 (BROADCAST_CMD_SYNC, "
                                 "frame = 1000)"),
              1u)
        << output;
    // The MASTER marked a sync too: the first tick broadcast frame 0.
    EXPECT_EQ(CountLines(output, "33554433: Broadcasting sync at 0 frames (currently at 0, "
                                 "previous 0)"),
              1u)
        << output;

    for (const auto& device : {unit, cameraA, cameraB})
    {
        SCOPED_TRACE(device->GetDeviceId());
        const std::vector<VFrameRecord> frames = device->Frames();
        const long at = FindFrame(frames, 1000);
        ASSERT_GE(at, 1);
        // Every device counted 0, 1, ... up to the change and 1000, 1001, ... after it.
        for (long i = 0; i < at; ++i)
            EXPECT_EQ(frames[i].m_Frame, static_cast<uint32_t>(i));
        EXPECT_EQ(frames[at].m_Previous, frames[at - 1].m_Frame);
        for (size_t i = at + 1; i < frames.size(); ++i)
        {
            EXPECT_EQ(frames[i].m_Frame, frames[i - 1].m_Frame + 1);
            EXPECT_EQ(frames[i].m_Previous, frames[i - 1].m_Frame);
        }
    }
    // All produced the same frames in step.
    EXPECT_EQ(FindFrame(unit->Frames(), 1000), FindFrame(cameraA->Frames(), 1000));
    EXPECT_EQ(FindFrame(unit->Frames(), 1000), FindFrame(cameraB->Frames(), 1000));
    EXPECT_EQ(offline->FrameCount(), 0u) << "a device that is not connected produces no frames";
}

TEST_F(DeviceFixture, ANumberMarkedDuringTheSyncBroadcastGoesOutBeforeTheFrame)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto camera = AddDevice(1);
    // While the master's sync for 1000 is being dispatched, a new number and mark
    // arrive for the master (as from the shell's "setframe"): the master must
    // broadcast 2000 before it produces a frame.
    // The hook outlives this body when an assertion ends it early: it holds only
    // what lives as long as the devices.
    camera->m_BeforeBroadcast =
        [master = unit.get(), marked = std::make_shared<std::atomic<bool>>()](const uint8_t* data,
                                                                              size_t length)
    {
        if (length == 8 && LoadBroadcastWord(data, 0) == BROADCAST_CMD_SYNC &&
            LoadBroadcastWord(data, 1) == 1000 && !marked->exchange(true))
            master->SetNextFrameNumber(2000, true);
    };
    for (const auto& device : {unit, camera})
        ASSERT_TRUE(Connect(*device));
    testing::internal::CaptureStdout();
    Dispatch({0x00030005, 0x02000001, 0, 10, 0, 0});
    ASSERT_TRUE(camera->WaitForFrames([](const auto& frames) { return frames.size() >= 2; }));
    Dispatch({0x00070001, 1000});
    for (const auto& device : {unit, camera})
        ASSERT_TRUE(
            device->WaitForFrames([](const auto& frames) { return FindFrame(frames, 2001) >= 0; }))
            << "device " << device->GetDeviceId() << " never reached frame 2001";
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 10, 0, 0});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "Broadcasting sync at 2000 frames"), 1u) << output;
    for (const auto& device : {unit, camera})
    {
        const std::vector<VFrameRecord> frames = device->Frames();
        EXPECT_EQ(FindFrame(frames, 1000), -1) << device->GetDeviceId();
        const long at = FindFrame(frames, 2000);
        ASSERT_GE(at, 1);
        EXPECT_EQ(frames[at - 1].m_Frame + 1, static_cast<uint32_t>(at)) << "counted up to it";
    }
    EXPECT_EQ(FindFrame(unit->Frames(), 2000), FindFrame(camera->Frames(), 2000));
}

TEST_F(DeviceFixture, SetFrameSyncsWithExactlyTheRequestedNumber)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto camera = AddDevice(1);
    for (const auto& device : {unit, camera})
        ASSERT_TRUE(Connect(*device));
    Dispatch({0x00030005, 0x02000001, 0, 10, 0, 0});
    ASSERT_TRUE(camera->WaitForFrames([](const auto& frames) { return frames.size() >= 2; }));

    testing::internal::CaptureStdout();
    // As the shell's "setframe" does, from its own thread.
    std::thread shell([&] { unit->RequestFrameNumber(500); });
    shell.join();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return unit->GetParamOr("FrameNumber", 0) == 500; }));
    ASSERT_TRUE(
        camera->WaitForFrames([](const auto& frames) { return FindFrame(frames, 501) >= 0; }));
    // The same number again: the parameter does not change, the sync is still due.
    unit->RequestFrameNumber(500);
    EXPECT_TRUE(unit->IsSyncPending());
    EXPECT_EQ(unit->GetNextFrameNumber(), 500u);
    ASSERT_TRUE(camera->WaitForFrames(
        [](const auto& frames)
        {
            return std::count_if(frames.begin(), frames.end(),
                                 [](const VFrameRecord& record)
                                 { return record.m_Frame == 500; }) == 2;
        }))
        << "the second request did not bring every device back to frame 500";
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 10, 0, 0});
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(CountLinesContaining(output, "Broadcasting sync at 500 frames (currently at 500, "),
              2u)
        << output;
}

TEST_F(DeviceFixture, OneMasterRunsOneSyncThread)
{
    auto unit = AddDevice(0x02000001u, 2);
    ASSERT_TRUE(Connect(*unit));
    EXPECT_EQ(CountSyncThreads(), 0);
    testing::internal::CaptureStdout();
    Dispatch({0x00030005, 0x02000001, 0, 100, 0, 0});
    Dispatch({0x00030005, 0x02000001, 0, 200, 0, 0});
    unit->SetParam("SyncMode", int32_t{2});
    EXPECT_EQ(CountSyncThreads(), 1);
    // The shell's "syncmode slave", then "master" again: a new clock.
    unit->SetParam("SyncMode", int32_t{0});
    EXPECT_EQ(CountSyncThreads(), 0);
    unit->SetParam("SyncMode", int32_t{2});
    EXPECT_EQ(CountSyncThreads(), 1);
    // Not connected: no clock, whatever the sync mode says.
    ASSERT_TRUE(Connect(*unit, false));
    EXPECT_EQ(CountSyncThreads(), 0);
    unit->SetParam("SyncMode", int32_t{0});
    unit->SetParam("SyncMode", int32_t{2});
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_EQ(CountSyncThreads(), 0);
    PrintIfFailed(testing::internal::GetCapturedStdout());
}

TEST_F(DeviceFixture, TheClockStopsWithinAFramePeriodFromEveryDirection)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto camera = AddDevice(1);
    for (const auto& device : {unit, camera})
        ASSERT_TRUE(Connect(*device));
    testing::internal::CaptureStdout();

    // 0.25 Hz: after its first frame the clock waits 4 s for the next. Becoming a
    // slave through a MASTER for another device.
    Dispatch({0x00030005, 0x02000001, 0, 0, 250, 0});
    ASSERT_TRUE(camera->WaitForFrames([](const auto& frames) { return !frames.empty(); }));
    auto took = Timed([&] { Dispatch({0x00030005, 1, 0, 0, 250, 0}); });
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_LT(took, kStopAllowance) << "stop on losing mastership";

    // Disconnecting the master.
    Dispatch({0x00030005, 0x02000001, 0, 0, 250, 0});
    ASSERT_TRUE(unit->IsSyncThreadRunning());
    took = Timed([&] { ASSERT_TRUE(Connect(*unit, false)); });
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_LT(took, kStopAllowance) << "stop on disconnect";
    ASSERT_TRUE(Connect(*unit));

    // A RESET of a fast master, handled on this thread while it holds the
    // manager's lock, which the clock wants for every tick.
    for (int round = 0; round < 20; ++round)
    {
        Dispatch({0x00030005, 0x02000001, 0, 2000, 0, 0});
        ASSERT_TRUE(unit->IsSyncThreadRunning());
        std::this_thread::sleep_for(2ms);
        FinishesWithin(
            5s,
            [&] {
                Dispatch({0x00020001, 0x02000001});
            },
            "a RESET of the running master");
        EXPECT_FALSE(unit->IsSyncThreadRunning());
        ASSERT_TRUE(unit->GetParamOr("Connected", false));
    }

    // A rate of 0 releases nothing and still stops at once. (The rate is set
    // first: a MASTER changes the sync mode before the rate, so the clock it
    // starts may run its first tick at the rate before.)
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 0, 0, 0});
    camera->ClearFrames();
    Dispatch({0x00030005, 0x02000001, 0, 0, 0, 0});
    ASSERT_TRUE(unit->IsSyncThreadRunning());
    EXPECT_FALSE(camera->WaitForFrames([](const auto& frames) { return !frames.empty(); }, 300ms))
        << "a master at 0 Hz produced frames";
    took = Timed([&] { Dispatch({0x00030005, 0xFFFFFFFF, 0, 0, 0, 0}); });
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_LT(took, kStopAllowance) << "stop of a clock without rate";
    // A rate that becomes usable again starts releasing frames.
    Dispatch({0x00030005, 0x02000001, 0, 0, 0, 0});
    unit->SetParam("SystemFrameRate", 100.0);
    EXPECT_TRUE(camera->WaitForFrames([](const auto& frames) { return frames.size() >= 3; }))
        << "the clock did not resume at 100 Hz";
    PrintIfFailed(testing::internal::GetCapturedStdout());
}

TEST_F(DeviceFixture, TeardownWhileTheClockRunsNeverDeadlocks)
{
    for (int round = 0; round < 10; ++round)
    {
        auto manager = MakeManager();
        auto unit = AddDeviceTo(*manager, 0x02000001u, 2);
        auto cameraA = AddDeviceTo(*manager, 1);
        auto cameraB = AddDeviceTo(*manager, 2);
        for (const auto& device : {unit, cameraA, cameraB})
            ASSERT_TRUE(Connect(*device));
        testing::internal::CaptureStdout();
        const std::vector<uint8_t> master = Datagram({0x00030005, 0x02000001, 0, 2000, 0, 0});
        manager->OnBroadcastCommand(master.data(), master.size());
        ASSERT_TRUE(cameraB->WaitForFrames([](const auto& frames) { return frames.size() >= 5; }));
        FinishesWithin(
            5s, [&] { manager.reset(); }, "destroying the manager");
        PrintIfFailed(testing::internal::GetCapturedStdout());
        EXPECT_FALSE(unit->IsSyncThreadRunning());
        for (const auto& device : {unit, cameraA, cameraB})
        {
            EXPECT_EQ(device->m_Disconnects, 1) << "every device is disconnected on teardown";
            EXPECT_FALSE(device->GetParamOr("Connected", true));
        }
        EXPECT_EQ(m_Services->m_ShellsAlive, 0);
        // No frame after the teardown.
        const size_t frames = cameraA->FrameCount();
        std::this_thread::sleep_for(5ms);
        EXPECT_EQ(cameraA->FrameCount(), frames);
    }
}

namespace
{

/// A test device that runs a hook on its sync thread after each of its frames.
class VHookedDevice : public VTestDevice
{
public:
    using VFakeDevice::StartSyncThread;
    using VTestDevice::VTestDevice;

    /// Set before the device's clock runs.
    std::function<void(uint32_t)> m_AfterFrame;

protected:
    void OnFrame(uint32_t frame, uint32_t previous) override
    {
        VTestDevice::OnFrame(frame, previous);
        if (m_AfterFrame)
            m_AfterFrame(frame);
    }
};

} // namespace

TEST_F(DeviceFixture, AFrameNumberTakesEffectForEveryDeviceAtOneTickBoundary)
{
    const uint32_t position = m_Manager->GetDeviceCount() + 1;
    auto unit = VFakeDevice::Create<VHookedDevice>(*m_Manager, 0x02000001u, position,
                                                   m_Definitions.CreateParamList(), 2);
    m_Manager->AddDevice(unit);
    auto camera = AddDevice(1);
    for (const std::shared_ptr<VTestDevice>& device : {std::shared_ptr<VTestDevice>(unit), camera})
        ASSERT_TRUE(Connect(*device));
    // A host's FRAME_NUMBER arrives just as the master has produced its own frame 3
    // and is about to tick the others: it must wait for the tick's end, so that
    // every device still produces 3 and then, from the master's sync, 1000.
    std::thread host;
    unit->m_AfterFrame = [&, sent = false](uint32_t frame) mutable
    {
        if (frame != 3 || sent)
            return;
        sent = true;
        auto dispatched = std::make_shared<std::promise<void>>();
        std::future<void> done = dispatched->get_future();
        host = std::thread(
            [this, dispatched]
            {
                const std::vector<uint8_t> bytes = Datagram({0x00070001, 1000});
                m_Manager->OnBroadcastCommand(bytes.data(), bytes.size());
                dispatched->set_value();
            });
        // Room for the dispatch to slip in here, if the tick let it.
        done.wait_for(300ms);
    };
    testing::internal::CaptureStdout();
    Dispatch({0x00030005, 0x02000001, 0, 20, 0, 0});
    const bool reached =
        camera->WaitForFrames([](const auto& frames) { return FindFrame(frames, 1002) >= 0; });
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 20, 0, 0});
    if (host.joinable())
        host.join();
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(reached) << output;

    const std::vector<VFrameRecord> master = unit->Frames();
    const std::vector<VFrameRecord> other = camera->Frames();
    ASSERT_GE(std::min(master.size(), other.size()), 6u);
    for (size_t i = 0; i < std::min(master.size(), other.size()); ++i)
        EXPECT_EQ(other[i].m_Frame, master[i].m_Frame) << "tick " << i;
    // At a later tick boundary (the tick held the dispatch back), never inside one.
    EXPECT_GE(FindFrame(other, 1000), 4) << "1000 before the others produced frame 3";
    EXPECT_EQ(std::count_if(other.begin(), other.end(),
                            [](const VFrameRecord& record) { return record.m_Frame == 1000; }),
              1)
        << "frame 1000 twice";
    if (HasFailure())
        for (const VFrameRecord& record : other)
            std::printf("%u ", record.m_Frame);
    PrintIfFailed(output);
}

TEST_F(DeviceFixture, AStaleSyncNeverUndoesANumberedMark)
{
    auto device = AddDevice(1);
    ASSERT_TRUE(Connect(*device));
    // A number requested with its sync (the shell's "setframe"), then a SYNC for an
    // older number still on its way: the request stands, mark and number together.
    device->SetNextFrameNumber(500, true);
    Dispatch({0x00010001, 120});
    EXPECT_EQ(device->GetNextFrameNumber(), 500u);
    EXPECT_TRUE(device->IsSyncPending());
    // A bare mark (from MASTER naming another device) carries no number: a SYNC
    // sets it and the mark stays for when this device becomes master.
    Dispatch({0x00030005, 77, 0, 10, 0, 0});
    ASSERT_TRUE(device->IsSyncPending());
    Dispatch({0x00010001, 120});
    EXPECT_EQ(device->GetNextFrameNumber(), 120u);
    EXPECT_TRUE(device->IsSyncPending());
    // A plain frame number that replaces a numbered one does not inherit its claim.
    device->SetNextFrameNumber(600, true);
    device->SetNextFrameNumber(700, false);
    Dispatch({0x00010001, 130});
    EXPECT_EQ(device->GetNextFrameNumber(), 130u);
}

TEST_F(DeviceFixture, AClockStoppedFromItsOwnThreadStartsAgain)
{
    auto unit = VFakeDevice::Create<VHookedDevice>(*m_Manager, 0x02000001u, 1,
                                                   m_Definitions.CreateParamList(), 2);
    m_Manager->AddDevice(unit);
    unit->m_AfterFrame = [device = unit.get()](uint32_t frame)
    {
        if (frame == 2)
            device->StopSyncThread();
    };
    ASSERT_TRUE(Connect(*unit));
    Dispatch({0x00030005, 0x02000001, 0, 100, 0, 0});
    ASSERT_TRUE(unit->WaitForFrames([](const auto& frames) { return frames.size() >= 3; }));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !unit->IsSyncThreadRunning(); }));
    std::this_thread::sleep_for(50ms);
    const size_t stoppedAt = unit->FrameCount();
    EXPECT_EQ(stoppedAt, 3u) << "the clock went on after stopping itself";

    unit->StartSyncThread();
    EXPECT_TRUE(unit->IsSyncThreadRunning());
    EXPECT_TRUE(
        unit->WaitForFrames([&](const auto& frames) { return frames.size() >= stoppedAt + 5; }))
        << "the clock did not start again";
    EXPECT_EQ(CountSyncThreads(), 1);
}

TEST_F(DeviceFixture, AClockStoppingItselfWhileTheMainThreadStopsItNeverDeadlocks)
{
    auto unit = VFakeDevice::Create<VHookedDevice>(*m_Manager, 0x02000001u, 1,
                                                   m_Definitions.CreateParamList(), 2);
    m_Manager->AddDevice(unit);
    // The clock decides to stop itself just as the main thread stops it: the main
    // thread holds the sync-thread lock while it joins, so the clock must not wait
    // for that lock.
    std::promise<void> inFrame;
    unit->m_AfterFrame = [device = unit.get(), &inFrame](uint32_t frame)
    {
        if (frame != 2)
            return;
        inFrame.set_value();
        // Room for the main thread to take the lock and start joining.
        std::this_thread::sleep_for(200ms);
        device->StopSyncThread();
    };
    ASSERT_TRUE(Connect(*unit));
    Dispatch({0x00030005, 0x02000001, 0, 100, 0, 0});
    ASSERT_EQ(inFrame.get_future().wait_for(10s), std::future_status::ready);
    FinishesWithin(
        10s, [&] { unit->StopSyncThread(); }, "stopping a clock that stops itself");
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_EQ(CountSyncThreads(), 0);

    // The lock-free path must not take back a stop asked from outside: a clock that
    // stops itself, then starts itself again inside the same tick, still ends when
    // another thread stops it meanwhile.
    std::promise<void> inSecondFrame;
    unit->m_AfterFrame = [device = unit.get(), &inSecondFrame, sent = false](uint32_t) mutable
    {
        if (sent)
            return;
        sent = true;
        inSecondFrame.set_value();
        std::this_thread::sleep_for(200ms);
        device->StopSyncThread();
        device->StartSyncThread();
    };
    unit->StartSyncThread();
    ASSERT_EQ(inSecondFrame.get_future().wait_for(10s), std::future_status::ready);
    FinishesWithin(
        10s, [&] { unit->StopSyncThread(); }, "stopping a clock that restarts itself");
    EXPECT_FALSE(unit->IsSyncThreadRunning());
    EXPECT_EQ(CountSyncThreads(), 0);
}

TEST_F(DeviceFixture, ARateChangeWakesTheClockAndRebasesAtOnce)
{
    auto unit = AddDevice(0x02000001u, 2);
    auto camera = AddDevice(1);
    for (const auto& device : {unit, camera})
        ASSERT_TRUE(Connect(*device));
    testing::internal::CaptureStdout();
    // 0.001 Hz: after its first frame the clock has 1000 s to wait.
    Dispatch({0x00030005, 0x02000001, 0, 0, 1, 0});
    ASSERT_TRUE(camera->WaitForFrames([](const auto& frames) { return frames.size() >= 1; }));
    std::this_thread::sleep_for(100ms);
    // One frame at the old rate may have gone before the new one was in force.
    const size_t waiting = camera->FrameCount();
    ASSERT_LE(waiting, 2u);
    const auto changed = Clock::now();
    Dispatch({0x00030005, 0x02000001, 0, 100, 0, 0});
    const bool resumed = camera->WaitForFrames(
        [&](const auto& frames) { return frames.size() >= waiting + 20; }, 3000ms);
    const auto took = Clock::now() - changed;

    // Beyond what the clock can pace: clamped, with one line however many devices.
    Dispatch({0x00030005, 0x02000001, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0});
    const double clamped = unit->GetParamOr("SystemFrameRate", 0.0);
    Dispatch({0x00030005, 0xFFFFFFFF, 0, 10, 0, 0});
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(resumed) << "the clock kept waiting for the old rate's next frame";
    EXPECT_LT(took, 2500ms);
    EXPECT_EQ(clamped, VFramePacer::MaxRate);
    EXPECT_EQ(camera->GetParamOr("SystemFrameRate", 0.0), 10.0);
    EXPECT_EQ(CountLinesContaining(output, "is above the fastest the rig paces: running at "
                                           "10000 Hz"),
              1u)
        << output;
}
