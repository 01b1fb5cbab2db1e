#include "SyncUnitLoad.h"

#include "DatagramBatch.h"

#include "FileIO/X2DIO/VX1DHolder.h"
#include "devices/IDatagramSink.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "devices/syncunit/VFakeSourceAnalogueControl.h"
#include "devices/syncunit/VFakeSourceAnalogueX1D.h"
#include "params/ParamAccess.h"
#include "sources/IFakeSourceParams.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmtrial/VX1DTrialGenerator.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <map>

namespace
{
constexpr std::uint32_t kLoopback = 0x7F000001u;
constexpr std::uint16_t kSynthPortOffset = 3000;
/// The two units' sample rates: 135 MHz / 45000 and 135 MHz / 750.
constexpr double kX1DRate = 3000.0;
constexpr double kSynthRate = 180000.0;

/// A non-blocking UDP socket on 127.0.0.1 at `port` (0: any); -1 when it cannot be bound.
int OpenPort(std::uint16_t port)
{
    const int handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (handle < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    address.sin_port = htons(port);
    int size = 16 << 20;
    ::setsockopt(handle, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        ::close(handle);
        return -1;
    }
    return handle;
}

std::uint16_t PortOf(int handle)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

std::string Command(VFakeDevice& device, const std::string& line)
{
    std::string reply;
    device.ProcessCommand(line, reply);
    return reply;
}

/// Takes every datagram and forgets it.
class VNullSink final : public IDatagramSink
{
public:
    bool Send(const std::uint8_t*, std::size_t) override { return true; }
};

/// The parameters the timed sources read, by key.
class VFixedParams final : public IFakeSourceParams
{
public:
    std::map<std::string, std::string, std::less<>> Values;

    bool ReadParam(const char* key, bool& out) const override
    {
        const auto found = Values.find(key);
        if (found == Values.end())
            return false;
        out = found->second == "1";
        return true;
    }
    bool ReadParam(const char* key, std::int32_t& out) const override
    {
        const auto found = Values.find(key);
        if (found == Values.end())
            return false;
        out = std::stoi(found->second);
        return true;
    }
    bool ReadParam(const char* key, std::uint32_t& out) const override
    {
        std::int32_t value = 0;
        if (!ReadParam(key, value))
            return false;
        out = static_cast<std::uint32_t>(value);
        return true;
    }
    bool ReadParam(const char* key, double& out) const override
    {
        const auto found = Values.find(key);
        if (found == Values.end())
            return false;
        out = std::stod(found->second);
        return true;
    }
    bool ReadParam(const char* key, std::string& out) const override
    {
        const auto found = Values.find(key);
        if (found == Values.end())
            return false;
        out = found->second;
        return true;
    }
};

double NanosecondsPerFrame(VFakeSource& source, std::uint32_t frames)
{
    VNullSink sink;
    source.SetSink(&sink);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint32_t frame = 0; frame < frames; ++frame)
    {
        std::uint32_t bytes = 0;
        source.SendFrame(frame, frame - 1, bytes);
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / frames;
}
} // namespace

bool VSyncUnitLoad::WriteTrial(const std::string& path, std::uint32_t frames, std::string& error)
{
    VX1DGeneratorSettings settings;
    settings.Channels = 64;
    settings.Frames = frames;
    settings.Rate = 100.0;
    settings.SampleRate = 1000.0;
    return WriteX1DTrial(path, settings, error);
}

bool VSyncUnitLoad::RegisterClasses()
{
    return VFakeDeviceNetX1DDefinitions.Register() != nullptr &&
           VFakeDeviceNetSynthDefinitions.Register() != nullptr;
}

void VSyncUnitLoad::ReleaseClasses()
{
    VFakeDeviceNetX1DDefinitions.Release();
    VFakeDeviceNetSynthDefinitions.Release();
}

VSyncUnitLoad::VSyncUnitLoad() = default;

VSyncUnitLoad::~VSyncUnitLoad()
{
    Stop();
    for (VPort& port : m_Ports)
    {
        if (port.Handle >= 0)
            ::close(port.Handle);
    }
}

bool VSyncUnitLoad::Add(VFakeDeviceManager& manager, const std::string& trial, double rate,
                        std::string& error)
{
    VPort& x1dPort = m_Ports[0];
    VPort& synthPort = m_Ports[1];
    x1dPort.Handle = OpenPort(0);
    for (int attempt = 0; attempt < 20 && synthPort.Handle < 0; ++attempt)
    {
        synthPort.Handle = OpenPort(0);
        if (synthPort.Handle >= 0 && PortOf(synthPort.Handle) < 1024 + kSynthPortOffset)
        {
            ::close(synthPort.Handle);
            synthPort.Handle = -1;
        }
    }
    if (x1dPort.Handle < 0 || synthPort.Handle < 0)
    {
        error = "no analogue ports";
        return false;
    }
    const std::uint32_t before = manager.GetDeviceCount();
    if (!manager.AddX1D(trial) || !manager.AddSyntheticSyncUnit() ||
        manager.GetDeviceCount() != before + 2)
    {
        error = "the sync units were not made";
        return false;
    }
    auto x1d = std::dynamic_pointer_cast<VFakeDevice>(manager.GetDevice(before));
    auto synth = std::dynamic_pointer_cast<VFakeDevice>(manager.GetDevice(before + 1));
    // The synthetic unit carries an analogue card only when told so before it connects.
    synth->SetParam("Card0Type", "Analogue");
    for (VFakeDevice* unit : {x1d.get(), synth.get()})
    {
        SetParamValue<bool>(*unit->GetParamList(), "Connected", true, true);
        Command(*unit, "capture on");
    }
    Command(*x1d, "samplerate -s 0 1 45000");
    Command(*x1d, "anactl -a on");
    Command(*x1d, "portset " + std::to_string(PortOf(x1dPort.Handle)));
    Command(*synth, "samplerate -s 0 5 150");
    Command(*synth, "portset " + std::to_string(PortOf(synthPort.Handle) - kSynthPortOffset));
    for (VFakeDevice* unit : {x1d.get(), synth.get()})
        Command(*unit, "datadisable false");
    x1dPort.DeviceId = x1d->GetDeviceId();
    x1dPort.Instants = static_cast<std::uint16_t>(std::lround(kX1DRate / rate));
    x1dPort.Channels = 64;
    synthPort.DeviceId = synth->GetDeviceId();
    synthPort.Instants = static_cast<std::uint16_t>(std::lround(kSynthRate / rate));
    synthPort.Channels = 1;
    return true;
}

void VSyncUnitLoad::Start()
{
    m_Stop = false;
    m_Thread = std::thread([this] { Run(); });
}

void VSyncUnitLoad::Stop()
{
    m_Stop = true;
    if (m_Thread.joinable())
        m_Thread.join();
}

void VSyncUnitLoad::Run()
{
    VDatagramBatch batch;
    while (!m_Stop.load())
    {
        pollfd descriptors[2] = {{m_Ports[0].Handle, POLLIN, 0}, {m_Ports[1].Handle, POLLIN, 0}};
        if (::poll(descriptors, 2, 10) <= 0)
            continue;
        for (int which = 0; which < 2; ++which)
        {
            if ((descriptors[which].revents & POLLIN) == 0)
                continue;
            const unsigned count = batch.Receive(descriptors[which].fd);
            for (unsigned i = 0; i < count; ++i)
            {
                m_Bytes += batch.Length(i);
                Receive(m_Ports[which], batch.Data(i), batch.Length(i));
            }
        }
    }
}

void VSyncUnitLoad::Receive(VPort& port, const std::uint8_t* data, std::size_t length)
{
    VAnalogueTrailer trailer;
    if (!DecodeAnalogueTrailer(data, length, trailer))
    {
        port.PendingBytes += length;
        return;
    }
    port.Frames.push_back({trailer.FrameNumber, trailer.Instants, trailer.ChannelCount,
                           trailer.DeviceId == port.DeviceId &&
                               port.PendingBytes == trailer.DataBytes &&
                               CheckAnalogueTrailer(trailer).empty()});
    port.PendingBytes = 0;
}

std::string VSyncUnitLoad::Check(std::uint32_t first, std::uint32_t last) const
{
    for (const VPort& port : m_Ports)
    {
        const std::string unit = "sync unit " + std::to_string(port.DeviceId) + ": ";
        std::uint32_t seen = 0;
        std::uint32_t previous = 0;
        for (const VFrameSeen& frame : port.Frames)
        {
            if (frame.Frame < first || frame.Frame > last)
                continue;
            if (seen > 0 && frame.Frame != previous + 1)
                return unit + "frame " + std::to_string(frame.Frame) + " after " +
                       std::to_string(previous);
            if (!frame.Complete || frame.Instants != port.Instants ||
                frame.Channels != port.Channels)
                return unit + "frame " + std::to_string(frame.Frame) + " holds " +
                       std::to_string(frame.Instants) + " x " + std::to_string(frame.Channels) +
                       (frame.Complete ? "" : ", incomplete");
            previous = frame.Frame;
            ++seen;
        }
        if (seen != last - first + 1)
            return unit + std::to_string(seen) + " of " + std::to_string(last - first + 1) +
                   " frames";
    }
    return {};
}

void VSyncUnitLoad::TimeSources(std::uint32_t frames, const std::string& trial, double& x1dNs,
                                double& synthNs)
{
    VFixedParams params;
    params.Values["SystemFrameRate"] = "100";
    params.Values["AnalogueSlot0SampleRate"] = "3000";
    params.Values["AnalogueSlot0Prescaler"] = "5";
    params.Values["AnalogueSlot0Divisor"] = "150";
    params.Values["AnalogueSlot0NumChannels"] = "1";
    params.Values["AnalogueSlot0TestSignalFreq"] = "1";
    params.Values["AnalogueSlot0CaptureActive"] = "1";
    for (int channel = 0; channel < 64; ++channel)
    {
        params.Values["AnalogueSlot0Channel" + std::to_string(channel) + "Enabled"] = "1";
        params.Values["AnalogueSlot0Channel" + std::to_string(channel) + "Gain"] = "1";
    }
    VFakeSourceTarget target;
    VFakeSourceAnalogueX1D x1d(params, target, VX1DHolder::Open(trial), 0, 0);
    x1dNs = NanosecondsPerFrame(x1d, frames);
    VFakeSourceAnalogueControl synth(params, target, 0);
    synthNs = NanosecondsPerFrame(synth, frames);
}
