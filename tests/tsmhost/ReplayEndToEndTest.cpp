// End to end with the real programs on loopback: tsmtrial generates a trial, tsmCL replays
// it, tsmhost runs the rig and records it, and tsmtrial checks the recording against the
// replay; and tsmCL killed in the middle of a run. Binds the protocol's fixed ports.
#include "support/VChildProcess.h"
#include "support/VTempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;

namespace
{

using Clock = std::chrono::steady_clock;

/// Generates the 4-camera trial (tracks and greyscale included) into `path`.
void Generate(const std::string& path)
{
    VChildProcess generate;
    generate.Start({TSMTRIAL_PATH, "generate", path, "--cameras", "4", "--frames", "300", "--rate",
                    "100", "--quiet"});
    generate.WaitForExit(60s);
    ASSERT_EQ(generate.ExitCode(), 0) << generate.Stderr();
}

/// Generates an analogue trial of 8 channels sampled at 1000 Hz into `path`.
void GenerateAnalogue(const std::string& path)
{
    VChildProcess generate;
    generate.Start({TSMTRIAL_PATH, "generate", path, "--channels", "8", "--frames", "250", "--rate",
                    "100", "--sample-rate", "1000", "--quiet"});
    generate.WaitForExit(60s);
    ASSERT_EQ(generate.ExitCode(), 0) << generate.Stderr();
}

/// Starts tsmCL on loopback replaying `trial` (and `analogue`, when given), and waits until
/// it runs.
std::unique_ptr<VChildProcess> StartSimulator(const std::string& trial,
                                              const std::string& analogue = {})
{
    std::vector<std::string> arguments{TSMCL_PATH,  "-localip", "127.0.0.1", "-halip",
                                       "127.0.0.1", "-x2d",     trial};
    if (!analogue.empty())
        arguments.insert(arguments.end(), {"-x1d", analogue});
    auto simulator = std::make_unique<VChildProcess>();
    simulator->Start(arguments);
    simulator->WaitForOutput("Press Ctrl-C", 10s);
    return simulator;
}

} // namespace

TEST(ReplayEndToEnd, TheRecordingOfAReplayMatchesItsTrial)
{
    VTempDir work;
    const std::string trial = work.File("trial.x2d");
    const std::string recording = work.File("rec.x2d");
    Generate(trial);
    const std::unique_ptr<VChildProcess> simulator = StartSimulator(trial);
    ASSERT_NE(simulator->Stdout().find("Press Ctrl-C"), std::string::npos)
        << "tsmCL did not start:\n"
        << simulator->Stdout() << simulator->Stderr();

    VChildProcess host;
    host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "5", "--json", "--record",
                recording});
    host.WaitForExit(60s);
    const int hostExit = host.ExitCode();
    simulator->Signal(SIGINT);
    simulator->WaitForExit(10s);
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    ASSERT_EQ(hostExit, 0) << host.Stderr() << host.Stdout() << "\ntsmCL:\n" << simulator->Stdout();
    EXPECT_EQ(simulator->ExitCode(), 0) << "tsmCL after Ctrl-C:\n" << simulator->Stderr();
    // A clean run recorded complete frames only: none with a camera missing, none dropped.
    const QJsonObject recorded = summary["recording"].toObject();
    EXPECT_EQ(recorded["partial_frames"].toDouble(), 0.0) << host.Stdout();
    EXPECT_EQ(recorded["dropped_frames"].toDouble(), 0.0) << host.Stdout();
    EXPECT_EQ(summary["cameras"].toInt(), 4);
    EXPECT_EQ(summary["rate"].toDouble(), 100.0); // the trial's rate
    double received = 0.0;
    int syncUnits = 0;
    for (const QJsonValue& value : summary["devices"].toArray())
    {
        const QJsonObject device = value.toObject();
        // The trial's start timecode brings its sync unit beside the cameras.
        syncUnits += device["class"].toString() == "control" ? 1 : 0;
        EXPECT_NEAR(device["frames_per_second"].toDouble(), 100.0, 5.0);
        EXPECT_EQ(device["lost"].toDouble(), 0.0);
        EXPECT_EQ(device["out_of_order"].toDouble(), 0.0);
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0);
        received = std::max(received, device["frames"].toDouble());
    }
    EXPECT_GT(received, 400.0);
    EXPECT_EQ(syncUnits, 1);

    VChildProcess diff;
    diff.Start({TSMTRIAL_PATH, "diff", trial, recording, "--replay"});
    diff.WaitForExit(60s);
    ASSERT_EQ(diff.ExitCode(), 0) << diff.Stdout() << diff.Stderr();
    // "<n> recorded frames: <m> compared"
    const std::string report = diff.Stdout();
    const size_t marker = report.find(" recorded frames: ");
    ASSERT_NE(marker, std::string::npos) << report;
    const double compared = std::strtod(report.c_str() + marker + 18, nullptr);
    EXPECT_GE(compared, 0.9 * received) << report;
}

