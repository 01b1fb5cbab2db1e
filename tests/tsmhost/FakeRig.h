// A small rig of fake devices for the host's tests, made of the devices' own parts: the
// awake-and-alive sender, the telnet shell and the camera stream encoders, on loopback and
// ports the tests choose, with knobs for the faults the host must survive.
#pragma once

#include "net/VNetAddress.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class VFunctionThread;
class VSocketSimple;
class VThread;

namespace host_test
{

/// One fake device.
struct VFakeDeviceLayout
{
    enum class EShell : std::uint8_t
    {
        Answers,      ///< the devices' own shell
        NeverGreets,  ///< accepts and stays mute
        NeverAnswers, ///< greets, then never answers a line
    };

    std::uint32_t Id = 1;
    std::uint32_t ClassCode = 0; ///< 0 camera, 2 sync unit
    std::string DeviceType = "Zt-M4";
    bool Protocol2 = false;
    std::uint32_t SensorWidth = 2352;
    std::uint32_t SensorHeight = 1728;
    EShell Shell = EShell::Answers;
    std::uint32_t Centroids = 3;
    bool Tracks = false;
    /// A frame number whose datagrams are never sent (lost on the way).
    std::optional<std::uint32_t> DropFrame;
    /// A frame number whose first datagram on the primary port arrives twice.
    std::optional<std::uint32_t> RepeatFrame;
    /// A sync unit's analogue signal stands still: both sample datagrams of a frame hold the
    /// same bytes.
    bool SteadyAnalogue = false;
};

/// A fake sync unit (class 2) sends a timecode datagram and an analogue frame (two sample
/// datagrams and the trailer) per frame. The frame centroid i of a fake camera holds: x = 100 + i +
/// frame mod 50 (and a half), y = 200.25, radius 3, fraction 0.5.
double FakeCentroidX(std::uint32_t frame, std::uint32_t index);

/// The devices of one rig on 127.0.0.1: positions 1, 2, ... in the order given; shells on
/// GetShellPortBase() + position; one broadcast port for all (as the device manager's), on
/// which MASTER, FRAME_NUMBER, DATA_DISABLE and RESET act; one frame clock that ticks every
/// device at the rate while a device of the rig is master and data is enabled.
///
/// Threading contract: Start, Kill and destruction on the test's thread; the getters from any
/// thread. Not copyable.
class VFakeRig
{
public:
    explicit VFakeRig(std::uint16_t hostDiscoveryPort);
    ~VFakeRig();
    VFakeRig(const VFakeRig&) = delete;
    VFakeRig& operator=(const VFakeRig&) = delete;

    /// Chooses the shell ports of `deviceCount` devices and binds the broadcast port, so that
    /// a host can be told them before the devices start.
    bool Prepare(std::size_t deviceCount, std::string& error);
    /// Prepares when not done yet, then connects every device (AWAKE, then ALIVE every
    /// 100 ms).
    bool Start(const std::vector<VFakeDeviceLayout>& layouts, std::string& error);
    /// Every device stops at once, as if the process was killed.
    void Kill();
    /// The device at `index` reconnects (as after a RESET): AWAKE again, its data output
    /// forgotten until it is configured again.
    void Restart(std::size_t index);

    std::uint32_t GetShellPortBase() const { return m_ShellPortBase; }
    std::uint16_t GetBroadcastPort() const { return m_BroadcastPort; }
    std::uint64_t GetTicks() const { return m_Ticks.load(); }
    /// The AWAKE-and-ALIVE ticks of the device at `index` so far.
    std::uint32_t GetAliveTicks(std::size_t index) const;
    std::uint32_t GetResets(std::size_t index) const;
    std::vector<std::string> GetCommands(std::size_t index) const;
    std::uint16_t GetDataPort(std::size_t index) const;
    std::optional<std::uint32_t> GetMaster() const;
    double GetRate() const;

private:
    class VDevice;

    void BroadcastLoop(VThread& thread);
    void FrameLoop(VThread& thread);
    void OnCommand(const std::vector<std::uint32_t>& words);

    const std::uint16_t m_HostDiscoveryPort;
    std::uint32_t m_ShellPortBase = 0;
    std::uint16_t m_BroadcastPort = 0;
    std::vector<std::unique_ptr<VDevice>> m_Devices;
    std::unique_ptr<VSocketSimple> m_BroadcastSocket;
    mutable std::mutex m_Lock; // guards the clock state below
    std::optional<std::uint32_t> m_Master;
    double m_Rate = 0.0;
    bool m_DataEnabled = false;
    std::uint32_t m_NextFrame = 0;
    std::atomic<std::uint64_t> m_Ticks{0};
    std::atomic<bool> m_Stopping{false};
    std::unique_ptr<VFunctionThread> m_BroadcastThread;
    std::unique_ptr<VFunctionThread> m_FrameThread;
};

/// A UDP port on 127.0.0.1 that was free a moment ago.
std::uint16_t FreeUdpPort();

/// The first data port of the hosts these tests run. The host's ports reach 6000 above it:
/// all below 20000, where the hosts of the end-to-end tests take their defaults, and below
/// the system's ephemeral range, where any other test's socket may land. The tests that use
/// it hold the CTest lock "tsm_host_data_ports", so no two of them probe the same ports.
constexpr std::uint32_t kDataPortBase = 12000;

} // namespace host_test
