#include "tsmhost/VHostSession.h"

#include "tsmhost/BroadcastEncoder.h"
#include "tsmhost/DiscoveryDatagram.h"
#include "tsmhost/IHostFrameListener.h"
#include "tsmhost/StatusDatagramDecoder.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmhost/VFrameRecorder.h"
#include "tsmhost/VShellClient.h"

#include "devices/DeviceStatusDatagram.h"
#include "net/VThread.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace
{

using HostPorts::EStreamRole;

/// Asks for a receive buffer big enough for a burst of frames; the system may grant less.
void WidenReceiveBuffer(VSocketSimple& socket)
{
    const int bytes = 4 << 20;
    socket.SetOption(SOL_SOCKET, SO_RCVBUF, &bytes, sizeof(bytes));
}

std::string DeviceName(const VHostDevice& device)
{
    return "device " + std::to_string(device.Id);
}

double Seconds(std::uint32_t ms)
{
    return ms / 1000.0;
}

std::string Format(const char* format, double value)
{
    char text[32];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

std::uint32_t Tag(std::size_t slot, EStreamRole role)
{
    return static_cast<std::uint32_t>(slot << 8) | static_cast<std::uint32_t>(role);
}

bool IsCameraStreamRole(EStreamRole role)
{
    return role == EStreamRole::Primary || role == EStreamRole::GreyscaleV1 ||
           role == EStreamRole::GreyscaleV2;
}

} // namespace

VHostSession::VHostSession(VHostSettings settings)
    : m_Settings(std::move(settings)),
      m_Receiver([this](std::uint32_t tag, const std::uint8_t* data, std::size_t length,
                        const sockaddr_in& source) { OnDatagram(tag, data, length, source); }),
      m_Schedule(std::chrono::milliseconds(m_Settings.LateMs))
{
}

VHostSession::~VHostSession()
{
    Stop();
}

bool VHostSession::Start(std::string& error)
{
    if (!m_Sender.Open(m_Settings.Hal, m_Settings.BroadcastPort, error))
        return false;
    auto discovery = std::make_unique<VSocketSimple>();
    if (!discovery->Create(VSocketSimple::KindDatagram))
    {
        error = "cannot open a UDP socket: " + std::string(std::strerror(errno));
        return false;
    }
    if (!discovery->BindToAddress(m_Settings.Hal.GetNetworkOrder(), m_Settings.DiscoveryPort))
    {
        const int cause = errno;
        error = "cannot listen for devices on UDP " + m_Settings.Hal.ToString() + ":" +
                std::to_string(m_Settings.DiscoveryPort) + ": " + std::strerror(cause);
        if (cause == EADDRINUSE)
            error += " (is another tsmhost or capture host running?)";
        else if (cause == EADDRNOTAVAIL)
            error += " (the HAL address must be one of this machine's)";
        return false;
    }
    WidenReceiveBuffer(*discovery);
    m_Receiver.AddSocket(std::move(discovery), DiscoveryTag);
    if (!m_Receiver.Start())
    {
        error = "cannot start the receive thread";
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_ControlStopping = false;
    }
    m_ControlThread =
        std::make_unique<VFunctionThread>("tsmhost-ctrl", [this](VThread&) { ControlLoop(); });
    m_ControlThread->Start();
    return true;
}

void VHostSession::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_ControlStopping = true;
        if (m_ActiveShell != nullptr)
            m_ActiveShell->Interrupt();
        m_Recorder = nullptr;
        m_FrameListener = nullptr;
    }
    m_ControlWake.notify_all();
    if (m_ControlThread)
    {
        m_ControlThread->Stop();
        m_ControlThread.reset();
    }
    m_Receiver.Stop();
}

// ---- Owner thread ------------------------------------------------------------------------

