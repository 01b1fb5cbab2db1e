// The faults one device injects into what it sends: lost, repeated, dropped, swapped and late
// data, a silence of data and ALIVE, and a restart, as a VFaultPlan says.
#pragma once

#include "devices/IDatagramSink.h"
#include "devices/VFaultPlan.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class VFaultySink;

/// Owned by one device. Every data datagram of the device passes through Send (from the
/// VFaultySink of each of its streams); the device's frame step brackets each frame with
/// BeginFrame and EndFrame; its awake-and-alive sender asks OnAliveTick before each ALIVE.
///
/// While a plan is in force, the datagrams of a frame are collected between BeginFrame and
/// EndFrame (a datagram sent outside a frame goes straight through). Each datagram may be
/// dropped ("drop") or sent twice in a row ("duplicate"); at EndFrame the frame as a whole is
/// dropped ("drop_frames"), held back and sent after the next frame ("swap_frames"; the frame
/// after a held one is never dropped or held itself), or sent, then the frame held before it;
/// with "delay_ms" what a frame sends waits until the first EndFrame that much later, in
/// order. Inside a "silence" window frames are discarded and OnAliveTick says no; once past
/// the "restart" time, OnAliveTick runs the restart action once.
///
/// Every random choice is a pure function of the seed, the device id, the frame number and,
/// for a datagram, its stream (the VFaultySink's key) and its place in the frame's datagrams
/// of that stream: one stream of choices per device and frame, so a run repeats exactly
/// whatever order threads send in.
///
/// The counts say what a host can see: a datagram drop or a duplicate counts when its frame
/// goes out; a dropped frame counts once a later frame of the device goes out (the last frames
/// of a run, with nothing after them, are not seen as lost); a swap counts when the held frame
/// goes out after a frame that sent something; a silence when its window is first met; a
/// restart when it is run.
///
/// Threading contract: BeginFrame, EndFrame and Send on the frame thread under the device's
/// data lock; OnAliveTick on the awake-and-alive timer thread; Configure, Forget and the
/// getters on any thread. m_Lock guards the state; it is taken after the device's data lock
/// and never held while calling out, except to the streams' own sinks (sockets). The restart
/// action runs outside it. Not copyable.
class VDeviceFaults
{
public:
    using Clock = std::chrono::steady_clock;

    /// Frames waiting for their delay at most; beyond, the oldest goes out early.
    static constexpr std::size_t MaxDelayedFrames = 4096;

    struct VCounts
    {
        std::uint64_t DatagramsDropped = 0;
        std::uint64_t Duplicated = 0;
        std::uint64_t FramesDropped = 0;
        std::uint64_t FramesSwapped = 0;
        std::uint64_t Silences = 0;
        std::uint64_t Restarts = 0;
    };

    explicit VDeviceFaults(std::uint32_t deviceId);
    ~VDeviceFaults();
    VDeviceFaults(const VDeviceFaults&) = delete;
    VDeviceFaults& operator=(const VDeviceFaults&) = delete;

    std::uint32_t GetDeviceId() const { return m_DeviceId; }

    /// Puts `plan` in force, its times counted from `start`; a plan that injects nothing ends
    /// the injection (frames held or delayed still go out). The silence and the restart of a
    /// plan happen at most once each. Any thread.
    void Configure(const VFaultPlan& plan, Clock::time_point start);
    /// The action that restarts the device (a disconnect and a connect); kept, called on the
    /// timer thread. Set once, before the device connects.
    void SetRestartAction(std::function<void()> action);

    /// True once any plan that injects something was in force.
    bool HasInjected() const;
    VCounts GetCounts() const;
    /// "<id>: injected: <n> datagrams dropped, <n> duplicated, <n> frames dropped, <n> frames
    /// swapped, <n> silences, <n> restarts", without a line end.
    std::string FormatInjectedLine() const;

    /// The frame step of `frame` begins; its datagrams follow through Send.
    void BeginFrame(std::uint32_t frame);
    /// The frame step ends at `now`: the frame's datagrams, and those of earlier frames whose
    /// time has come, go out (or not) as the plan says.
    void EndFrame(Clock::time_point now);
    /// One datagram of `stream`, whose real destination is `inner`. True as if it went out
    /// (an injected loss is the network's, not the device's); false when `inner` dropped it.
    bool Send(const VFaultySink& stream, IDatagramSink& inner, const std::uint8_t* bytes,
              std::size_t length);
    /// `count` datagrams of `stream` in order, as by Send one after another; while nothing
    /// is collected they go to `inner` as one batch (one system call over a socket). Returns
    /// the bytes of those that count as sent.
    std::uint64_t SendBatch(const VFaultySink& stream, IDatagramSink& inner,
                            const VDatagramView* datagrams, std::size_t count);
    /// `stream` goes away: its datagrams still waiting are forgotten.
    void Forget(const VFaultySink& stream);

    /// The awake-and-alive timer's tick at `now`: false inside a silence (no ALIVE). Runs the
    /// restart action when the restart is due.
    bool OnAliveTick(Clock::time_point now);

private:
    enum class EFrameChoice : std::uint8_t
    {
        Send,
        Drop,
        Hold,
    };

    struct VEntry
    {
        const VFaultySink* Stream = nullptr;
        IDatagramSink* Inner = nullptr;
        std::size_t Offset = 0;
        std::size_t Length = 0;
        bool Dropped = false; ///< "drop" chose it: counted, never sent
        bool Copy = false;    ///< the second sending of a duplicated datagram
    };

    /// The datagrams of one frame, their bytes one after the other.
    struct VFrame
    {
        std::vector<std::uint8_t> Bytes;
        std::vector<VEntry> Entries;

        /// True when a datagram of it would go out.
        bool SendsAnything() const;
        void Clear();
    };

    struct VDelayed
    {
        Clock::time_point Due;
        VFrame Frame;
    };

    /// A number in [0, 1) for choice `what` of the current frame.
    double Draw(std::uint64_t what) const;
    /// True inside the silence window; the first time, counts it and says so. m_Lock held.
    bool NoteSilence(Clock::time_point now);
    /// Counts and sends (or, with a delay, queues) what `frame` sends. m_Lock held.
    void Emit(VFrame& frame, Clock::time_point now);
    void SendNow(const VFrame& frame);
    void ReleaseDelayed(Clock::time_point now);
    /// Whether frames are collected at all. m_Lock held.
    bool IsCollecting() const;

    const std::uint32_t m_DeviceId;
    std::function<void()> m_RestartAction; // set once before use

    /// Frames are collected (read without the lock on the frame thread's fast path).
    std::atomic<bool> m_Collecting{false};

    mutable std::mutex m_Lock; // guards everything below
    VFaultPlan m_Plan;
    Clock::time_point m_Start{};
    bool m_Armed = false;
    bool m_EverArmed = false;
    bool m_SilenceMet = false;
    bool m_RestartDone = false;
    bool m_InFrame = false;
    std::uint32_t m_Frame = 0;
    std::uint64_t m_FrameKey = 0;
    EFrameChoice m_Choice = EFrameChoice::Send;
    /// Datagrams so far in the current frame, per stream.
    std::vector<std::pair<const VFaultySink*, std::uint32_t>> m_StreamIndices;
    VFrame m_Current;
    VFrame m_Held;
    bool m_HasHeld = false;
    std::deque<VDelayed> m_Delayed;
    std::uint64_t m_PendingFrameDrops = 0;
    VCounts m_Counts;
};
