#include "FakeRig.h"

#include "devices/BroadcastCommand.h"
#include "devices/DeviceStatusDatagram.h"
#include "devices/IShellDevice.h"
#include "devices/VAwakeAndAliveServer.h"
#include "devices/VDataOutSocketSink.h"
#include "devices/VDeviceTelnetConnection.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/VCentroidStreamWriter.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "net/VDataOutSocket.h"
#include "net/VThread.h"

#include "FileIO/ByteCodec.h"

#include <arpa/inet.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <sstream>
#include <thread>
#include <utility>

namespace host_test
{

namespace
{

constexpr std::uint32_t Loopback = 0x7F000001u;

std::uint32_t LoopbackNetworkOrder()
{
    return htonl(Loopback);
}

/// A shell that accepts hosts and then says nothing, or only its greeting.
class VMuteShell
{
public:
    VMuteShell(std::uint16_t port, bool greet) : m_Greet(greet)
    {
        m_Listener.Create(VSocketSimple::KindStream);
        m_Listener.SetReuseAddress(true);
        m_Listener.Bind(port);
        m_Listener.Listen(4);
        m_Thread = std::make_unique<VFunctionThread>("mute-shell", [this](VThread&) { Run(); });
        m_Thread->Start();
    }
    ~VMuteShell()
    {
        m_Stopping = true;
        m_Listener.Interrupt(true);
        m_Thread->Stop();
        m_Listener.Close(true);
        for (auto& host : m_Hosts)
            host->Close(false);
    }

private:
    void Run()
    {
        while (!m_Stopping)
        {
            auto host = std::make_unique<VSocketSimple>();
            if (!m_Listener.Accept(*host))
                return;
            if (m_Greet)
            {
                const std::string greeting =
                    std::string("FakeZtDevice") + VDeviceTelnetConnection::Prompt;
                host->Send(greeting.data(), greeting.size());
            }
            m_Hosts.push_back(std::move(host)); // read nothing, answer nothing
        }
    }

    const bool m_Greet;
    std::atomic<bool> m_Stopping{false};
    VSocketSimple m_Listener;
    std::vector<std::unique_ptr<VSocketSimple>> m_Hosts; // accept thread, then destructor
    std::unique_ptr<VFunctionThread> m_Thread;
};

} // namespace

double FakeCentroidX(std::uint32_t frame, std::uint32_t index)
{
    return 100.5 + index + frame % 50;
}

/// One fake device: identity, announcements, shell and data output.
class VFakeRig::VDevice : public IShellDevice
{
public:
    VDevice(const VFakeDeviceLayout& layout, std::uint32_t position, std::uint16_t shellPort,
            std::uint16_t hostDiscoveryPort)
        : m_Layout(layout), m_Position(position), m_ShellPort(shellPort),
          m_HostDiscoveryPort(hostDiscoveryPort)
    {
    }
    ~VDevice() override { Disconnect(); }

    void Connect()
    {
        std::lock_guard<std::mutex> lock(m_ConnectionLock);
        if (m_Layout.Shell == VFakeDeviceLayout::EShell::Answers)
            m_Shell = std::make_unique<VDeviceTelnetConnection>(*this, m_ShellPort);
        else
            m_Mute = std::make_unique<VMuteShell>(
                m_ShellPort, m_Layout.Shell == VFakeDeviceLayout::EShell::NeverAnswers);
        m_Alive = std::make_unique<VAwakeAndAliveServer>(
            LoopbackNetworkOrder(), LoopbackNetworkOrder(), m_Layout.Id, m_Position,
            m_Layout.ClassCode, 0, m_HostDiscoveryPort);
    }

    void Disconnect()
    {
        std::lock_guard<std::mutex> lock(m_ConnectionLock);
        m_Alive.reset();
        m_Shell.reset();
        m_Mute.reset();
        std::lock_guard<std::mutex> data(m_DataLock);
        m_DataPort = 0;
        m_Enabled = false;
    }

