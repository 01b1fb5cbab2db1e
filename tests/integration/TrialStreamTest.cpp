// A trial replayed to a host on loopback, the test playing the host (the HAL at 127.0.0.1):
// the real tsmCL program streaming a trial made by tsmtrial, and the same devices in-process
// with tracking read from the file. Binds the protocol ports 8570, 8666 and 9001-9004.
#include "TrialStreamSupport.h"

#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/loading/VTrialLoader.h"
#include "params/ParamAccess.h"
#include "support/VChildProcess.h"
#include "support/VLoopbackClient.h"
#include "tsmhost/BroadcastEncoder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace
{

using namespace stream_test;

constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order

constexpr std::uint16_t kAwakeAndAlivePort = 8570;
constexpr std::uint16_t kBroadcastPort = 8666;
constexpr std::uint32_t kCameras = 4;
constexpr std::uint32_t kTrialFrames = 300;
/// The trial of the in-process test: short, so its replay wraps within a second.
constexpr std::uint32_t kShortTrialFrames = 40;

/// Writes a four-camera trial of `frames` frames with the real tsmtrial program.
void GenerateTrial(const std::string& path, std::uint32_t frames = kTrialFrames)
{
    VChildProcess tool;
    ASSERT_TRUE(tool.Start({TSMTRIAL_PATH, "generate", path, "--cameras", std::to_string(kCameras),
                            "--frames", std::to_string(frames), "--rate", "100", "--markers", "12",
                            "--quiet"}))
        << "cannot start " << TSMTRIAL_PATH;
    ASSERT_TRUE(tool.WaitForExit(60s)) << "tsmtrial did not finish";
    ASSERT_EQ(tool.ExitCode(), 0) << tool.Stderr();
}

/// Camera ids of the trial, by camera index.
std::vector<std::uint32_t> CameraIds(const VX2DHolder& trial)
{
    std::vector<CameraInfoRecord> records;
    double rate = 0.0;
    trial.GetCameraInfo(records, rate);
    std::vector<std::uint32_t> ids;
    for (const CameraInfoRecord& record : records)
        ids.push_back(record.CameraId);
    return ids;
}

/// Receives on `centroids` (and drains `greyscale`) until every camera in `ids` has sent a
/// frame or `deadline` passes, then for `window` more, or, with `minFrames`, until every
/// camera has sent that many more frames (at most until `deadline`). Only frames that
/// complete after the first frame of every camera are kept, so each list starts with whole
/// frames.
VCentroidStreamCollector CollectFrames(VUdpReceiver& centroids, VUdpReceiver& greyscale,
                                       const std::vector<std::uint32_t>& ids,
                                       Clock::time_point deadline, Clock::duration window,
                                       VChildProcess* program, std::size_t minFrames = 0)
{
    VCentroidStreamCollector warmUp;
    VCentroidStreamCollector collector;
    bool started = false;
    Clock::time_point end = deadline;
    std::uint64_t greyscaleDatagrams = 0;
    while (Clock::now() < end)
    {
        pollfd descriptors[2] = {{centroids.GetHandle(), POLLIN, 0},
                                 {greyscale.GetHandle(), POLLIN, 0}};
        if (::poll(descriptors, 2, 20) > 0)
        {
            if ((descriptors[1].revents & POLLIN) != 0 && greyscale.Receive(0ms))
                ++greyscaleDatagrams;
            if ((descriptors[0].revents & POLLIN) != 0)
            {
                if (std::optional<VDatagram> datagram = centroids.ReceiveFrom(0ms))
                    (started ? collector : warmUp).Add(*datagram);
            }
        }
        if (program != nullptr)
            program->WaitForOutput("\x01", 0ms); // keeps its output pipe from filling
        if (!started)
        {
            bool all = true;
            for (std::uint32_t id : ids)
                all = all && warmUp.GetFrames().count(id) != 0;
            if (all)
            {
                started = true;
                end = minFrames > 0 ? deadline : Clock::now() + window;
            }
        }
        else if (minFrames > 0)
        {
            bool all = true;
            for (std::uint32_t id : ids)
            {
                const auto found = collector.GetFrames().find(id);
                all = all && found != collector.GetFrames().end() &&
                      found->second.size() >= minFrames;
            }
            if (all)
                break;
        }
    }
    EXPECT_TRUE(started) << "not every camera sent a frame in time";
    EXPECT_GT(greyscaleDatagrams, 0u) << "no greyscale stream arrived";
    return collector;
}

/// The frames of `frames` from the first one whose number does not follow its predecessor's
/// stream position: the first frame received may be the end of a frame cut in two by the
/// start of collection, so it is dropped.
std::vector<VReceivedFrame> WholeFrames(const std::vector<VReceivedFrame>& frames)
{
    if (frames.size() < 2)
        return {};
    return std::vector<VReceivedFrame>(frames.begin() + 1, frames.end());
}

TEST(TrialStream, TsmCLReplaysAGeneratedTrialToTheHost)
{
    VTempDir temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string path = temp.File("four-cameras.x2d");
    GenerateTrial(path);
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);
    ASSERT_EQ(trial->GetFrameCount(), kTrialFrames);
    const std::vector<std::uint32_t> ids = CameraIds(*trial);
    ASSERT_EQ(ids.size(), kCameras);

    // The host's sockets: awake-and-alive, the data port pair, the broadcast sender.
    VUdpReceiver awake(kAwakeAndAlivePort);
    ASSERT_TRUE(awake.IsOpen()) << "UDP port 8570 is in use";
    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));
    VUdpReceiver broadcaster;
    ASSERT_TRUE(broadcaster.IsOpen());

    VChildProcess program;
    ASSERT_TRUE(
        program.Start({TSMCL_PATH, "-localip", "127.0.0.1", "-halip", "127.0.0.1", "-x2d", path}))
        << "cannot start " << TSMCL_PATH;

    // Every camera announces itself and keeps saying it is alive.
    std::set<std::uint32_t> awakeIds;
    std::set<std::uint32_t> aliveIds;
    const Clock::time_point announceDeadline = Clock::now() + 15s;
    while ((awakeIds.size() < kCameras || aliveIds.size() < kCameras) &&
           Clock::now() < announceDeadline)
    {
        program.WaitForOutput("\x01", 0ms);
        const std::optional<VDatagram> datagram = awake.ReceiveFrom(100ms);
        if (!datagram)
            continue;
        const Bytes& bytes = datagram->m_Bytes;
        if (bytes.size() == 28 && BigEndian32(bytes, 0) == 0x00040006)
            awakeIds.insert(BigEndian32(bytes, 24));
        else if (bytes.size() == 32 && BigEndian32(bytes, 0) == 0x00060007)
            aliveIds.insert(BigEndian32(bytes, 28));
    }
    EXPECT_EQ(awakeIds, std::set<std::uint32_t>(ids.begin(), ids.end()));
    ASSERT_EQ(aliveIds, std::set<std::uint32_t>(ids.begin(), ids.end()))
        << "tsmCL output:\n"
        << program.Stdout() << program.Stderr();

    // Each camera's shell: its report, its data port, its data switched on.
    std::vector<VLoopbackClient> shells(kCameras);
    for (std::uint32_t index = 0; index < kCameras; ++index)
    {
        SCOPED_TRACE("camera " + std::to_string(index));
        VLoopbackClient& shell = shells[index];
        ASSERT_TRUE(
            shell.ConnectToShell(static_cast<std::uint16_t>(9001 + index), Clock::now() + 10s));
        EXPECT_EQ(shell.GetGreeting(), "FakeZtDevice");
        const std::optional<std::string> info = shell.Command("info");
        ASSERT_TRUE(info.has_value());
        EXPECT_NE(info->find("Device Type : Zt-M4\n"), std::string::npos) << *info;
        EXPECT_NE(info->find("Device ID : " + std::to_string(ids[index]) + "\n"), std::string::npos)
            << *info;
        ASSERT_TRUE(shell.Command("portset " + std::to_string(centroids->GetPort())));
        ASSERT_TRUE(shell.Command("datadisable false"));
    }

    // The host names the first camera master at 100 Hz and enables the data.
    ASSERT_TRUE(broadcaster.SendTo(EncodeBroadcastWords(MasterWords(ids[0], false, {100, 0})),
                                   kBroadcastPort));
    ASSERT_TRUE(broadcaster.SendTo(EncodeBroadcastWords(DataDisableWords(0)), kBroadcastPort));

    const VCentroidStreamCollector collector =
        CollectFrames(*centroids, *greyscale, ids, Clock::now() + 10s, 3s, &program);

    program.Signal(SIGTERM);
    EXPECT_TRUE(program.WaitForExit(20s)) << "tsmCL did not stop";
    EXPECT_EQ(program.ExitCode(), 0) << program.Stderr();

    for (std::uint32_t index = 0; index < kCameras; ++index)
    {
        SCOPED_TRACE("camera id " + std::to_string(ids[index]));
        const auto found = collector.GetFrames().find(ids[index]);
        ASSERT_NE(found, collector.GetFrames().end()) << "no frames";
        const std::vector<VReceivedFrame> frames = WholeFrames(found->second);
        // 3 s at 100 Hz; the bound leaves room for a slow machine, not for lost frames,
        // which the consecutive numbers would show.
        EXPECT_GE(frames.size(), 200u);
        ExpectFramesMatchTrial(frames, *trial, index, "Off");
    }
}

