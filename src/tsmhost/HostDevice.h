// What the host knows of one device: its identity from AWAKE and ALIVE, its control state and
// "info" report, and the counters of every stream it sends.
#pragma once

#include "tsmhost/HostPorts.h"
#include "tsmhost/ShellReport.h"
#include "tsmhost/SyncUnitStreamDecoder.h"
#include "tsmhost/VFrameSequence.h"

#include "net/VNetAddress.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

/// Counters of one data port of a device.
struct VStreamCounters
{
    std::uint64_t Datagrams = 0;
    std::uint64_t Bytes = 0;
    /// The frame ends (trailers, timecode datagrams) and their numbering.
    VFrameSequence Sequence;
    /// Frames whose trailer announced other byte counts than arrived (a datagram went
    /// missing inside the frame).
    std::uint64_t Incomplete = 0;
    /// Datagrams that could not be decoded, or that named another device or stream.
    std::uint64_t Malformed = 0;
    /// Datagrams that repeated the one before on the port byte for byte (not decoded again),
    /// and frames that ended later than the host's limit after they were due (VFrameSchedule).
    std::uint64_t Duplicated = 0;
    std::uint64_t Late = 0;
    std::string LastProblem;
    /// Totals of what the frames held.
    std::uint64_t Centroids = 0;
    std::uint64_t Tracks = 0;
    std::uint64_t Segments = 0;
    std::uint64_t Edges = 0;
    /// Analogue streams: sample bytes since the last trailer.
    std::uint64_t PendingSampleBytes = 0;
    /// Analogue streams: sample instants and sample values the trailers announced, and the
    /// last trailer's instants, channel count and channel mask (bit c = channel c).
    std::uint64_t AnalogueInstants = 0;
    std::uint64_t AnalogueValues = 0;
    std::uint16_t LastInstants = 0;
    std::uint16_t LastChannels = 0;
    std::uint64_t LastChannelMask = 0;
};

/// The control steps of a device: waiting for its position (AWAKE), being configured over
/// its shell, ready (data ports assigned), or failed.
enum class EControlState : std::uint8_t
{
    Waiting,
    Configuring,
    Ready,
    Failed,
};

const char* ControlStateName(EControlState state);

/// One device. A value type; the session keeps one per device id and hands out copies.
struct VHostDevice
{
    using Clock = std::chrono::steady_clock;

    std::uint32_t Id = 0;
    std::uint32_t ClassCode = 0;
    /// 1-based position from AWAKE; 0 until an AWAKE arrived.
    std::uint32_t Position = 0;
    VNetAddress Address;
    std::array<std::uint8_t, 8> HardwareAddress{};

    // Discovery.
    bool HasAwake = false;
    Clock::time_point FirstHeard{};
    Clock::time_point LastHeard{};
    std::uint64_t Awakes = 0;
    std::uint64_t Alives = 0;
    /// ALIVE datagrams that the sequence numbers show missing.
    std::uint64_t AliveGaps = 0;
    std::optional<std::uint16_t> LastSequence;
    /// Nothing heard for more than the silence limit.
    bool Silent = false;
    std::uint64_t SilentSpells = 0;
    /// AWAKE again (or the ALIVE sequence back at 0) after the device was configured.
    std::uint64_t Restarts = 0;
    /// RESET commands sent to learn the position of a device heard only through ALIVE.
    std::uint32_t ResetsSent = 0;
    Clock::time_point LastResetSent{};

    // Control.
    EControlState Control = EControlState::Waiting;
    std::string ControlError;
    std::string Banner;
    VShellReport Report;
    VDeviceInfo Info;
    /// The data port p given with "portset"; 0 before.
    std::uint32_t DataPort = 0;
    /// Configured after the rig was synchronised (late or restarted).
    bool NeedsSync = false;

    // Streams, by HostPorts::EStreamRole.
    std::array<VStreamCounters, std::size(HostPorts::AllRoles)> Streams{};
    std::uint64_t StatusDatagrams = 0;
    /// Status datagrams with another host's tag.
    std::uint64_t ForeignTags = 0;
    std::optional<std::uint32_t> SyncStatus;
    std::optional<std::uint32_t> ReportedPosition;
    std::string LastTimecode;
    /// Timecode datagrams whose timecode is not the previous one advanced by the frames in
    /// between.
    std::uint64_t TimecodeJumps = 0;
    VTimecodeFollower TimecodeTrack;
    /// The last input status (six input levels) and timecode status (standard word).
    std::optional<std::uint16_t> InputLevels;
    std::optional<std::uint32_t> TimecodeStandardWord;
    bool HasFrames = false;
    Clock::time_point FirstFrameAt{};
    Clock::time_point LastFrameAt{};

    bool IsCamera() const;
    VStreamCounters& Stream(HostPorts::EStreamRole role)
    {
        return Streams[static_cast<std::size_t>(role)];
    }
    const VStreamCounters& Stream(HostPorts::EStreamRole role) const
    {
        return Streams[static_cast<std::size_t>(role)];
    }

    /// The frames of the device: the most frame ends of any of its data streams.
    std::uint64_t GetFrames() const;
    /// Frames lost, out of order or incomplete: the most of any of its streams (a frame lost
    /// on both of a camera's streams is one frame; each stream's own counts are kept too).
    std::uint64_t GetLost() const;
    std::uint64_t GetOutOfOrder() const;
    std::uint64_t GetIncomplete() const;
    /// Frames later than the host's limit: the most of any of its streams.
    std::uint64_t GetLate() const;
    /// Datagrams repeated, over all its ports.
    std::uint64_t GetDuplicated() const;
    /// Sums over all its ports.
    std::uint64_t GetMalformed() const;
    std::uint64_t GetDatagrams() const;
    std::uint64_t GetBytes() const;
    std::uint64_t GetCentroids() const;
    std::uint64_t GetTracks() const;
    /// "Zt-M4", or the class when the report gave no type.
    std::string GetTypeText() const;
    /// The stream that carried the device's analogue frames (the X1D card's on p, the
    /// synthetic card's on p + 3000), or null when none came.
    const VStreamCounters* GetAnalogueStream() const;
};