void VHostSession::Tick()
{
    const Clock::time_point now = Clock::now();
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Counters.OversizedDatagrams = m_Receiver.GetOversizedCount();
    bool queued = false;
    for (std::size_t slot = 0; slot < m_Devices.size(); ++slot)
    {
        VHostDevice& device = m_Devices[slot];
        if (!device.Silent &&
            now - device.LastHeard > std::chrono::milliseconds(m_Settings.SilenceMs))
        {
            device.Silent = true;
            ++device.SilentSpells;
            AddEvent(DeviceName(device) + " fell silent: nothing heard for " +
                     Format("%.1f", Seconds(m_Settings.SilenceMs)) + " s");
        }
        if (device.Silent)
            continue;
        if (!device.HasAwake && device.ResetsSent < m_Settings.ResetAttempts &&
            now - device.FirstHeard >= std::chrono::milliseconds(m_Settings.ResetDelayMs) &&
            (device.ResetsSent == 0 ||
             now - device.LastResetSent >= std::chrono::milliseconds(m_Settings.ResetIntervalMs)))
        {
            ++device.ResetsSent;
            device.LastResetSent = now;
            std::string error;
            const std::vector<VNetAddress> destinations = Destinations();
            if (m_Sender.Send(ResetWords(device.Id), destinations, error))
                AddEvent(DeviceName(device) +
                         " announced no position (its AWAKE went unheard): sent RESET");
            else
                AddEvent(DeviceName(device) + ": RESET not sent: " + error);
            if (device.ResetsSent == m_Settings.ResetAttempts)
                AddEvent(DeviceName(device) + ": last RESET sent; it stays unconfigured unless "
                                              "it announces itself");
        }
        if (device.HasAwake && device.Control == EControlState::Waiting)
        {
            device.Control = EControlState::Configuring;
            m_ControlQueue.push_back(slot);
            queued = true;
        }
    }
    m_Counters.BroadcastsSent = m_Sender.GetSentCount();
    if (queued)
        m_ControlWake.notify_all();
}

bool VHostSession::Broadcast(const std::vector<std::uint32_t>& words, std::string& error)
{
    std::vector<VNetAddress> destinations;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        destinations = Destinations();
    }
    if (destinations.empty())
    {
        error = "no destination for broadcast commands (no device address known)";
        return false;
    }
    return m_Sender.Send(words, destinations, error);
}

void VHostSession::SetStreaming(bool streaming)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Streaming = streaming;
}

std::vector<std::uint32_t> VHostSession::TakeDevicesNeedingSync()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<std::uint32_t> ids;
    for (VHostDevice& device : m_Devices)
    {
        if (device.NeedsSync)
            ids.push_back(device.Id);
        device.NeedsSync = false;
    }
    return ids;
}

void VHostSession::SetRecorder(VFrameRecorder* recorder)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Recorder = recorder;
}

void VHostSession::StartSchedule(Clock::time_point sent, double rate)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Schedule.Start(sent, rate);
}

void VHostSession::SetFrameListener(IHostFrameListener* listener)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    m_FrameListener = listener;
}

std::vector<VHostDevice> VHostSession::GetDevices() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Devices;
}

VHostCounters VHostSession::GetCounters() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    VHostCounters counters = m_Counters;
    counters.OversizedDatagrams = m_Receiver.GetOversizedCount();
    return counters;
}

std::vector<std::string> VHostSession::TakeEvents()
{
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<std::string> events(m_Events.begin(), m_Events.end());
    m_Events.clear();
    return events;
}

bool VHostSession::IsControlIdle() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (!m_ControlQueue.empty())
        return false;
    for (const VHostDevice& device : m_Devices)
    {
        const bool waiting = device.Control == EControlState::Waiting && device.HasAwake;
        if (device.Control == EControlState::Configuring || (waiting && !device.Silent))
            return false;
    }
    return true;
}

VHostSession::Clock::time_point VHostSession::GetLastNewDeviceTime() const
{
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_LastNewDevice;
}

// ---- Helpers (m_Lock held) -----------------------------------------------------------------

void VHostSession::AddEvent(std::string text)
{
    m_Events.push_back(std::move(text));
    while (m_Events.size() > MaxEvents)
        m_Events.pop_front();
}

