// The real tsmhost program: "shell" against a fake device, "run" stopped by Ctrl-C against a
// fake rig, and the clear failures of both.
#include "FakeRig.h"

#include "net/VSocketSimple.h"
#include "support/VChildProcess.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

using namespace host_test;
using namespace testsupport;

namespace
{

struct VProgramResult
{
    int Exit = -1;
    std::string Out;
    std::string Err;
};

/// Runs tsmhost with `args`; `whileRunning` gets its process id. Waits at most 30 s.
VProgramResult RunProgram(const std::vector<std::string>& args,
                          const std::function<void(pid_t)>& whileRunning = {})
{
    std::vector<std::string> command = {TSMHOST_PATH};
    command.insert(command.end(), args.begin(), args.end());
    VChildProcess child;
    VProgramResult result;
    if (!child.Start(command))
        return result;
    if (whileRunning)
        whileRunning(child.GetPid());
    child.WaitForExit(std::chrono::seconds(30));
    result.Exit = child.ExitCode();
    result.Out = child.Stdout();
    result.Err = child.Stderr();
    return result;
}

std::string Loopback(std::uint32_t port)
{
    return "127.0.0.1:" + std::to_string(port);
}

} // namespace

TEST(TsmhostProgram, ShellSendsLinesAndPrintsReplies)
{
    VFakeRig rig(FreeUdpPort());
    VFakeDeviceLayout camera;
    camera.Id = 61;
    std::string error;
    ASSERT_TRUE(rig.Start({camera}, error)) << error;
    const VProgramResult run =
        RunProgram({"shell", Loopback(rig.GetShellPortBase() + 1), "info", "datadisable false"});
    EXPECT_EQ(run.Exit, 0) << run.Err;
    EXPECT_EQ(run.Out, "Device Type : Zt-M4\nSensor Dimensions : 2352 x 1728\nDevice ID : 61\n");
    EXPECT_EQ(rig.GetCommands(0), (std::vector<std::string>{"info", "datadisable false"}));

    // Nobody there.
    const std::uint16_t closed = FreeUdpPort(); // a TCP port nobody listens on, most likely
    const VProgramResult refused = RunProgram({"shell", Loopback(closed), "info"});
    EXPECT_EQ(refused.Exit, 1);
    EXPECT_EQ(refused.Err, "tsmhost: cannot connect to the shell at " + Loopback(closed) +
                               ": Connection refused\n");
    // Bad arguments.
    EXPECT_EQ(RunProgram({"shell", "127.0.0.1", "info"}).Exit, 2);
    EXPECT_EQ(RunProgram({"shell", Loopback(9001)}).Exit, 2);
}

TEST(TsmhostProgram, RunStopsAtCtrlCWithItsSummary)
{
    const std::uint16_t discovery = FreeUdpPort();
    VFakeRig rig(discovery);
    std::string error;
    ASSERT_TRUE(rig.Prepare(1, error)) << error;
    VFakeDeviceLayout camera;
    camera.Id = 62;
    const VProgramResult run = RunProgram(
        {"run", "--hal", "127.0.0.1", "--json", "--discovery-port", std::to_string(discovery),
         "--broadcast-port", std::to_string(rig.GetBroadcastPort()), "--shell-port-base",
         std::to_string(rig.GetShellPortBase()), "--data-port-base", std::to_string(kDataPortBase)},
        [&](pid_t pid)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ASSERT_TRUE(rig.Start({camera}, error)) << error;
            for (int i = 0; i < 500 && rig.GetTicks() < 50; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            kill(pid, SIGINT);
        });
    EXPECT_EQ(run.Exit, 0) << run.Err << run.Out;
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(run.Out)).object();
    EXPECT_TRUE(summary["ok"].toBool()) << run.Out;
    EXPECT_EQ(summary["stop_reason"].toString(), "stopped");
    // Told to stop on the way out; the datagram may still be on its way.
    for (int i = 0; i < 200 && rig.GetMaster(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(rig.GetMaster());
}

TEST(TsmhostProgram, RunRefusesBadArgumentsAndBusyPorts)
{
    const VProgramResult usage = RunProgram({"run", "--duration", "soon"});
    EXPECT_EQ(usage.Exit, 2);
    EXPECT_NE(usage.Err.find("tsmhost: bad value \"soon\" for --duration"), std::string::npos);
    EXPECT_EQ(RunProgram({"run", "--data-port-base", "70000"}).Exit, 2);
    EXPECT_EQ(RunProgram({"run", "--help"}).Exit, 0);
    EXPECT_EQ(RunProgram({"run", "--wait", "1", "--wait=2"}).Exit, 2);
    // Values after "=" are read as after a blank: with nobody there the run gives up (1).
    const VProgramResult joined =
        RunProgram({"run", "--hal=127.0.0.1", "--wait=0.2", "--duration=1",
                    "--discovery-port=" + std::to_string(FreeUdpPort())});
    EXPECT_EQ(joined.Exit, 1) << joined.Err;

    VSocketSimple squatter;
    ASSERT_TRUE(squatter.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(squatter.BindToAddress(htonl(0x7F000001u), 0));
    const VProgramResult busy = RunProgram(
        {"run", "--hal", "127.0.0.1", "--discovery-port", std::to_string(squatter.GetLocalPort())});
    EXPECT_EQ(busy.Exit, 3);
    EXPECT_NE(busy.Err.find("Address already in use (is another tsmhost or capture host running?)"),
              std::string::npos)
        << busy.Err;
}