    void Reset()
    {
        Disconnect();
        ++m_Resets;
        Connect();
    }

    std::uint32_t GetAliveTicks() const
    {
        std::lock_guard<std::mutex> lock(m_ConnectionLock);
        return m_Alive ? m_Alive->GetTickCount() : 0;
    }
    std::uint32_t GetResets() const { return m_Resets.load(); }
    std::uint32_t GetId() const { return m_Layout.Id; }
    std::vector<std::string> GetCommands() const
    {
        std::lock_guard<std::mutex> lock(m_DataLock);
        return m_Commands;
    }
    std::uint16_t GetDataPort() const
    {
        std::lock_guard<std::mutex> lock(m_DataLock);
        return m_DataPort;
    }

    void GetGreeting(std::string& text) override { text = "FakeZtDevice"; }

    void ProcessCommand(const std::string& line, std::string& reply) override
    {
        std::lock_guard<std::mutex> lock(m_DataLock);
        m_Commands.push_back(line);
        std::istringstream in(line);
        std::string word;
        in >> word;
        if (word == "info")
        {
            reply = "Device Type : " + m_Layout.DeviceType +
                    "\nSensor Dimensions : " + std::to_string(m_Layout.SensorWidth) + " x " +
                    std::to_string(m_Layout.SensorHeight) +
                    "\nDevice ID : " + std::to_string(m_Layout.Id) + "\n";
            if (m_Layout.Protocol2)
                reply += "Stream : V2 6000 1460 Centroids Greyscale\n";
        }
        else if (word == "notify")
        {
            std::string ignored;
            std::uint32_t port = 0;
            std::uint32_t tag = 0;
            in >> ignored >> port >> ignored >> tag;
            m_Status.Open(LoopbackNetworkOrder(), static_cast<std::uint16_t>(port));
            std::uint8_t status[DeviceStatus::BaseDatagramSize];
            DeviceStatus::EncodeSyncStatus(status, DeviceStatus::SyncModeFreeRunning);
            DeviceStatus::FillAddress(status, tag, m_Layout.Id);
            m_Status.SendDatagram(status, sizeof(status));
        }
        else if (word == "portset")
        {
            std::uint32_t port = 0;
            in >> port;
            m_DataPort = static_cast<std::uint16_t>(port);
            m_Primary.Open(LoopbackNetworkOrder(), m_DataPort);
            m_Greyscale.Open(
                LoopbackNetworkOrder(),
                static_cast<std::uint16_t>(m_DataPort + (m_Layout.Protocol2 ? 5000 : 1000)));
            m_Timecode.Open(LoopbackNetworkOrder(), static_cast<std::uint16_t>(m_DataPort + 2000));
        }
        else if (word == "datadisable")
        {
            in >> word;
            m_Enabled = word == "false";
        }
    }