std::vector<VNetAddress> VHostSession::Destinations() const
{
    if (m_Settings.BroadcastAddress)
        return {*m_Settings.BroadcastAddress};
    std::vector<VNetAddress> addresses;
    for (const VHostDevice& device : m_Devices)
    {
        if (!device.Address.IsEmpty() &&
            std::find(addresses.begin(), addresses.end(), device.Address) == addresses.end())
            addresses.push_back(device.Address);
    }
    return addresses;
}

VHostDevice* VHostSession::FindDevice(std::uint32_t id, std::size_t* slot)
{
    for (std::size_t i = 0; i < m_Devices.size(); ++i)
    {
        if (m_Devices[i].Id == id)
        {
            if (slot != nullptr)
                *slot = i;
            return &m_Devices[i];
        }
    }
    return nullptr;
}

// ---- Receive thread ------------------------------------------------------------------------

void VHostSession::OnDatagram(std::uint32_t tag, const std::uint8_t* data, std::size_t length,
                              const sockaddr_in& source)
{
    std::lock_guard<std::mutex> lock(m_Lock);
    if (tag == DiscoveryTag)
    {
        OnDiscovery(data, length, source);
        return;
    }
    const std::size_t slot = tag >> 8;
    const auto role = static_cast<EStreamRole>(tag & 0xFFu);
    if (slot >= m_Devices.size())
        return;
    VHostDevice& device = m_Devices[slot];
    VStreamCounters& stream = device.Stream(role);
    ++stream.Datagrams;
    stream.Bytes += length;
    if (role == EStreamRole::Status)
    {
        OnStatus(device, data, length);
        return;
    }
    // Frames, headers and trailers never repeat a datagram byte for byte: a repeat is one the
    // network (or an injected fault) sent twice. Analogue samples carry no header, so theirs
    // are told by their trailer.
    const bool repeat = IsRepeat(VDecoderKey{slot, role}, data, length);
    VAnalogueTrailer trailer;
    const bool analogue =
        !device.IsCamera() && (role == EStreamRole::Primary || role == EStreamRole::AnalogueSynth);
    if (repeat && (!analogue || DecodeAnalogueTrailer(data, length, trailer)))
    {
        ++stream.Duplicated;
        return;
    }
    if (device.IsCamera() && IsCameraStreamRole(role))
    {
        OnCameraStream(slot, role, data, length);
        return;
    }
    if (!device.IsCamera() && role == EStreamRole::Timecode)
    {
        OnTimecode(device, data, length);
        return;
    }
    if (analogue)
    {
        OnAnalogue(device, slot, role, data, length, repeat);
        return;
    }
    ++stream.Malformed;
    stream.LastProblem = std::to_string(length) + " bytes on the " + HostPorts::RoleName(role) +
                         " port, which this device does not use";
}

std::uint64_t
VHostSession::DropRepeats(VStreamCounters& stream, std::vector<std::uint8_t>& samples,
                          const std::vector<std::pair<std::size_t, std::size_t>>& repeats,
                          std::uint64_t excess)
{
    // The latest repeats that make up the excess exactly were the duplicates; without them
    // the frame is whole.
    std::vector<std::pair<std::size_t, std::size_t>> duplicates;
    std::uint64_t left = excess;
    for (auto place = repeats.rbegin(); place != repeats.rend() && left > 0; ++place)
    {
        if (place->second <= left)
        {
            duplicates.push_back(*place);
            left -= place->second;
        }
    }
    if (left != 0)
        return 0;
    stream.Duplicated += duplicates.size();
    // From the back, so the places still to erase stay where they are.
    for (const auto& [offset, length] : duplicates)
    {
        if (offset != NotKept && offset + length <= samples.size())
            samples.erase(samples.begin() + static_cast<std::ptrdiff_t>(offset),
                          samples.begin() + static_cast<std::ptrdiff_t>(offset + length));
    }
    return excess;
}