// The same path in-process, where the test can do what the host's parameter editing does and
// switch a camera's "Tracking" to "Read": the track records must be the file's. The manager
// opens no broadcast port and makes no shells; the commands run on this thread.
TEST(TrialStream, TrackingReadSendsTheTracksOfTheFile)
{
    VTempDir temp;
    ASSERT_TRUE(temp.IsValid());
    const std::string path = temp.File("tracks.x2d");
    GenerateTrial(path, kShortTrialFrames);
    const std::shared_ptr<VX2DHolder> trial = VX2DHolder::Open(path);
    ASSERT_NE(trial, nullptr);
    const std::vector<std::uint32_t> ids = CameraIds(*trial);
    ASSERT_EQ(ids.size(), kCameras);

    std::unique_ptr<VUdpReceiver> centroids;
    std::unique_ptr<VUdpReceiver> greyscale;
    ASSERT_TRUE(OpenPortPair(centroids, greyscale, 1000));

    ASSERT_NE(VFakeDeviceCameraX2DDefinitions.Register(), nullptr);
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_DeviceLoader = std::make_shared<VTrialLoader>();
    auto manager =
        std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback), htonl(kLoopback), options);
    ASSERT_TRUE(manager->AddX2D(path));
    ASSERT_EQ(manager->GetDeviceCount(), kCameras);
    for (std::uint32_t index = 0; index < kCameras; ++index)
    {
        auto camera = std::dynamic_pointer_cast<VFakeDevice>(manager->GetDevice(index));
        ASSERT_NE(camera, nullptr);
        ASSERT_TRUE(SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true));
        std::string reply;
        camera->ProcessCommand("portset " + std::to_string(centroids->GetPort()), reply);
        camera->ProcessCommand("datadisable false", reply);
        camera->SetParam("Tracking", "Read");
    }
    const Bytes master = EncodeBroadcastWords(MasterWords(ids[0], false, {100, 0}));
    manager->OnBroadcastCommand(master.data(), master.size());
    const Bytes enable = EncodeBroadcastWords(DataDisableWords(0));
    manager->OnBroadcastCommand(enable.data(), enable.size());

    // Two and a half times round the trial, so the replay wraps at least twice.
    const std::size_t wanted = kShortTrialFrames * 5 / 2;
    const VCentroidStreamCollector collector =
        CollectFrames(*centroids, *greyscale, ids, Clock::now() + 30s, {}, nullptr, wanted);
    manager.reset();
    VFakeDeviceCameraX2DDefinitions.Release();

    for (std::uint32_t index = 0; index < kCameras; ++index)
    {
        SCOPED_TRACE("camera id " + std::to_string(ids[index]));
        const auto found = collector.GetFrames().find(ids[index]);
        ASSERT_NE(found, collector.GetFrames().end()) << "no frames";
        const std::vector<VReceivedFrame> frames = WholeFrames(found->second);
        EXPECT_GE(frames.size() + 1, wanted);
        ExpectFramesMatchTrial(frames, *trial, index, "Read");
    }
}

} // namespace