    void SendFrame(std::uint32_t frame, std::uint32_t previous)
    {
        std::lock_guard<std::mutex> lock(m_DataLock);
        if (!m_Enabled || m_DataPort == 0 || m_Layout.DropFrame == frame)
            return;
        if (m_Layout.ClassCode != 0)
        {
            SendTimecode(frame, previous);
            SendAnalogue(frame, previous);
            return;
        }
        if (!m_Layout.Protocol2)
        {
            std::vector<ICentroidData> centroids(m_Layout.Centroids);
            std::vector<ICentroidTrackData> tracks;
            for (std::uint32_t i = 0; i < m_Layout.Centroids; ++i)
            {
                centroids[i] = {FakeCentroidX(frame, i), 200.25, 3.0, 0.5};
                if (m_Layout.Tracks)
                    tracks.push_back({static_cast<std::int64_t>(i + 1), frame + 1, 1.0f});
            }
            CentroidFrameInfo info;
            info.DeviceId = m_Layout.Id;
            info.FrameNumber = frame;
            info.PreviousFrame = previous;
            info.ReportCentroidCount = true;
            info.TrackingOn = m_Layout.Tracks;
            VDataOutSocketSink socket(m_Primary);
            VRepeatingSink sink(socket, m_Layout.RepeatFrame == frame);
            m_CentroidWriter.SendFrame(sink, centroids, tracks, info);
        }
        // One blob of two lines of four pixels and an edge per line.
        const std::uint8_t pixels[8] = {1, 2, 3, 4, 5, 6, 7, static_cast<std::uint8_t>(frame)};
        const IGreyscaleLineData lines[2] = {{10, 20, pixels, 4}, {11, 21, pixels + 4, 4}};
        const IGreyscaleBlobData blob = {lines, 2, 1};
        const IEdgePairData edges[2] = {{10, 20, 14}, {11, 21, 15}};
        GreyscaleFrameInfo info;
        info.DeviceId = m_Layout.Id;
        info.FrameNumber = frame;
        info.PreviousFrame = previous;
        info.ProtocolVersion = m_Layout.Protocol2 ? 2 : 1;
        info.SystemFrameRate = 100.0;
        VDataOutSocketSink sink(m_Greyscale);
        m_Assembler.SendFrame(sink, info, {&blob, 1}, edges);
    }

private:
    /// 800 samples of one channel (1600 bytes, in two datagrams), then the trailer.
    void SendAnalogue(std::uint32_t frame, std::uint32_t previous)
    {
        std::uint8_t samples[1400] = {};
        for (std::size_t i = 0; i < sizeof(samples); ++i)
            samples[i] = m_Layout.SteadyAnalogue ? 7 : static_cast<std::uint8_t>(frame + i);
        const std::size_t first = m_Layout.SteadyAnalogue ? 800 : 1400;
        m_Primary.SendDatagram(samples, first);
        if (m_Layout.RepeatFrame == frame)
            m_Primary.SendDatagram(samples, first);
        m_Primary.SendDatagram(samples, 1600 - first);
        std::uint8_t trailer[44] = {};
        LittleEndian::StoreU16(trailer, 0xC005);
        LittleEndian::StoreU16(trailer + 2, 44);
        LittleEndian::StoreU16(trailer + 4, 1);
        LittleEndian::StoreU32(trailer + 8, m_Layout.Id);
        LittleEndian::StoreU32(trailer + 12, frame);
        LittleEndian::StoreU32(trailer + 16, previous);
        LittleEndian::StoreU16(trailer + 24, 800);
        LittleEndian::StoreU16(trailer + 26, 1);
        LittleEndian::StoreU32(trailer + 28, 1);
        LittleEndian::StoreU32(trailer + 36, 1600);
        m_Primary.SendDatagram(trailer, sizeof(trailer));
    }

    void SendTimecode(std::uint32_t frame, std::uint32_t previous)
    {
        // 10:00:SS:FF PAL, four system frames per timecode frame.
        auto bcd = [](std::uint32_t value)
        { return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10)); };
        std::uint8_t datagram[40] = {};
        LittleEndian::StoreU16(datagram, 0xC003);
        LittleEndian::StoreU16(datagram + 2, 40);
        LittleEndian::StoreU16(datagram + 4, 2);
        LittleEndian::StoreU32(datagram + 8, m_Layout.Id);
        LittleEndian::StoreU32(datagram + 12, frame);
        LittleEndian::StoreU32(datagram + 16, previous);
        datagram[24] = bcd(10);
        datagram[25] = 0;
        datagram[26] = bcd((frame / 100) % 60);
        datagram[27] = bcd((frame / 4) % 25);
        LittleEndian::StoreU16(datagram + 28, static_cast<std::uint16_t>(frame % 4));
        LittleEndian::StoreU16(datagram + 30, 4);
        m_Timecode.SendDatagram(datagram, sizeof(datagram));
    }

    /// Passes datagrams on, the first one twice when asked.
    class VRepeatingSink : public IDatagramSink
    {
    public:
        VRepeatingSink(IDatagramSink& sink, bool repeatFirst) : m_Sink(sink), m_Repeat(repeatFirst)
        {
        }
        bool Send(const std::uint8_t* bytes, std::size_t length) override
        {
            const bool sent = m_Sink.Send(bytes, length);
            if (std::exchange(m_Repeat, false))
                m_Sink.Send(bytes, length);
            return sent;
        }

    private:
        IDatagramSink& m_Sink;
        bool m_Repeat;
    };

    const VFakeDeviceLayout m_Layout;
    const std::uint32_t m_Position;
    const std::uint16_t m_ShellPort;
    const std::uint16_t m_HostDiscoveryPort;
    mutable std::mutex m_ConnectionLock; // guards the three below
    std::unique_ptr<VAwakeAndAliveServer> m_Alive;
    std::unique_ptr<VDeviceTelnetConnection> m_Shell;
    std::unique_ptr<VMuteShell> m_Mute;
    std::atomic<std::uint32_t> m_Resets{0};
    mutable std::mutex m_DataLock; // guards everything below
    std::vector<std::string> m_Commands;
    std::uint16_t m_DataPort = 0;
    bool m_Enabled = false;
    VDataOutSocket m_Status;
    VDataOutSocket m_Primary;
    VDataOutSocket m_Greyscale;
    VDataOutSocket m_Timecode;
    VCentroidStreamWriter m_CentroidWriter;
    VGreyscaleStreamAssembler m_Assembler;
};