bool VHostSession::IsRepeat(const VDecoderKey& key, const std::uint8_t* data, std::size_t length)
{
    std::vector<std::uint8_t>& last = m_LastDatagrams[key];
    const bool repeat =
        length > 0 && last.size() == length && std::equal(last.begin(), last.end(), data);
    last.assign(data, data + length);
    return repeat;
}

void VHostSession::JudgeLateness(VStreamCounters& stream, std::uint32_t frame,
                                 VFrameSequence::EVerdict verdict)
{
    if (m_Schedule.OnFrame(frame, Clock::now(), verdict))
        ++stream.Late;
}

void VHostSession::OnDiscovery(const std::uint8_t* data, std::size_t length,
                               const sockaddr_in& source)
{
    ++m_Counters.DiscoveryDatagrams;
    VDiscoveryMessage message;
    std::string error;
    if (!DecodeDiscoveryDatagram(data, length, message, error))
    {
        char from[INET_ADDRSTRLEN] = "?";
        inet_ntop(AF_INET, &source.sin_addr, from, sizeof(from));
        m_Counters.LastDiscoveryProblem = error + " from " + from;
        if (++m_Counters.DiscoveryMalformed <= ReportedDiscoveryProblems)
            AddEvent("discovery port: ignored a datagram of " + m_Counters.LastDiscoveryProblem);
        return;
    }
    const Clock::time_point now = Clock::now();
    std::size_t slot = 0;
    VHostDevice* device = FindDevice(message.DeviceId, &slot);
    if (device == nullptr)
    {
        VHostDevice added;
        added.Id = message.DeviceId;
        added.FirstHeard = now;
        m_Devices.push_back(added);
        slot = m_Devices.size() - 1;
        device = &m_Devices.back();
        m_LastNewDevice = now;
        AddEvent(DeviceName(*device) + " (" + DeviceClassName(message.ClassCode) + ", " +
                 message.LocalAddress.ToString() + ") heard: " +
                 (message.Kind == VDiscoveryMessage::EKind::Awake ? "AWAKE" : "ALIVE"));
    }
    device->ClassCode = message.ClassCode;
    device->Address = message.LocalAddress;
    device->HardwareAddress = message.HardwareAddress;
    device->LastHeard = now;
    if (device->Silent)
    {
        device->Silent = false;
        AddEvent(DeviceName(*device) + " is heard again");
    }
    if (message.Kind == VDiscoveryMessage::EKind::Awake)
    {
        ++device->Awakes;
        if (device->HasAwake && device->Control != EControlState::Waiting)
            RestartDevice(slot, "announced itself again (AWAKE)");
        device = &m_Devices[slot];
        if (!device->HasAwake)
            AddEvent(DeviceName(*device) + " is at position " + std::to_string(message.Position));
        device->HasAwake = true;
        device->Position = message.Position;
        device->LastSequence.reset(); // the next ALIVE starts at 0
        return;
    }
    ++device->Alives;
    if (device->LastSequence)
    {
        const auto expected = static_cast<std::uint16_t>(*device->LastSequence + 1);
        if (message.Sequence != expected)
        {
            if (message.Sequence == 0 && device->HasAwake &&
                device->Control != EControlState::Waiting)
            {
                RestartDevice(slot, "restarted its ALIVE sequence");
                device = &m_Devices[slot];
            }
            else
            {
                device->AliveGaps += static_cast<std::uint16_t>(message.Sequence - expected);
            }
        }
    }
    device->LastSequence = message.Sequence;
}

void VHostSession::RestartDevice(std::size_t slot, const char* why)
{
    VHostDevice& device = m_Devices[slot];
    ++device.Restarts;
    AddEvent(DeviceName(device) + " " + why + ": configuring it again");
    for (VStreamCounters& stream : device.Streams)
    {
        stream.Sequence.Restart();
        stream.PendingSampleBytes = 0;
    }
    device.TimecodeTrack.Reset();
    for (EStreamRole role : {EStreamRole::Primary, EStreamRole::AnalogueSynth})
    {
        m_AnalogueSamples.erase(VDecoderKey{slot, role});
        m_AnalogueRepeats.erase(VDecoderKey{slot, role});
    }
    for (auto& [key, decoder] : m_Decoders)
    {
        if (key.Slot == slot)
            decoder->Reset();
    }
    if (device.Control != EControlState::Configuring)
        device.Control = EControlState::Waiting;
}

