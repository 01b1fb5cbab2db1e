// The capture host's session with a rig: discovers devices from their AWAKE and ALIVE
// datagrams, configures each over its shell and gives it data ports, receives and decodes
// everything the devices send, and keeps the counters that the host's reports show.
#pragma once

#include "tsmhost/CameraStreamDecoder.h"
#include "tsmhost/HostDevice.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmhost/VBroadcastSender.h"
#include "tsmhost/VFrameSchedule.h"
#include "tsmhost/VHostReceiver.h"

#include "net/VNetAddress.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class IHostFrameListener;
class VFrameRecorder;
class VFunctionThread;
class VShellClient;

/// Where the session listens, connects and sends, and its time limits.
struct VHostSettings
{
    /// The HAL address: discovery and data ports are bound there, commands sent from there.
    VNetAddress Hal;
    std::uint16_t DiscoveryPort = HostPorts::Discovery;
    std::uint16_t BroadcastPort = 8666;
    /// A device's shell listens on this plus its position.
    std::uint32_t ShellPortBase = HostPorts::ShellBase;
    std::uint32_t DataPortBase = HostPorts::DefaultDataPortBase;
    /// Connecting to a shell and waiting for each reply.
    std::uint32_t ShellTimeoutMs = 2000;
    /// Broadcast commands go to this address; without it, to each device's own address.
    std::optional<VNetAddress> BroadcastAddress;
    /// The tag given with "notify"; status datagrams with another tag are counted as foreign.
    std::uint16_t HostTag = 1;
    /// Sent to every camera's shell as "greymode ..." and "coordmode ..." during its
    /// configuration; empty: not sent.
    std::string GreyMode;
    std::string CoordMode;
    /// A device heard from for this long is silent.
    std::uint32_t SilenceMs = 1000;
    /// A frame ending more than this long after it was due is late (VFrameSchedule).
    std::uint32_t LateMs = 50;
    /// A device heard only through ALIVE gets a RESET (so it announces its position) after
    /// this long, at most ResetAttempts times, ResetIntervalMs apart.
    std::uint32_t ResetDelayMs = 300;
    std::uint32_t ResetIntervalMs = 1000;
    std::uint32_t ResetAttempts = 3;
    /// What a sync unit's analogue slot 0 is set to: "samplerate -s 0 <prescaler> <divisor>".
    std::uint32_t AnaloguePrescaler = 3;
    std::uint32_t AnalogueDivisor = 45000;
};

/// Session-wide counters besides the devices'.
struct VHostCounters
{
    std::uint64_t DiscoveryDatagrams = 0;
    std::uint64_t DiscoveryMalformed = 0;
    std::string LastDiscoveryProblem;
    std::uint64_t OversizedDatagrams = 0;
    std::uint64_t BroadcastsSent = 0;
};

