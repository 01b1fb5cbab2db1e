// Two rigs side by side on one machine, each with a host of its own, as a host's CI runs
// them: rig A on 127.0.0.1 with its HAL on 127.0.0.3, rig B on 127.0.0.2 with 127.0.0.4. Both
// use the protocol's fixed ports, each on its own addresses.
#include "support/VChildProcess.h"
#include "support/VTempDir.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>

using namespace testsupport;
using namespace std::chrono_literals;

namespace
{

struct VRigAddresses
{
    const char* Local;
    const char* Hal;
};

constexpr VRigAddresses kRigA{"127.0.0.1", "127.0.0.3"};
constexpr VRigAddresses kRigB{"127.0.0.2", "127.0.0.4"};

std::unique_ptr<VChildProcess> StartRig(const VRigAddresses& rig, const std::string& trial)
{
    auto process = std::make_unique<VChildProcess>();
    process->Start({TSMCL_PATH, "-localip", rig.Local, "-halip", rig.Hal, "-x2d", trial});
    process->WaitForOutput("Press Ctrl-C", 10s);
    return process;
}

std::unique_ptr<VChildProcess> StartHost(const VRigAddresses& rig)
{
    auto process = std::make_unique<VChildProcess>();
    process->Start({TSMHOST_PATH, "run", "--hal", rig.Hal, "--duration", "3", "--json"});
    return process;
}

/// Sends one FRAME_NUMBER from `rig`'s HAL to `rig`'s own address.
void SendFrameNumber(const VRigAddresses& rig, int frame)
{
    VChildProcess send;
    send.Start({TSMHOST_PATH, "broadcast", "frame-number", "--frame", std::to_string(frame),
                "--hal", rig.Hal, "--to", rig.Local});
    send.WaitForExit(10s);
    ASSERT_EQ(send.ExitCode(), 0) << send.Stderr();
}

std::string FrameNumberLine(int frame)
{
    return "Received broadcast command: 00070001 (BROADCAST_CMD_FRAME_NUMBER, frame = " +
           std::to_string(frame) + ")";
}

/// Every device the host's summary names comes from `rig` and streamed without a fault.
void ExpectOnlyItsRig(const VChildProcess& host, const VRigAddresses& rig)
{
    SCOPED_TRACE(std::string("host of ") + rig.Hal);
    const QJsonObject summary =
        QJsonDocument::fromJson(QByteArray::fromStdString(host.Stdout())).object();
    EXPECT_EQ(host.ExitCode(), 0) << host.Stderr() << host.Stdout();
    const QJsonArray devices = summary["devices"].toArray();
    std::set<int> ids;
    for (const QJsonValue& value : devices)
    {
        const QJsonObject device = value.toObject();
        ids.insert(device["id"].toInt());
        EXPECT_EQ(device["address"].toString().toStdString(), rig.Local);
        EXPECT_EQ(device["control"].toString().toStdString(), "ready");
        EXPECT_GT(device["frames"].toDouble(), 150.0);
        EXPECT_EQ(device["lost"].toDouble(), 0.0);
        EXPECT_EQ(device["out_of_order"].toDouble(), 0.0);
        EXPECT_EQ(device["incomplete"].toDouble(), 0.0);
        EXPECT_EQ(device["duplicated"].toDouble(), 0.0);
    }
    // The trial's two cameras, once each: the other rig's devices carry the same ids.
    EXPECT_EQ(devices.size(), 2);
    EXPECT_EQ(ids.size(), 2u);
}

} // namespace

TEST(TwoRigs, EachHostSeesExactlyItsOwnRig)
{
    VTempDir work;
    const std::string trial = work.File("trial.x2d");
    VChildProcess generate;
    generate.Start({TSMTRIAL_PATH, "generate", trial, "--cameras", "2", "--markers", "5",
                    "--frames", "200", "--timecode", "none", "--quiet"});
    generate.WaitForExit(60s);
    ASSERT_EQ(generate.ExitCode(), 0) << generate.Stderr();

    const std::unique_ptr<VChildProcess> rigA = StartRig(kRigA, trial);
    const std::unique_ptr<VChildProcess> rigB = StartRig(kRigB, trial);
    ASSERT_NE(rigA->Stdout().find("Press Ctrl-C"), std::string::npos) << rigA->Stderr();
    ASSERT_NE(rigB->Stdout().find("Press Ctrl-C"), std::string::npos) << rigB->Stderr();
    // Both rigs own every port they need: nothing to say on standard error.
    EXPECT_EQ(rigA->Stderr(), "");
    EXPECT_EQ(rigB->Stderr(), "");

    const std::unique_ptr<VChildProcess> hostA = StartHost(kRigA);
    const std::unique_ptr<VChildProcess> hostB = StartHost(kRigB);
    hostA->WaitForExit(60s);
    hostB->WaitForExit(60s);
    ExpectOnlyItsRig(*hostA, kRigA);
    ExpectOnlyItsRig(*hostB, kRigB);

    // A command sent to one rig's address reaches that rig alone. Loopback keeps the order, so
    // once each rig has logged its own command it has seen every datagram meant for it.
    SendFrameNumber(kRigA, 7001);
    SendFrameNumber(kRigB, 7002);
    EXPECT_TRUE(rigA->WaitForOutput(FrameNumberLine(7001), 10s)) << rigA->Stdout();
    EXPECT_TRUE(rigB->WaitForOutput(FrameNumberLine(7002), 10s)) << rigB->Stdout();
    EXPECT_EQ(rigA->Stdout().find(FrameNumberLine(7002)), std::string::npos);
    EXPECT_EQ(rigB->Stdout().find(FrameNumberLine(7001)), std::string::npos);
}
