// A short demo run captured on loopback by dumpcap, decoded with the dissector and compared
// with what tsmhost saw of the same run (its --json summary).
#include "TsharkJson.h"

#include "support/VChildProcess.h"
#include "tsmhost/HostPorts.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <thread>

namespace
{

/// tsmhost's data ports for this run, away from the ports that other tests pick.
constexpr long kDataPortBase = 45000;

using testsupport::VChildProcess;
using wireshark_test::Value;
using wireshark_test::Values;

long FileSize(const std::string& path)
{
    struct stat info = {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

/// The ports of this run: the rig's protocol ports (discovery, preview, broadcast, the shells
/// from 9000) and every stream port of each device's data port in tsmhost's `summary`.
std::set<long> RunPorts(const nlohmann::json& summary)
{
    std::set<long> ports = {HostPorts::Discovery, 8574, 8666};
    for (long shell = HostPorts::ShellBase; shell < HostPorts::ShellBase + 100; ++shell)
        ports.insert(shell);
    for (const nlohmann::json& device : summary["devices"])
    {
        if (!device["data_port"].is_number())
            continue;
        for (const HostPorts::EStreamRole role : HostPorts::AllRoles)
            ports.insert(device["data_port"].get<long>() + HostPorts::RoleOffset(role));
    }
    return ports;
}

/// Whether a decoded packet is this run's: one of its ends is one of `ports`. Other tests send
/// on loopback meanwhile, to ports of their own choosing (some in the range of tsmhost's).
bool IsThisRunsPacket(const nlohmann::json& layers, const std::set<long>& ports)
{
    for (const char* field : {"udp.srcport", "udp.dstport", "tcp.srcport", "tcp.dstport"})
    {
        const std::string text = Value(layers, field);
        if (!text.empty() && ports.count(std::stol(text)) != 0)
            return true;
    }
    return false;
}

/// Waits until `done` holds, up to `seconds`.
template <typename Condition> bool WaitFor(double seconds, Condition done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace

TEST(WiresharkCapture, DecodedDemoRunAgreesWithTsmhost)
{
    const std::string tshark = wireshark_test::FindProgram("tshark");
    const std::string dumpcap = wireshark_test::FindProgram("dumpcap");
    if (tshark.empty() || dumpcap.empty())
        GTEST_SKIP() << "tshark or dumpcap is not installed (apt-get install tshark): the "
                        "capture test needs both";
    const std::string path = testing::TempDir() + "tsm_capture_" + std::to_string(getpid());
    const std::string capture = path + ".pcapng";

    // dumpcap writes its file header as soon as it captures; without the permission to
    // capture it ends at once.
    VChildProcess capturer;
    ASSERT_TRUE(capturer.Start({dumpcap, "-q", "-i", "lo", "-f", "udp or tcp", "-w", capture}));
    if (!WaitFor(5.0, [&] { return FileSize(capture) > 0; }))
    {
        capturer.WaitForExit(std::chrono::seconds(1));
        const int exit = capturer.ExitCode();
        GTEST_SKIP() << "capture on lo is not permitted here (dumpcap exit " << exit
                     << "): " << capturer.Stderr();
    }

    VChildProcess rig;
    rig.Start({TSMCL_PATH, "-localip", "127.0.0.1", "-halip", "127.0.0.1", "-x2d", TSM_SAMPLE_X2D,
               "-x1d", TSM_SAMPLE_X1D});
    ASSERT_TRUE(
        WaitFor(10.0, [&] { return rig.Stdout().find("Press Ctrl-C") != std::string::npos; }))
        << rig.Stdout() << rig.Stderr();
    VChildProcess host;
    host.Start({TSMHOST_PATH, "run", "--hal", "127.0.0.1", "--duration", "2", "--json",
                "--data-port-base", std::to_string(kDataPortBase)});
    host.WaitForExit(std::chrono::seconds(30));
    const int hostExit = host.ExitCode();
    rig.Signal(SIGTERM);
    rig.WaitForExit(std::chrono::seconds(10));
    // dumpcap writes what the kernel hands it in blocks; once the file stops growing the
    // last block is in, and stopping it loses nothing.
    long size = -1;
    WaitFor(10.0,
            [&]
            {
                const long now = FileSize(capture);
                const bool still = now == size;
                size = now;
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
                return still;
            });
    capturer.Signal(SIGTERM);
    capturer.WaitForExit(std::chrono::seconds(10));
    ASSERT_EQ(capturer.ExitCode(), 0) << capturer.Stderr();
    ASSERT_EQ(hostExit, 0) << host.Stderr() << host.Stdout();
    const nlohmann::json summary = nlohmann::json::parse(host.Stdout(), nullptr, false);
    ASSERT_TRUE(summary.is_object()) << host.Stdout();

    const wireshark_test::VDecoded decoded = wireshark_test::Decode(
        tshark, capture, "-Y tsm -o tsm.data_base:" + std::to_string(kDataPortBase));
    if (getenv("TSM_KEEP_CAPTURE") == nullptr)
        std::remove(capture.c_str());
    ASSERT_EQ(decoded.Exit, 0) << decoded.Errors;
    ASSERT_FALSE(decoded.Layers.empty());

    // What the capture says, per device: the centroid stream's frame numbers, the centroid
    // records that arrived before each trailer on the same port, and the trailer's count.
    struct VDevice
    {
        std::vector<long> Frames;
        std::map<long, long> CentroidsOfFrame;
    };
    std::map<std::string, VDevice> devices;
    std::map<std::string, long> pendingCentroids; // by data port
    std::vector<std::string> masterRates;
    std::vector<std::string> masterDevices;
    std::set<std::string> shellCommands;
    std::set<std::string> timecodes;
    std::set<std::string> timecodeDevices;
    std::map<std::string, long> pendingSamples; // by data port
    std::map<std::string, long> analogueFrames;
    std::map<std::string, std::string> analogueChannels;
    const std::set<long> runPorts = RunPorts(summary);
    for (const nlohmann::json& layers : decoded.Layers)
    {
        if (!IsThisRunsPacket(layers, runPorts))
            continue;
        // Wireshark's UDP dissector takes any port of 33434-33534 for a traceroute's, and the
        // system may give a sender one of those: not the dissector's finding.
        for (const std::string& message : Values(layers, "_ws.expert.message"))
            EXPECT_EQ(message.rfind("Possible traceroute", 0), 0u) << layers.dump(1);
        if (Value(layers, "tsm.bcast.code") == "0x00030005")
        {
            masterRates.push_back(Value(layers, "tsm.bcast.rate"));
            masterDevices.push_back(Value(layers, "tsm.bcast.device"));
        }
        for (const std::string& command : Values(layers, "tsm.shell.command"))
            shellCommands.insert(command);
        // Only this run's data ports carry the streams counted below.
        const std::string port = Value(layers, "udp.dstport");
        const long portNumber = port.empty() ? 0 : std::stol(port);
        if (portNumber < kDataPortBase || portNumber >= kDataPortBase + 6000)
            continue;
        for (const std::string& text : Values(layers, "tsm.timecode.text"))
            timecodes.insert(text);
        for (const std::string& device : Values(layers, "tsm.timecode.device"))
            timecodeDevices.insert(device);
        for (const std::string& count : Values(layers, "tsm.analogue.count"))
            pendingSamples[port] += std::stol(count);
        if (!Value(layers, "tsm.analogue.frame").empty())
        {
            // The samples that arrived are the bytes the analogue trailer counts.
            const std::string device = Value(layers, "tsm.analogue.device");
            EXPECT_EQ(std::to_string(2 * pendingSamples[port]),
                      Value(layers, "tsm.analogue.data_bytes"))
                << "sync unit " << device << " frame " << Value(layers, "tsm.analogue.frame");
            analogueFrames[device] += 1;
            analogueChannels[device] = Value(layers, "tsm.analogue.channels");
            pendingSamples[port] = 0;
        }
        for (const std::string& count : Values(layers, "tsm.centroid.count"))
            pendingCentroids[port] += std::stol(count);
        const std::vector<std::string> kinds = Values(layers, "tsm.trailer.stream");
        if (kinds.size() == 1 && kinds[0] == "0x00000002")
        {
            VDevice& device = devices[Value(layers, "tsm.trailer.device")];
            const long frame = std::stol(Value(layers, "tsm.trailer.frame"));
            device.Frames.push_back(frame);
            device.CentroidsOfFrame[frame] = pendingCentroids[port];
            // The records that arrived are what the trailer counts.
            EXPECT_EQ(std::to_string(pendingCentroids[port]),
                      Value(layers, "tsm.trailer.centroid_count"))
                << "device " << Value(layers, "tsm.trailer.device") << " frame " << frame;
            pendingCentroids[port] = 0;
        }
    }

    // The MASTER command that started the run names tsmhost's master and rate.
    ASSERT_FALSE(masterRates.empty());
    EXPECT_EQ(masterDevices.front(), std::to_string(summary["master"].get<long>()));
    EXPECT_EQ(std::stod(masterRates.front()), summary["rate"].get<double>());
    // tsmhost configured every device over its shell.
    for (const char* command : {"info", "notify", "portset", "datadisable"})
        EXPECT_EQ(shellCommands.count(command), 1u) << command;

    std::set<std::string> jsonCameras;
    bool analogueSeen = false;
    for (const nlohmann::json& device : summary["devices"])
    {
        const std::string id = std::to_string(device["id"].get<long>());
        if (device["class"] == "camera")
            jsonCameras.insert(id);
        if (device["analogue"].is_object())
        {
            // A sync unit's analogue frames: as many as tsmhost counted, or a few more, with
            // the channels it saw last.
            EXPECT_GE(analogueFrames[id], device["analogue"]["frames"].get<long>()) << id;
            EXPECT_EQ(analogueChannels[id],
                      std::to_string(device["analogue"]["channels"].get<long>()))
                << id;
            analogueSeen = true;
        }
        const std::string timecode = device["last_timecode"].get<std::string>();
        if (!timecode.empty() && timecode != "-")
        {
            // The sync unit's last timecode, as text, and its device id.
            EXPECT_EQ(timecodes.count(timecode), 1u) << "timecode " << timecode;
            EXPECT_EQ(timecodeDevices.count(id), 1u) << "device " << id;
        }
    }
    EXPECT_TRUE(analogueSeen) << "the X1D sync unit sent no analogue frames";
    std::set<std::string> capturedCameras;
    for (const auto& [id, device] : devices)
        capturedCameras.insert(id);
    EXPECT_EQ(capturedCameras, jsonCameras);

    for (const nlohmann::json& device : summary["devices"])
    {
        if (device["class"] != "camera")
            continue;
        const std::string id = std::to_string(device["id"].get<long>());
        const VDevice& captured = devices[id];
        const long frames = device["frames"].get<long>();
        ASSERT_GE(static_cast<long>(captured.Frames.size()), frames)
            << "device " << id << ", frames " << captured.Frames.front() << " to "
            << captured.Frames.back() << "; dumpcap: " << capturer.Stderr();
        // Frame numbers go up by one: nothing was lost on the way to the capture.
        const long first = captured.Frames.front();
        for (std::size_t i = 0; i < captured.Frames.size(); ++i)
            ASSERT_EQ(captured.Frames[i], first + static_cast<long>(i)) << "device " << id;
        // tsmhost counted the first `frames` frames; their centroids per frame agree.
        long centroids = 0;
        for (long frame = first; frame < first + frames; ++frame)
            centroids += captured.CentroidsOfFrame.at(frame);
        EXPECT_NEAR(static_cast<double>(centroids) / static_cast<double>(frames),
                    device["centroids_per_frame"].get<double>(), 1e-9)
            << "device " << id;
    }
    if (timecodes.empty())
        std::printf("Note: no device of this rig sends timecode; the timecode datagram is "
                    "checked by WiresharkDissector.DecodesEveryKindOfDatagramToTheValuesEncoded\n");
}