VFakeRig::VFakeRig(std::uint16_t hostDiscoveryPort) : m_HostDiscoveryPort(hostDiscoveryPort) {}

VFakeRig::~VFakeRig()
{
    Kill();
}

bool VFakeRig::Prepare(std::size_t deviceCount, std::string& error)
{
    if (m_ShellPortBase != 0)
        return true;
    // Shell ports: a run of free TCP ports, one per position.
    std::mt19937 random(
        static_cast<unsigned>(getpid()) ^
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<std::uint32_t> pick(30000, 60000);
    for (int attempt = 0; attempt < 50 && m_ShellPortBase == 0; ++attempt)
    {
        const std::uint32_t base = pick(random);
        bool free = true;
        for (std::uint32_t p = 1; p <= deviceCount && free; ++p)
        {
            VSocketSimple probe;
            free = probe.Create(VSocketSimple::KindStream) && probe.SetReuseAddress(true) &&
                   probe.Bind(static_cast<std::uint16_t>(base + p));
        }
        if (free)
            m_ShellPortBase = base;
    }
    if (m_ShellPortBase == 0)
    {
        error = "no free run of shell ports";
        return false;
    }
    m_BroadcastSocket = std::make_unique<VSocketSimple>();
    if (!m_BroadcastSocket->Create(VSocketSimple::KindDatagram) ||
        !m_BroadcastSocket->BindToAddress(LoopbackNetworkOrder(), 0))
    {
        error = "cannot bind the broadcast port";
        return false;
    }
    m_BroadcastPort = m_BroadcastSocket->GetLocalPort();
    return true;
}

bool VFakeRig::Start(const std::vector<VFakeDeviceLayout>& layouts, std::string& error)
{
    if (m_ShellPortBase == 0 && !Prepare(layouts.size(), error))
        return false;
    for (std::size_t i = 0; i < layouts.size(); ++i)
    {
        const auto position = static_cast<std::uint32_t>(i + 1);
        m_Devices.push_back(std::make_unique<VDevice>(
            layouts[i], position, static_cast<std::uint16_t>(m_ShellPortBase + position),
            m_HostDiscoveryPort));
    }
    for (auto& device : m_Devices)
        device->Connect();
    m_BroadcastThread = std::make_unique<VFunctionThread>("rig-broadcast", [this](VThread& thread)
                                                          { BroadcastLoop(thread); });
    m_BroadcastThread->Start();
    m_FrameThread = std::make_unique<VFunctionThread>("rig-frames", [this](VThread& thread)
                                                      { FrameLoop(thread); });
    m_FrameThread->Start();
    return true;
}

void VFakeRig::Kill()
{
    m_Stopping = true;
    if (m_BroadcastThread)
        m_BroadcastThread->Stop();
    if (m_FrameThread)
        m_FrameThread->Stop();
    m_BroadcastThread.reset();
    m_FrameThread.reset();
    for (auto& device : m_Devices)
        device->Disconnect();
}

void VFakeRig::Restart(std::size_t index)
{
    m_Devices.at(index)->Reset();
}

std::uint32_t VFakeRig::GetAliveTicks(std::size_t index) const
{
    return m_Devices.at(index)->GetAliveTicks();
}

std::uint32_t VFakeRig::GetResets(std::size_t index) const
{
    return m_Devices.at(index)->GetResets();
}

std::vector<std::string> VFakeRig::GetCommands(std::size_t index) const
{
    return m_Devices.at(index)->GetCommands();
}

std::uint16_t VFakeRig::GetDataPort(std::size_t index) const
{
    return m_Devices.at(index)->GetDataPort();
}

std::optional<std::uint32_t> VFakeRig::GetMaster() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Master;
}