TEST(ReplayEndToEnd, BothTrialsReplayedWithTheirSyncUnits)
{
    VTempDir work;
    const std::string trial = work.File("trial.x2d");
    const std::string analogue = work.File("analogue.x1d");
    const std::string recording = work.File("rec.x2d");
    Generate(trial);
    GenerateAnalogue(analogue);
    const std::unique_ptr<VChildProcess> simulator = StartSimulator(trial, analogue);
    ASSERT_NE(simulator->Stdout().find("Press Ctrl-C"), std::string::npos)
        << "tsmCL did not start:\n"
        << simulator->Stdout() << simulator->Stderr();

    // 3000 Hz keeps all 64 channels: 30 instants a frame from the file's 10.
    VChildProcess host;
    host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "5", "--json", "--record",
                recording, "--analogue-rate", "3000"});
    host.WaitForExit(60s);
    const int hostExit = host.ExitCode();
    simulator->Signal(SIGINT);
    simulator->WaitForExit(10s);
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    ASSERT_EQ(hostExit, 0) << host.Stderr() << host.Stdout() << "\ntsmCL:\n" << simulator->Stdout();
    EXPECT_EQ(summary["cameras"].toInt(), 4);
    EXPECT_EQ(summary["master"].toDouble(), 0x02000001); // the X1D file's sync unit
    const QJsonArray devices = summary["devices"].toArray();
    ASSERT_EQ(devices.size(), 6);
    for (const QJsonValue& value : devices)
    {
        const QJsonObject device = value.toObject();
        const double id = device["id"].toDouble();
        EXPECT_NEAR(device["frames_per_second"].toDouble(), 100.0, 5.0) << id;
        EXPECT_GT(device["frames"].toDouble(), 400.0) << id;
        EXPECT_EQ(device["lost"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["out_of_order"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0) << id;
        EXPECT_EQ(device["malformed"].toDouble(), 0.0) << id;
    }

    auto byId = [&devices](double id)
    {
        for (const QJsonValue& value : devices)
        {
            if (value.toObject()["id"].toDouble() == id)
                return value.toObject();
        }
        ADD_FAILURE() << "no device " << id;
        return QJsonObject();
    };

    // The X1D unit at position 1 sent the analogue frames as configured.
    const QJsonObject unit = byId(0x02000001);
    EXPECT_EQ(unit["position"].toInt(), 1);
    const QJsonObject card = unit["analogue"].toObject();
    EXPECT_EQ(card["instants_per_frame"].toInt(), 30);
    EXPECT_EQ(card["mean_instants_per_frame"].toDouble(), 30.0);
    EXPECT_EQ(card["channels"].toInt(), 64);
    EXPECT_EQ(card["channel_mask"].toString(), "0xffffffffffffffff");
    EXPECT_NEAR(card["samples_per_second"].toDouble(), 3000.0, 150.0);
    // The X2D unit after the cameras sent consecutive timecode.
    const QJsonObject timecode = byId(0x02000006);
    EXPECT_EQ(timecode["position"].toInt(), 6);
    EXPECT_EQ(timecode["timecode_jumps"].toDouble(), 0.0);
    EXPECT_GT(timecode["streams"].toObject()["timecode"].toObject()["frames"].toDouble(), 400.0);
    EXPECT_EQ(timecode["last_timecode"].toString().left(6), "10:00:")
        << timecode["last_timecode"].toString().toStdString();
    EXPECT_EQ(timecode["timecode_standard"].toDouble(), 0x211F0000); // PAL
    EXPECT_TRUE(timecode["analogue"].isNull());

    const std::string analogueRecording = work.File("rec.x1d");
    EXPECT_EQ(summary["recording"].toObject()["analogue_path"].toString().toStdString(),
              analogueRecording);
    for (const auto& [source, recorded] :
         {std::pair{trial, recording}, std::pair{analogue, analogueRecording}})
    {
        VChildProcess diff;
        diff.Start({TSMTRIAL_PATH, "diff", source, recorded, "--replay"});
        diff.WaitForExit(60s);
        EXPECT_EQ(diff.ExitCode(), 0) << diff.Stdout() << diff.Stderr();
        EXPECT_NE(diff.Stdout().find("The recording matches the replay"), std::string::npos)
            << diff.Stdout();
    }
}

TEST(ReplayEndToEnd, KillingTheSimulatorMidRunIsNoticedAtOnce)
{
    VTempDir work;
    const std::string trial = work.File("trial.x2d");
    Generate(trial);
    const std::unique_ptr<VChildProcess> simulator = StartSimulator(trial);
    VChildProcess host;
    host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "30", "--json"});
    // Let the rig stream for a while, then kill the simulator without warning.
    const Clock::time_point end = Clock::now() + std::chrono::seconds(15);
    while (Clock::now() < end && host.Stderr().find("sent MASTER") == std::string::npos)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Clock::time_point killed = Clock::now();
    simulator->Signal(SIGKILL);
    simulator->WaitForExit(5s);
    host.WaitForExit(10s);
    const int hostExit = host.ExitCode();
    const double seconds = std::chrono::duration<double>(Clock::now() - killed).count();

    EXPECT_NE(hostExit, 0);
    EXPECT_NE(hostExit, -1) << "tsmhost hung";
    EXPECT_LT(seconds, 2.5);
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    EXPECT_EQ(summary["stop_reason"].toString(), "every device fell silent") << host.Stdout();
    for (const QJsonValue& device : summary["devices"].toArray())
        EXPECT_TRUE(device.toObject()["silent"].toBool());
    EXPECT_NE(host.Stderr().find("fell silent: nothing heard for 1.0 s"), std::string::npos)
        << host.Stderr();
}