void VHostSession::OnStatus(VHostDevice& device, const std::uint8_t* data, std::size_t length)
{
    VStreamCounters& stream = device.Stream(EStreamRole::Status);
    VStatusMessage message;
    std::string error;
    if (!DecodeStatusDatagram(data, length, message, error))
    {
        ++stream.Malformed;
        stream.LastProblem = error;
        return;
    }
    if (message.DeviceId != device.Id)
    {
        ++stream.Malformed;
        stream.LastProblem =
            StatusTypeName(message.Type) + " naming device " + std::to_string(message.DeviceId);
        return;
    }
    ++device.StatusDatagrams;
    if (message.HostTag != m_Settings.HostTag)
        ++device.ForeignTags;
    switch (message.Type)
    {
    case DeviceStatus::TypeSyncStatus:
        device.SyncStatus = message.SyncStatus;
        break;
    case DeviceStatus::TypePosition:
        device.ReportedPosition = message.GetPosition();
        break;
    case DeviceStatus::TypeInputStatus:
        device.InputLevels = message.InputLevels;
        break;
    case DeviceStatus::TypeTimecodeStatus:
        device.TimecodeStandardWord = message.TimecodeStandard;
        break;
    default:
        break;
    }
}

void VHostSession::OnCameraStream(std::size_t slot, EStreamRole role, const std::uint8_t* data,
                                  std::size_t length)
{
    const VDecoderKey key{slot, role};
    std::unique_ptr<VCameraStreamDecoder>& decoder = m_Decoders[key];
    if (!decoder)
    {
        decoder = std::make_unique<VCameraStreamDecoder>(
            [this, slot, role](VCameraStreamFrame& frame) { OnCameraFrame(slot, role, frame); });
    }
    decoder->Feed(data, length);
    std::uint64_t& seen = m_DecoderMalformedSeen[key];
    if (decoder->GetMalformedCount() != seen)
    {
        VStreamCounters& stream = m_Devices[slot].Stream(role);
        stream.Malformed += decoder->GetMalformedCount() - seen;
        stream.LastProblem = decoder->GetLastProblem();
        seen = decoder->GetMalformedCount();
    }
}

void VHostSession::OnCameraFrame(std::size_t slot, EStreamRole role, VCameraStreamFrame& frame)
{
    VHostDevice& device = m_Devices[slot];
    VStreamCounters& stream = device.Stream(role);
    const std::uint32_t expectedKind = role == EStreamRole::Primary
                                           ? CameraData::StreamKindCentroid
                                           : CameraData::StreamKindGreyscale;
    if (frame.Trailer.DeviceId != device.Id || frame.Trailer.StreamKind != expectedKind)
    {
        ++stream.Malformed;
        stream.LastProblem = "a trailer of device " + std::to_string(frame.Trailer.DeviceId) +
                             ", stream kind " + std::to_string(frame.Trailer.StreamKind);
        return;
    }
    JudgeLateness(stream, frame.Trailer.FrameNumber,
                  stream.Sequence.OnFrame(frame.Trailer.FrameNumber, frame.Trailer.PreviousFrame));
    if (!frame.IsComplete())
    {
        ++stream.Incomplete;
        stream.LastProblem = "frame " + std::to_string(frame.Trailer.FrameNumber) + ": " +
                             std::to_string(frame.ItemBytes) + " of " +
                             std::to_string(frame.Trailer.ByteCount) + " announced bytes arrived" +
                             (frame.HeaderGaps > 0 ? ", datagram headers missing" : "");
    }
    stream.Centroids += frame.Centroids.size();
    stream.Tracks += frame.Tracks.size();
    stream.Segments += frame.Segments.size();
    stream.Edges += frame.Edges.size();
    NoteFrameTime(device);
    if (m_FrameListener != nullptr && role == EStreamRole::Primary)
        m_FrameListener->OnDeviceFrame(device.Id, frame.Trailer.FrameNumber);
    if (m_Recorder != nullptr)
        m_Recorder->AddStreamFrame(device.Id, role != EStreamRole::Primary, frame);
}