double VFakeRig::GetRate() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Rate;
}

void VFakeRig::BroadcastLoop(VThread& thread)
{
    std::uint8_t buffer[1024];
    while (!m_Stopping && !thread.IsStopRequested())
    {
        pollfd entry{m_BroadcastSocket->GetHandle(), POLLIN, 0};
        if (::poll(&entry, 1, 20) != 1)
            continue;
        const int count = m_BroadcastSocket->Receive(buffer, sizeof(buffer));
        if (count < 4)
            continue;
        std::vector<std::uint32_t> words;
        for (int i = 0; i + 4 <= count; i += 4)
            words.push_back(LoadBroadcastWord(buffer + i, 0));
        OnCommand(words);
    }
}

void VFakeRig::OnCommand(const std::vector<std::uint32_t>& words)
{
    const std::uint32_t family = BroadcastFamily(words[0]);
    const std::uint32_t word1 = words.size() > 1 ? words[1] : 0;
    if (family == BroadcastFamily(BROADCAST_CMD_RESET))
    {
        for (auto& device : m_Devices)
        {
            if (word1 == BROADCAST_CMD_ALL_DEVICES || word1 == device->GetId())
                device->Reset();
        }
        return;
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    if (family == BroadcastFamily(BROADCAST_CMD_MASTER) && words.size() >= 5)
    {
        m_Master.reset();
        for (auto& device : m_Devices)
        {
            if (device->GetId() == word1)
                m_Master = word1;
        }
        m_Rate = words[3] + words[4] * 0.001;
    }
    else if (family == BroadcastFamily(BROADCAST_CMD_FRAME_NUMBER))
    {
        m_NextFrame = word1;
    }
    else if (family == BroadcastFamily(BROADCAST_CMD_DATA_DISABLE))
    {
        m_DataEnabled = (word1 & 1u) == 0;
    }
}

void VFakeRig::FrameLoop(VThread& thread)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point next = Clock::now();
    std::uint32_t previous = 0;
    while (!m_Stopping && !thread.IsStopRequested())
    {
        std::uint32_t frame = 0;
        double rate = 0.0;
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            const bool running = m_Master && m_DataEnabled && m_Rate > 0.0;
            if (running)
            {
                frame = m_NextFrame++;
                rate = m_Rate;
            }
        }
        if (rate == 0.0)
        {
            thread.WaitForStop(10);
            next = Clock::now();
            continue;
        }
        for (auto& device : m_Devices)
            device->SendFrame(frame, previous);
        previous = frame;
        ++m_Ticks;
        next += std::chrono::microseconds(static_cast<std::int64_t>(1.0e6 / rate));
        std::this_thread::sleep_until(next);
    }
}

std::uint16_t FreeUdpPort()
{
    VSocketSimple probe;
    probe.Create(VSocketSimple::KindDatagram);
    probe.BindToAddress(LoopbackNetworkOrder(), 0);
    return probe.GetLocalPort();
}

} // namespace host_test