// A stage-sized rig with the real programs: 16 cameras of 100 markers each with their default
// greyscale streams, 100 Hz for 3 s, recorded by the host and checked against the trial.
TEST(ReplayEndToEnd, SixteenCamerasOfAHundredMarkersReplayWithoutLoss)
{
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a stage-sized rig at its rate needs an optimised build";
#endif
    VTempDir work;
    const std::string trial = work.File("stage.x2d");
    const std::string recording = work.File("stage-rec.x2d");
    VChildProcess generate;
    generate.Start({TSMTRIAL_PATH, "generate", trial, "--cameras", "16", "--markers", "100",
                    "--frames", "100", "--timecode", "none", "--quiet"});
    generate.WaitForExit(120s);
    ASSERT_EQ(generate.ExitCode(), 0) << generate.Stderr();
    const std::unique_ptr<VChildProcess> simulator = StartSimulator(trial);

    VChildProcess host;
    host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "3", "--json", "--record",
                recording});
    host.WaitForExit(60s);
    simulator->Signal(SIGINT);
    simulator->WaitForExit(10s);
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    ASSERT_EQ(host.ExitCode(), 0) << host.Stderr() << host.Stdout();
    EXPECT_EQ(summary["cameras"].toInt(), 16);
    for (const QJsonValue& value : summary["devices"].toArray())
    {
        const QJsonObject device = value.toObject();
        EXPECT_NEAR(device["frames_per_second"].toDouble(), 100.0, 2.0) << device["id"].toInt();
        EXPECT_EQ(device["lost"].toDouble(), 0.0);
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0);
        EXPECT_GT(device["centroids_per_frame"].toDouble(), 50.0);
    }

    VChildProcess diff;
    diff.Start({TSMTRIAL_PATH, "diff", trial, recording, "--replay"});
    diff.WaitForExit(120s);
    EXPECT_EQ(diff.ExitCode(), 0) << diff.Stdout() << diff.Stderr();
}