void VHostSession::OnTimecode(VHostDevice& device, const std::uint8_t* data, std::size_t length)
{
    VStreamCounters& stream = device.Stream(EStreamRole::Timecode);
    VTimecodeDatagram timecode;
    if (!DecodeTimecodeDatagram(data, length, timecode) || timecode.DeviceId != device.Id)
    {
        ++stream.Malformed;
        stream.LastProblem = std::to_string(length) + " bytes on the timecode port that are "
                                                      "not this device's timecode datagram";
        return;
    }
    JudgeLateness(stream, timecode.FrameNumber,
                  stream.Sequence.OnFrame(timecode.FrameNumber, timecode.PreviousFrame));
    device.LastTimecode = timecode.Format();
    CheckTimecodeAdvance(device, timecode);
    NoteFrameTime(device);
    if (m_FrameListener != nullptr)
        m_FrameListener->OnDeviceFrame(device.Id, timecode.FrameNumber);
}

void VHostSession::CheckTimecodeAdvance(VHostDevice& device, const VTimecodeDatagram& timecode)
{
    VStreamCounters& stream = device.Stream(EStreamRole::Timecode);
    switch (device.TimecodeTrack.Next(timecode))
    {
    case VTimecodeFollower::EStep::Invalid:
        ++stream.Malformed;
        stream.LastProblem = "frame " + std::to_string(timecode.FrameNumber) + ": timecode " +
                             timecode.Format() + " is not valid";
        break;
    case VTimecodeFollower::EStep::Jumped:
        ++device.TimecodeJumps;
        stream.LastProblem = "frame " + std::to_string(timecode.FrameNumber) + ": timecode " +
                             timecode.Format() + " does not follow the one before";
        break;
    default:
        break;
    }
}

void VHostSession::OnAnalogue(VHostDevice& device, std::size_t slot, EStreamRole role,
                              const std::uint8_t* data, std::size_t length, bool repeat)
{
    VStreamCounters& stream = device.Stream(role);
    const VDecoderKey key{slot, role};
    std::vector<std::uint8_t>& samples = m_AnalogueSamples[key];
    std::vector<std::pair<std::size_t, std::size_t>>& repeats = m_AnalogueRepeats[key];
    VAnalogueTrailer trailer;
    if (!DecodeAnalogueTrailer(data, length, trailer))
    {
        // Samples carry no header: anything that is not a trailer counts as samples. They are
        // kept for the recording, up to the most one frame can hold.
        stream.PendingSampleBytes += length;
        const bool keep = m_Recorder != nullptr && samples.size() + length <= MaxAnalogueFrameBytes;
        if (repeat)
            repeats.emplace_back(keep ? samples.size() : NotKept, length);
        if (keep)
            samples.insert(samples.end(), data, data + length);
        return;
    }
    std::uint64_t arrived = stream.PendingSampleBytes;
    if (arrived > trailer.DataBytes && trailer.DeviceId == device.Id)
        arrived -= DropRepeats(stream, samples, repeats, arrived - trailer.DataBytes);
    repeats.clear();
    stream.PendingSampleBytes = 0;
    if (trailer.DeviceId != device.Id)
    {
        ++stream.Malformed;
        stream.LastProblem = "an analogue trailer of device " + std::to_string(trailer.DeviceId);
        samples.clear();
        return;
    }
    JudgeLateness(stream, trailer.FrameNumber,
                  stream.Sequence.OnFrame(trailer.FrameNumber, trailer.PreviousFrame));
    NoteFrameTime(device);
    if (m_FrameListener != nullptr)
        m_FrameListener->OnDeviceFrame(device.Id, trailer.FrameNumber);
    const std::string inconsistent = CheckAnalogueTrailer(trailer);
    if (!inconsistent.empty())
    {
        ++stream.Malformed;
        stream.LastProblem = inconsistent;
        samples.clear();
        return;
    }
    stream.AnalogueInstants += trailer.Instants;
    stream.AnalogueValues += std::uint64_t{trailer.Instants} * trailer.ChannelCount;
    stream.LastInstants = trailer.Instants;
    stream.LastChannels = trailer.ChannelCount;
    stream.LastChannelMask = trailer.ChannelMask;
    if (arrived != trailer.DataBytes)
    {
        ++stream.Incomplete;
        stream.LastProblem = "analogue frame " + std::to_string(trailer.FrameNumber) + ": " +
                             std::to_string(arrived) + " of " + std::to_string(trailer.DataBytes) +
                             " announced bytes arrived";
        samples.clear();
        return;
    }
    if (m_Recorder != nullptr && samples.size() == trailer.DataBytes)
        m_Recorder->AddAnalogueFrame(device.Id, trailer.FrameNumber, trailer.Instants,
                                     trailer.ChannelMask, samples);
    samples.clear();
}