/// Runs the discovery, control and reception of one host run.
///
/// Discovery: every AWAKE or ALIVE creates or refreshes the device of its id; ALIVE sequence
/// gaps and silences longer than SilenceMs are counted (Tick). A device heard only through
/// ALIVE (its AWAKE went unheard) gets a RESET so that it announces itself again. An AWAKE
/// (or an ALIVE sequence back at 0) from a configured device is a restart: its stream
/// positions are forgotten and it is configured again.
///
/// Control: a device with a position is configured on the control thread: connect to its
/// shell, check the greeting, "info", then a block of data ports is bound (the first free
/// one from the base, HostPorts' layout), then for a camera "greymode" and "coordmode" when
/// the settings name them, then "notify" (status datagrams to p + 1 with the host tag),
/// "portset p", for a sync unit its analogue card ("samplerate -s 0" with the settings'
/// prescaler and divisor, "anactl -a on", "capture on"), and "datadisable false".
///
/// Reception: on the receive thread every datagram is decoded by the role of its port and
/// the class of its device: status datagrams (input and timecode status kept); camera centroid
/// and greyscale streams (frames are checked against their trailers and numbering, then handed
/// to the recorder, if any); sync-unit timecode (checked to advance by the frames between two
/// datagrams) and analogue data (each frame checked against its trailer, whose counts must
/// agree with each other; the samples go to the recorder, if any).
///
/// Threading contract: Start, Stop, Tick, Broadcast, the setters and the getters run on the
/// owner thread (the main thread); the control thread and the receive thread are the
/// session's own. One mutex guards the devices, the decoders, the events and the counters;
/// the receive thread holds it while it decodes one datagram, the recorder is called under
/// it (lock order: session, then recorder, then the broadcast sender's). Stop interrupts a
/// shell conversation in progress and joins both threads promptly. Not copyable.
class VHostSession
{
public:
    using Clock = std::chrono::steady_clock;
    /// The socket tag of the discovery port.
    static constexpr std::uint32_t DiscoveryTag = 0xFFFFFFFFu;
    /// Events kept for TakeEvents; older ones are dropped.
    static constexpr std::size_t MaxEvents = 1000;
    /// The most sample bytes one analogue frame can hold: 65535 instants of 64 channels.
    static constexpr std::size_t MaxAnalogueFrameBytes = 65535u * 64u * 2u;
    /// Discovery problems reported one by one; later ones are only counted.
    static constexpr std::uint64_t ReportedDiscoveryProblems = 5;
    /// The place of a repeated analogue datagram whose bytes were not kept.
    static constexpr std::size_t NotKept = static_cast<std::size_t>(-1);

    explicit VHostSession(VHostSettings settings);
    ~VHostSession();
    VHostSession(const VHostSession&) = delete;
    VHostSession& operator=(const VHostSession&) = delete;

    /// Opens the command sender and binds the discovery port, then starts the threads. False
    /// with a message (a port in use, an address that is not this machine's).
    bool Start(std::string& error);
    /// Stops both threads and closes every socket. Idempotent.
    void Stop();

    /// Periodic work, about every 100 ms: silences, RESETs for devices heard only through
    /// ALIVE, and configuration of devices whose position is known.
    void Tick();

    /// Sends a broadcast command to the configured destination. False with the reason.
    bool Broadcast(const std::vector<std::uint32_t>& words, std::string& error);

    /// From now on, devices configured later are marked as needing the sync commands again.
    void SetStreaming(bool streaming);
    /// The host sent FRAME_NUMBER 0 at `sent` with the rig at `rate`: the frames' schedule.
    void StartSchedule(Clock::time_point sent, double rate);
    /// Ids of devices configured (or restarted) while streaming, once each.
    std::vector<std::uint32_t> TakeDevicesNeedingSync();
    /// Frames of cameras and the analogue frames of sync units go to `recorder` (null: no
    /// recording). It must outlive its use:
    /// clear it (null) before closing the recorder.
    void SetRecorder(VFrameRecorder* recorder);
    /// Every device's frames are also told to `listener` (null: to none); the same rule.
    void SetFrameListener(IHostFrameListener* listener);

    /// Copies of every device, in the order first heard.
    std::vector<VHostDevice> GetDevices() const;
    VHostCounters GetCounters() const;
    /// Event lines (no line end) since the last call.
    std::vector<std::string> TakeEvents();
    /// True when no device waits for or is in configuration.
    bool IsControlIdle() const;
    /// When the most recent device was first heard (epoch when none).
    Clock::time_point GetLastNewDeviceTime() const;

    const VHostSettings& GetSettings() const { return m_Settings; }

private:
    struct VDecoderKey
    {
        std::size_t Slot;
        HostPorts::EStreamRole Role;
        bool operator<(const VDecoderKey& other) const
        {
            return Slot != other.Slot ? Slot < other.Slot : Role < other.Role;
        }
    };

