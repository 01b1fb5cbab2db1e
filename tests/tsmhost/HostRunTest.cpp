// Whole runs of the host against a fake rig on loopback: a clean rig with cameras of both
// protocols and a sync unit, recorded; the grey and coord modes given to cameras; lost frames
// and a rig that dies; shells that never answer; ports in use; malformed datagrams; a device
// whose AWAKE went unheard.
#include "tsmhost/VHostRun.h"

#include "FakeRig.h"

#include "support/VTempDir.h"
#include "tsmtrial/VX1DTrialReader.h"
#include "tsmtrial/VX2DTrialReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

using namespace host_test;

namespace
{

using Clock = std::chrono::steady_clock;

struct VRunResult
{
    int Exit = -1;
    std::string Out;
    std::string Err;
    QJsonObject Summary;
    double Seconds = 0.0;
};

/// The device of `id` in a JSON summary.
QJsonObject Device(const QJsonObject& summary, std::uint32_t id)
{
    for (const QJsonValue& device : summary["devices"].toArray())
    {
        if (static_cast<std::uint32_t>(device.toObject()["id"].toDouble()) == id)
            return device.toObject();
    }
    return {};
}

/// Options for a run on loopback against `rig`.
VRunOptions Options(std::uint16_t discoveryPort, const VFakeRig& rig)
{
    VRunOptions options;
    options.Hal = VNetAddress(0x7F000001u);
    options.DiscoveryPort = discoveryPort;
    options.BroadcastPort = rig.GetBroadcastPort();
    options.ShellPortBase = rig.GetShellPortBase();
    options.DataPortBase = kDataPortBase;
    options.Wait = 5.0;
    options.Json = true;
    return options;
}

bool IsBound(std::uint16_t port)
{
    VSocketSimple probe;
    return probe.Create(VSocketSimple::KindDatagram) &&
           !probe.BindToAddress(htonl(0x7F000001u), port);
}

/// Runs the host on a thread of its own; `whileRunning` runs on the test's thread once the
/// host listens. Returns when both are done.
VRunResult RunHost(const VRunOptions& options, const std::function<void()>& whileRunning,
                   std::atomic<bool>* stop = nullptr)
{
    VRunResult result;
    char* outText = nullptr;
    char* errText = nullptr;
    std::size_t outSize = 0;
    std::size_t errSize = 0;
    std::FILE* out = open_memstream(&outText, &outSize);
    std::FILE* err = open_memstream(&errText, &errSize);
    std::atomic<bool> noStop{false};
    const Clock::time_point start = Clock::now();
    std::thread host(
        [&]
        {
            VHostRun run(options, stop != nullptr ? *stop : noStop, out, err);
            result.Exit = run.Run();
            result.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
        });
    for (int i = 0; i < 500 && !IsBound(options.DiscoveryPort); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (whileRunning)
        whileRunning();
    host.join();
    std::fclose(out);
    std::fclose(err);
    result.Out.assign(outText, outSize);
    result.Err.assign(errText, errSize);
    std::free(outText);
    std::free(errText);
    result.Summary = QJsonDocument::fromJson(QByteArray::fromStdString(result.Out)).object();
    return result;
}

/// Waits up to `seconds` for `condition`.
bool WaitFor(const std::function<bool()>& condition, double seconds = 5.0)
{
    const Clock::time_point end =
        Clock::now() + std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (Clock::now() < end)
    {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

} // namespace

TEST(HostRun, ConfiguresSyncsReceivesAndRecordsACleanRig)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout plain;
    plain.Id = 11;
    VFakeDeviceLayout tracked;
    tracked.Id = 12;
    tracked.Tracks = true;
    VFakeDeviceLayout wren;
    wren.Id = 13;
    wren.DeviceType = "WREN_MOCAP_VGA";
    wren.Protocol2 = true;
    wren.SensorWidth = 640;
    wren.SensorHeight = 480;
    VFakeDeviceLayout syncUnit;
    syncUnit.Id = 0x02000004;
    syncUnit.ClassCode = 2;
    syncUnit.DeviceType = "Vantrel";

    std::string error;
    ASSERT_TRUE(rig.Prepare(4, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 1.5;
    const testsupport::VTempDir temp;
    options.Record = temp.File("clean.x2d");
    // The first block's greyscale port is taken: the host moves on to the next block.
    VSocketSimple squatter;
    ASSERT_TRUE(squatter.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(squatter.BindToAddress(htonl(0x7F000001u),
                                       static_cast<std::uint16_t>(options.DataPortBase + 1000)));
    const VRunResult run =
        RunHost(options,
                [&] {
                    ASSERT_TRUE(rig.Start({plain, tracked, wren, syncUnit}, error)) << error;
                });

    EXPECT_EQ(run.Exit, VHostRun::ExitClean) << run.Err << run.Out;
    EXPECT_TRUE(run.Summary["ok"].toBool()) << run.Out;
    EXPECT_EQ(run.Summary["cameras"].toInt(), 3);
    EXPECT_EQ(run.Summary["devices"].toArray().size(), 4);
    EXPECT_EQ(run.Summary["master"].toDouble(), 0x02000004); // the sync unit by default
    EXPECT_EQ(run.Summary["rate"].toDouble(), 100.0);
    for (std::uint32_t id : {11u, 12u, 13u})
    {
        const QJsonObject device = Device(run.Summary, id);
        EXPECT_EQ(device["control"].toString(), "ready");
        EXPECT_GT(device["frames"].toDouble(), 100.0) << id;
        EXPECT_NEAR(device["frames_per_second"].toDouble(), 100.0, 15.0) << id;
        EXPECT_EQ(device["lost"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["out_of_order"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["malformed"].toDouble(), 0.0) << id;
        EXPECT_GE(device["status_datagrams"].toDouble(), 1.0) << id;
    }
    EXPECT_EQ(Device(run.Summary, 11)["centroids_per_frame"].toDouble(), 3.0);
    EXPECT_EQ(Device(run.Summary, 12)["tracks_per_frame"].toDouble(), 3.0);
    EXPECT_EQ(Device(run.Summary, 13)["protocol"].toInt(), 2);
    const QJsonObject sync = Device(run.Summary, 0x02000004);
    EXPECT_GT(sync["frames"].toDouble(), 100.0);
    EXPECT_EQ(sync["lost"].toDouble(), 0.0);
    EXPECT_EQ(sync["last_timecode"].toString().left(3), "10:");
    const QJsonObject analogue = sync["streams"].toObject()["primary"].toObject();
    EXPECT_GT(analogue["frames"].toDouble(), 100.0);
    EXPECT_EQ(analogue["bytes"].toDouble(), analogue["frames"].toDouble() * (1600 + 44));
    EXPECT_EQ(analogue["incomplete"].toDouble(), 0.0);

    // Configured over the shell in order, with its own block of ports past the taken one.
    const std::vector<std::string> commands = rig.GetCommands(0);
    ASSERT_EQ(commands.size(), 4u);
    EXPECT_EQ(commands[0], "info");
    EXPECT_EQ(commands[1].rfind("notify data " + std::to_string(options.DataPortBase + 11), 0), 0u)
        << commands[1];
    EXPECT_EQ(commands[2], "portset " + std::to_string(options.DataPortBase + 10));
    EXPECT_EQ(commands[3], "datadisable false");
    EXPECT_NE(run.Err.find("data ports " + std::to_string(options.DataPortBase) +
                           " and up cannot be used"),
              std::string::npos)
        << run.Err;
    // At the end the rig was told to stop; the datagram may still be on its way.
    for (int i = 0; i < 200 && rig.GetMaster(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(rig.GetMaster());

    // The recording holds what the wire carried, cameras by device id.
    VX2DTrialReader reader(options.Record);
    ASSERT_TRUE(reader.IsOpen());
    const VTrialInfo info = reader.GetInfo();
    ASSERT_EQ(info.Cameras.size(), 3u);
    EXPECT_EQ(info.Cameras[0].CameraId, 11u);
    EXPECT_EQ(info.Cameras[2].CameraId, 13u);
    EXPECT_EQ(info.Cameras[2].TypeName, "WREN_MOCAP_VGA");
    EXPECT_EQ(info.Cameras[2].SensorWidth, 640u);
    EXPECT_GT(reader.GetFrameCount(), 100u);
    const QJsonObject recording = run.Summary["recording"].toObject();
    EXPECT_EQ(recording["frames"].toDouble(), reader.GetFrameCount());
    VTrialFrame frame;
    ASSERT_TRUE(reader.ReadFrame(reader.GetFrameCount() / 2, frame));
    ASSERT_EQ(frame.Cameras.size(), 3u);
    ASSERT_EQ(frame.Cameras[0].Centroids.size(), 3u);
    EXPECT_EQ(frame.Cameras[0].Centroids[2].X, FakeCentroidX(frame.FrameNumber, 2));
    EXPECT_EQ(frame.Cameras[0].Centroids[2].Y, 200.25);
    EXPECT_EQ(frame.Cameras[0].Centroids[2].Fraction, 0.5);
    EXPECT_TRUE(frame.Cameras[0].Tracks.empty());
    ASSERT_EQ(frame.Cameras[1].Tracks.size(), 3u);
    EXPECT_EQ(frame.Cameras[1].Tracks[1].Id, 2);
    // Protocol 1 keeps the blob; protocol 2 carries segments only, one blob each.
    ASSERT_EQ(frame.Cameras[0].Blobs.size(), 1u);
    EXPECT_EQ(frame.Cameras[0].Blobs[0].Flag, 1u);
    ASSERT_EQ(frame.Cameras[0].Blobs[0].Lines.size(), 2u);
    EXPECT_EQ(frame.Cameras[0].Blobs[0].Lines[1].Pixels.back(),
              static_cast<std::uint8_t>(frame.FrameNumber));
    EXPECT_EQ(frame.Cameras[2].Blobs.size(), 2u);
    EXPECT_TRUE(frame.Cameras[2].Centroids.empty());
    EXPECT_EQ(frame.Cameras[2].Edges.size(), 2u);

    // The sync unit's analogue card was set up too, and its frames recorded beside: 800
    // instants of channel 0 each (block 0; the other 63 blocks empty).
    const std::vector<std::string> unitCommands = rig.GetCommands(3);
    ASSERT_EQ(unitCommands.size(), 7u);
    EXPECT_EQ(unitCommands[3], "samplerate -s 0 3 45000");
    EXPECT_EQ(unitCommands[4], "anactl -a on");
    EXPECT_EQ(unitCommands[5], "capture on");
    EXPECT_EQ(unitCommands[6], "datadisable false");
    const QJsonObject card = sync["analogue"].toObject();
    EXPECT_EQ(card["instants_per_frame"].toInt(), 800);
    EXPECT_EQ(card["channels"].toInt(), 1);
    const std::string analoguePath = recording["analogue_path"].toString().toStdString();
    VX1DTrialReader analogueReader(analoguePath);
    ASSERT_TRUE(analogueReader.IsOpen()) << analoguePath;
    EXPECT_EQ(analogueReader.GetInfo().DeviceCount, 1u);
    EXPECT_GT(analogueReader.GetFrameCount(), 100u);
    ASSERT_TRUE(analogueReader.ReadFrame(analogueReader.GetFrameCount() / 2, frame));
    ASSERT_EQ(frame.Devices.size(), 1u);
    ASSERT_EQ(frame.Devices[0].Blocks.size(), 64u);
    EXPECT_EQ(frame.Devices[0].Blocks[0].size(), 1600u);
    EXPECT_TRUE(frame.Devices[0].Blocks[1].empty());
    std::filesystem::remove(analoguePath);
}

TEST(HostRun, CamerasAloneAreToldTheGreyAndCoordModesAskedFor)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout camera;
    camera.Id = 21;
    VFakeDeviceLayout syncUnit;
    syncUnit.Id = 0x02000002;
    syncUnit.ClassCode = 2;
    syncUnit.DeviceType = "Vantrel";
    std::string error;
    ASSERT_TRUE(rig.Prepare(2, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 0.5;
    ASSERT_TRUE(ParseRunCommandLine({"--greymode", "none", "--coordmode", "only"}, options, error))
        << error;
    const VRunResult run = RunHost(options,
                                   [&] {
                                       ASSERT_TRUE(rig.Start({camera, syncUnit}, error)) << error;
                                   });
    EXPECT_EQ(run.Exit, VHostRun::ExitClean) << run.Err << run.Out;

    // The camera hears both words after "info" and before its data port; the sync unit,
    // whose shell has no such words, hears neither.
    const std::vector<std::string> commands = rig.GetCommands(0);
    ASSERT_GE(commands.size(), 5u);
    EXPECT_EQ(commands[0], "info");
    EXPECT_EQ(commands[1], "greymode none");
    EXPECT_EQ(commands[2], "coordmode only");
    EXPECT_EQ(commands[3].rfind("notify data ", 0), 0u) << commands[3];
    for (const std::string& command : rig.GetCommands(1))
        EXPECT_EQ(command.find("mode"), std::string::npos) << command;

    // Only the words a camera's shell takes are accepted.
    VRunOptions refused;
    EXPECT_FALSE(ParseRunCommandLine({"--coordmode", "all"}, refused, error));
    EXPECT_NE(error.find("--coordmode"), std::string::npos) << error;
    EXPECT_FALSE(ParseRunCommandLine({"--greymode", "off"}, refused, error));
}

TEST(HostRun, CountsLostFramesAndStopsWhenTheRigFallsSilent)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout lossy;
    lossy.Id = 21;
    lossy.DropFrame = 30;
    VFakeDeviceLayout steady;
    steady.Id = 22;
    std::string error;
    ASSERT_TRUE(rig.Prepare(4, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 15.0; // only a bound: the silence must end the run long before
    Clock::time_point killed{};
    const VRunResult run = RunHost(options,
                                   [&]
                                   {
                                       ASSERT_TRUE(rig.Start({lossy, steady}, error)) << error;
                                       ASSERT_TRUE(WaitFor([&] { return rig.GetTicks() > 60; }))
                                           << "the rig never ran";
                                       killed = Clock::now();
                                       rig.Kill();
                                   });
    const double afterKill = std::chrono::duration<double>(Clock::now() - killed).count();

    EXPECT_EQ(run.Exit, VHostRun::ExitProblems) << run.Err;
    EXPECT_LT(afterKill, 2.0) << "the host took too long to notice";
    EXPECT_EQ(run.Summary["stop_reason"].toString(), "every device fell silent");
    EXPECT_NE(run.Err.find("device 21 fell silent"), std::string::npos) << run.Err;
    const QJsonObject lossyDevice = Device(run.Summary, 21);
    EXPECT_EQ(lossyDevice["lost"].toDouble(), 1.0);
    EXPECT_TRUE(lossyDevice["silent"].toBool());
    EXPECT_EQ(Device(run.Summary, 22)["lost"].toDouble(), 0.0);
    const QJsonArray problems = run.Summary["problems"].toArray();
    EXPECT_TRUE(problems.contains("device 21: 1 frames lost")) << run.Out;
}

TEST(HostRun, RepeatedDatagramsAreDuplicatesButASteadySignalIsNot)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout camera;
    camera.Id = 31;
    camera.RepeatFrame = 20;
    // Both sync units' two sample datagrams are the same bytes in every frame; in frame 20 the
    // second unit's first one also arrives twice.
    VFakeDeviceLayout steady;
    steady.Id = 0x02000002;
    steady.ClassCode = 2;
    steady.SteadyAnalogue = true;
    VFakeDeviceLayout steadyRepeated = steady;
    steadyRepeated.Id = 0x02000003;
    steadyRepeated.RepeatFrame = 20;
    std::string error;
    ASSERT_TRUE(rig.Prepare(3, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 1.0;
    options.Record = testing::TempDir() + "steady_" + std::to_string(getpid()) + ".x2d";
    const VRunResult run =
        RunHost(options,
                [&] {
                    ASSERT_TRUE(rig.Start({camera, steady, steadyRepeated}, error)) << error;
                });
    std::remove(options.Record.c_str());
    std::remove((options.Record.substr(0, options.Record.size() - 4) + ".x1d").c_str());

    EXPECT_EQ(run.Exit, VHostRun::ExitProblems) << run.Err;
    for (const std::uint32_t id : {31u, 0x02000002u, 0x02000003u})
    {
        const QJsonObject device = Device(run.Summary, id);
        EXPECT_GT(device["frames"].toDouble(), 50.0) << id;
        EXPECT_EQ(device["duplicated"].toDouble(), id == 0x02000002u ? 0.0 : 1.0) << id << run.Out;
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0) << id << run.Out;
        EXPECT_EQ(device["out_of_order"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["lost"].toDouble(), 0.0) << id;
    }
    const QJsonArray problems = run.Summary["problems"].toArray();
    EXPECT_TRUE(problems.contains("device 31: 1 datagrams duplicated")) << run.Out;
    EXPECT_EQ(run.Summary["recording"].toObject()["partial_frames"].toDouble(), 0.0) << run.Out;
}

TEST(HostRun, ShellsThatNeverAnswerAreReportedWhileTheOthersStream)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout good;
    good.Id = 31;
    VFakeDeviceLayout mute;
    mute.Id = 32;
    mute.Shell = VFakeDeviceLayout::EShell::NeverGreets;
    VFakeDeviceLayout deaf;
    deaf.Id = 33;
    deaf.Shell = VFakeDeviceLayout::EShell::NeverAnswers;
    std::string error;
    ASSERT_TRUE(rig.Prepare(4, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.ShellTimeoutMs = 300;
    options.Duration = 1.0;
    const VRunResult run = RunHost(options,
                                   [&] {
                                       ASSERT_TRUE(rig.Start({good, mute, deaf}, error)) << error;
                                   });

    EXPECT_EQ(run.Exit, VHostRun::ExitProblems);
    EXPECT_LT(run.Seconds, 8.0);
    EXPECT_EQ(Device(run.Summary, 31)["control"].toString(), "ready");
    EXPECT_GT(Device(run.Summary, 31)["frames"].toDouble(), 50.0);
    EXPECT_EQ(Device(run.Summary, 31)["lost"].toDouble(), 0.0);
    const QJsonObject muteDevice = Device(run.Summary, 32);
    EXPECT_EQ(muteDevice["control"].toString(), "failed");
    EXPECT_NE(muteDevice["control_error"].toString().toStdString().find(
                  "no greeting from 127.0.0.1:" + std::to_string(rig.GetShellPortBase() + 2) +
                  ": nothing within 300 ms"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(Device(run.Summary, 33)["control_error"].toString().toStdString().find(
                  "no reply to \"info\""),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Err.find("device 33 cannot be configured: no reply to \"info\""),
              std::string::npos)
        << run.Err;
}

TEST(HostRun, APortInUseIsReportedClearly)
{
    VSocketSimple squatter;
    ASSERT_TRUE(squatter.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(squatter.BindToAddress(htonl(0x7F000001u), 0));
    VRunOptions options;
    options.Hal = VNetAddress(0x7F000001u);
    options.DiscoveryPort = squatter.GetLocalPort();
    options.Wait = 1.0;
    std::atomic<bool> stop{false};
    char* errText = nullptr;
    std::size_t errSize = 0;
    std::FILE* err = open_memstream(&errText, &errSize);
    VHostRun run(options, stop, stdout, err);
    EXPECT_EQ(run.Run(), VHostRun::ExitCannotStart);
    std::fclose(err);
    const std::string message(errText, errSize);
    std::free(errText);
    EXPECT_EQ(message, "tsmhost: cannot listen for devices on UDP 127.0.0.1:" +
                           std::to_string(options.DiscoveryPort) +
                           ": Address already in use (is another tsmhost or capture host "
                           "running?)\n");
    // A HAL address this machine does not have.
    options.Hal = VNetAddress(0xC0000201u + 250); // 192.0.2.251, a documentation address
    err = open_memstream(&errText, &errSize);
    VHostRun foreign(options, stop, stdout, err);
    EXPECT_EQ(foreign.Run(), VHostRun::ExitCannotStart);
    std::fclose(err);
    EXPECT_NE(std::string(errText, errSize).find("is it an address of this machine?"),
              std::string::npos);
    std::free(errText);
}

TEST(HostRun, MalformedDatagramsAreCountedAndSurvived)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout camera;
    camera.Id = 41;
    std::string error;
    ASSERT_TRUE(rig.Prepare(4, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 1.5;
    const VRunResult run =
        RunHost(options,
                [&]
                {
                    ASSERT_TRUE(rig.Start({camera}, error)) << error;
                    ASSERT_TRUE(WaitFor([&] { return rig.GetTicks() > 10; }));
                    VSocketSimple sender;
                    sender.Create(VSocketSimple::KindDatagram);
                    const std::uint32_t host = htonl(0x7F000001u);
                    const std::uint8_t shortOne[3] = {1, 2, 3};
                    const std::uint8_t cutAwake[12] = {0x00, 0x04, 0x00, 0x06};
                    const std::uint8_t unknown[32] = {0x12, 0x34};
                    sender.SendTo(shortOne, sizeof(shortOne), host, discovery);
                    sender.SendTo(cutAwake, sizeof(cutAwake), host, discovery);
                    sender.SendTo(unknown, sizeof(unknown), host, discovery);
                    sender.SendTo(nullptr, 0, host, discovery);
                    // Garbage on the camera's centroid and status ports.
                    const std::uint16_t data = rig.GetDataPort(0);
                    std::uint8_t garbage[100];
                    for (std::size_t i = 0; i < sizeof(garbage); ++i)
                        garbage[i] = static_cast<std::uint8_t>(i * 37);
                    sender.SendTo(garbage, sizeof(garbage), host, data);
                    sender.SendTo(garbage, 5, host, static_cast<std::uint16_t>(data + 1));
                });

    EXPECT_EQ(run.Exit, VHostRun::ExitProblems) << run.Err;
    EXPECT_EQ(run.Summary["discovery_malformed"].toDouble(), 4.0) << run.Out;
    EXPECT_NE(run.Err.find("discovery port: ignored a datagram of 12 bytes: AWAKE cut short"),
              std::string::npos)
        << run.Err;
    const QJsonObject device = Device(run.Summary, 41);
    EXPECT_EQ(device["malformed"].toDouble(), 2.0) << run.Out;
    EXPECT_GT(device["frames"].toDouble(), 100.0);
    EXPECT_EQ(device["lost"].toDouble(), 0.0);
}

TEST(HostRun, ADeviceWhoseAwakeWentUnheardIsAskedToAnnounceItself)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout camera;
    camera.Id = 51;
    std::string error;
    // The rig runs before the host listens: its AWAKE goes nowhere.
    ASSERT_TRUE(rig.Start({camera}, error)) << error;
    ASSERT_TRUE(WaitFor([&] { return rig.GetAliveTicks(0) >= 2; }));
    VRunOptions options = Options(discovery, rig);
    options.Duration = 1.0;
    const VRunResult run = RunHost(options, {});

    EXPECT_EQ(run.Exit, VHostRun::ExitClean) << run.Err << run.Out;
    EXPECT_GE(rig.GetResets(0), 1u);
    EXPECT_NE(run.Err.find("device 51 announced no position (its AWAKE went unheard): sent RESET"),
              std::string::npos)
        << run.Err;
    EXPECT_GT(Device(run.Summary, 51)["frames"].toDouble(), 50.0);
    EXPECT_EQ(Device(run.Summary, 51)["restarts"].toDouble(), 0.0);
}

TEST(HostRun, ADeviceThatRestartsIsConfiguredAndSyncedAgain)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    VFakeDeviceLayout first;
    first.Id = 71;
    VFakeDeviceLayout second;
    second.Id = 72;
    std::string error;
    ASSERT_TRUE(rig.Prepare(2, error)) << error;
    VRunOptions options = Options(discovery, rig);
    options.Duration = 2.5;
    const VRunResult run = RunHost(options,
                                   [&]
                                   {
                                       ASSERT_TRUE(rig.Start({first, second}, error)) << error;
                                       ASSERT_TRUE(WaitFor([&] { return rig.GetTicks() > 50; }));
                                       rig.Restart(1);
                                   });

    // A restart interrupts the device's data: the run is not clean, but the device is back.
    EXPECT_EQ(run.Exit, VHostRun::ExitProblems);
    const QJsonObject restarted = Device(run.Summary, 72);
    EXPECT_EQ(restarted["restarts"].toDouble(), 1.0) << run.Out;
    EXPECT_EQ(restarted["control"].toString(), "ready");
    EXPECT_EQ(restarted["lost"].toDouble(), 0.0);
    EXPECT_NE(run.Err.find("device 72 announced itself again (AWAKE): configuring it again"),
              std::string::npos)
        << run.Err;
    EXPECT_NE(run.Err.find("device 72 joined while streaming"), std::string::npos) << run.Err;
    // Configured twice over its shell; frames flowed again afterwards.
    const std::vector<std::string> commands = rig.GetCommands(1);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), "datadisable false"), 2);
    EXPECT_GT(restarted["frames"].toDouble(), Device(run.Summary, 71)["frames"].toDouble() - 40);
    EXPECT_EQ(Device(run.Summary, 71)["restarts"].toDouble(), 0.0);
    EXPECT_EQ(Device(run.Summary, 71)["lost"].toDouble(), 0.0);
}