void VHostSession::NoteFrameTime(VHostDevice& device)
{
    const Clock::time_point now = Clock::now();
    if (!device.HasFrames)
    {
        device.HasFrames = true;
        device.FirstFrameAt = now;
    }
    device.LastFrameAt = now;
}

// ---- Control thread ------------------------------------------------------------------------

void VHostSession::ControlLoop()
{
    std::unique_lock<std::mutex> lock(m_Lock);
    for (;;)
    {
        m_ControlWake.wait(lock, [this] { return m_ControlStopping || !m_ControlQueue.empty(); });
        if (m_ControlStopping)
            return;
        const std::size_t slot = m_ControlQueue.front();
        m_ControlQueue.pop_front();
        lock.unlock();
        Configure(slot);
        lock.lock();
    }
}

void VHostSession::Configure(std::size_t slot)
{
    std::uint32_t id = 0;
    VNetAddress address;
    std::uint32_t shellPort = 0;
    std::uint32_t dataPort = 0;
    bool isSyncUnit = false;
    bool camera = false;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        const VHostDevice& device = m_Devices[slot];
        camera = device.IsCamera();
        id = device.Id;
        address = device.Address;
        shellPort = m_Settings.ShellPortBase + device.Position;
        dataPort = device.DataPort;
        isSyncUnit = device.ClassCode == DeviceClassControl;
    }

    VShellClient shell;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_ControlStopping)
            return;
        m_ActiveShell = &shell;
    }
    std::string error;
    std::string banner;
    std::string info;
    std::string reply;
    VShellReport report;
    bool ok = shellPort <= 0xFFFFu;
    if (!ok)
        error = "its shell port " + std::to_string(shellPort) + " is out of range";
    const std::uint32_t timeout = m_Settings.ShellTimeoutMs;
    ok = ok && shell.Connect(address, static_cast<std::uint16_t>(shellPort), timeout, error) &&
         shell.ReadGreeting(timeout, banner, error) && shell.Command("info", timeout, info, error);
    if (ok)
    {
        report = ParseShellReport(info);
        if (dataPort == 0)
            dataPort = BindDataPorts(slot, error);
        ok = dataPort != 0;
    }
    // A centroid-only host, say, turns the greyscale streams off before any frame goes.
    for (const auto& [word, mode] :
         {std::pair<const char*, const std::string&>{"greymode ", m_Settings.GreyMode},
          {"coordmode ", m_Settings.CoordMode}})
    {
        if (ok && camera && !mode.empty())
            ok = shell.Command(word + mode, timeout, reply, error);
    }
    const std::uint32_t statusPort = dataPort + HostPorts::RoleOffset(EStreamRole::Status);
    ok = ok &&
         shell.Command("notify data " + std::to_string(statusPort) + " tag " +
                           std::to_string(m_Settings.HostTag),
                       timeout, reply, error) &&
         shell.Command("portset " + std::to_string(dataPort), timeout, reply, error) &&
         (!isSyncUnit || ConfigureAnalogue(shell, error)) &&
         shell.Command("datadisable false", timeout, reply, error);
    shell.Close();

    std::lock_guard<std::mutex> lock(m_Lock);
    m_ActiveShell = nullptr;
    VHostDevice& device = m_Devices[slot];
    if (device.Control != EControlState::Configuring)
        return; // restarted meanwhile: configured again later
    if (!ok)
    {
        device.Control = EControlState::Failed;
        device.ControlError = error;
        AddEvent(DeviceName(device) + " cannot be configured: " + error);
        return;
    }
    device.Control = EControlState::Ready;
    device.ControlError.clear();
    device.Banner = banner;
    device.Report = report;
    device.Info = ReadDeviceInfo(report);
    device.DataPort = dataPort;
    device.NeedsSync = m_Streaming;
    AddEvent(DeviceName(device) + " ready: " + device.GetTypeText() + ", data port " +
             std::to_string(dataPort) + (device.Info.Protocol2 ? " (protocol 2)" : ""));
    if (device.Info.DeviceId && *device.Info.DeviceId != id)
        AddEvent(DeviceName(device) + ": its \"info\" names device " +
                 std::to_string(*device.Info.DeviceId));
}