    // Receive thread.
    void OnDatagram(std::uint32_t tag, const std::uint8_t* data, std::size_t length,
                    const sockaddr_in& source);
    void OnDiscovery(const std::uint8_t* data, std::size_t length, const sockaddr_in& source);
    void OnStatus(VHostDevice& device, const std::uint8_t* data, std::size_t length);
    void OnCameraStream(std::size_t slot, HostPorts::EStreamRole role, const std::uint8_t* data,
                        std::size_t length);
    void OnCameraFrame(std::size_t slot, HostPorts::EStreamRole role, VCameraStreamFrame& frame);
    void OnTimecode(VHostDevice& device, const std::uint8_t* data, std::size_t length);
    void CheckTimecodeAdvance(VHostDevice& device, const VTimecodeDatagram& timecode);
    void OnAnalogue(VHostDevice& device, std::size_t slot, HostPorts::EStreamRole role,
                    const std::uint8_t* data, std::size_t length, bool repeat);
    /// An analogue frame's sample bytes exceed its trailer's by `excess`: when the latest of
    /// the datagrams that repeated the one before (`repeats`: place in `samples` or NotKept,
    /// and length) make up exactly that, they were duplicates: counted, and taken out of
    /// `samples`. Returns the bytes taken off, `excess` or 0.
    std::uint64_t DropRepeats(VStreamCounters& stream, std::vector<std::uint8_t>& samples,
                              const std::vector<std::pair<std::size_t, std::size_t>>& repeats,
                              std::uint64_t excess);
    /// Whether the datagram repeats the one before on its port byte for byte; keeps it for
    /// the next.
    bool IsRepeat(const VDecoderKey& key, const std::uint8_t* data, std::size_t length);
    /// Counts the frame late when the schedule says so.
    void JudgeLateness(VStreamCounters& stream, std::uint32_t frame,
                       VFrameSequence::EVerdict verdict);
    void NoteFrameTime(VHostDevice& device);
    void RestartDevice(std::size_t slot, const char* why);

    // Control thread.
    void ControlLoop();
    void Configure(std::size_t slot);
    /// Sets up a sync unit's analogue card over its shell. False with `error`.
    bool ConfigureAnalogue(VShellClient& shell, std::string& error);
    /// Binds a block of data ports for the device in `slot`; returns p, or 0 with `error`.
    std::uint32_t BindDataPorts(std::size_t slot, std::string& error);

    // Any thread, m_Lock held.
    void AddEvent(std::string text);
    std::vector<VNetAddress> Destinations() const;
    VHostDevice* FindDevice(std::uint32_t id, std::size_t* slot = nullptr);

    const VHostSettings m_Settings;
    VBroadcastSender m_Sender;
    VHostReceiver m_Receiver;

    mutable std::mutex m_Lock; // guards everything below up to the control thread's fields
    std::vector<VHostDevice> m_Devices;
    std::map<VDecoderKey, std::unique_ptr<VCameraStreamDecoder>> m_Decoders;
    std::map<VDecoderKey, std::uint64_t> m_DecoderMalformedSeen;
    /// The sample bytes of each analogue stream's frame in progress, kept while recording,
    /// and where in them the datagrams that repeated the one before lie.
    std::map<VDecoderKey, std::vector<std::uint8_t>> m_AnalogueSamples;
    std::map<VDecoderKey, std::vector<std::pair<std::size_t, std::size_t>>> m_AnalogueRepeats;
    /// The last data datagram of each port, to recognise a repeat.
    std::map<VDecoderKey, std::vector<std::uint8_t>> m_LastDatagrams;
    VFrameSchedule m_Schedule;
    std::deque<std::string> m_Events;
    VHostCounters m_Counters;
    VFrameRecorder* m_Recorder = nullptr;
    IHostFrameListener* m_FrameListener = nullptr;
    bool m_Streaming = false;
    Clock::time_point m_LastNewDevice{};
    std::deque<std::size_t> m_ControlQueue;
    std::condition_variable m_ControlWake;
    bool m_ControlStopping = false;
    VShellClient* m_ActiveShell = nullptr; // the control thread's conversation, for Stop

    // Control thread only.
    std::uint32_t m_NextBlock = 0;
    std::unique_ptr<VFunctionThread> m_ControlThread;
};