bool VHostSession::ConfigureAnalogue(VShellClient& shell, std::string& error)
{
    // As a capture host sets up the analogue card: its rate (which also enables the channels
    // that rate leaves), every channel on, then capture.
    const std::uint32_t timeout = m_Settings.ShellTimeoutMs;
    std::string reply;
    return shell.Command("samplerate -s 0 " + std::to_string(m_Settings.AnaloguePrescaler) + " " +
                             std::to_string(m_Settings.AnalogueDivisor),
                         timeout, reply, error) &&
           shell.Command("anactl -a on", timeout, reply, error) &&
           shell.Command("capture on", timeout, reply, error);
}

std::uint32_t VHostSession::BindDataPorts(std::size_t slot, std::string& error)
{
    const VNetAddress hal = m_Settings.Hal;
    std::uint32_t firstTried = 0;
    for (; m_NextBlock < HostPorts::MaxBlocks; ++m_NextBlock)
    {
        const std::uint32_t base = HostPorts::BlockPort(m_Settings.DataPortBase, m_NextBlock);
        if (firstTried == 0)
            firstTried = base;
        if (base + HostPorts::RoleOffset(EStreamRole::GreyscaleV2) > 0xFFFFu)
            break;
        std::vector<std::pair<std::unique_ptr<VSocketSimple>, EStreamRole>> sockets;
        bool bound = true;
        std::string failure;
        for (EStreamRole role : HostPorts::AllRoles)
        {
            auto socket = std::make_unique<VSocketSimple>();
            const std::uint32_t port = base + HostPorts::RoleOffset(role);
            if (!socket->Create(VSocketSimple::KindDatagram) ||
                !socket->BindToAddress(hal.GetNetworkOrder(), static_cast<std::uint16_t>(port)))
            {
                failure = "UDP " + hal.ToString() + ":" + std::to_string(port) + ": " +
                          std::strerror(errno);
                bound = false;
                break;
            }
            WidenReceiveBuffer(*socket);
            sockets.emplace_back(std::move(socket), role);
        }
        if (!bound)
        {
            std::lock_guard<std::mutex> lock(m_Lock);
            AddEvent("data ports " + std::to_string(base) + " and up cannot be used (" + failure +
                     "); trying the next block");
            continue;
        }
        for (auto& [socket, role] : sockets)
            m_Receiver.AddSocket(std::move(socket), Tag(slot, role));
        ++m_NextBlock;
        return base;
    }
    error = "no free block of data ports from " + std::to_string(m_Settings.DataPortBase) +
            " (every block up to " + std::to_string(HostPorts::MaxBlocks) +
            " is in use or out of range)";
    return 0;
}
