// The decoded frames of one X2D trial, shared by every device that replays it: each trial frame
// is read and decoded once, however many cameras take their slice of it, optionally ahead of
// the clock on a thread of its own.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class VX2DHolder;

/// The kinds of data of a trial frame, as a mask: what a reader asks to have decoded.
namespace X2DFrameKind
{
constexpr std::uint32_t Centroids = 1u << 0;
constexpr std::uint32_t Tracks = 1u << 1;
constexpr std::uint32_t Blobs = 1u << 2;
constexpr std::uint32_t Edges = 1u << 3;
constexpr std::uint32_t All = Centroids | Tracks | Blobs | Edges;
} // namespace X2DFrameKind

/// One trial frame decoded for every camera of the file: the four frames that
/// VX2DHolder::ReadFrame fills. Only the kinds asked for are filled; the others are empty.
struct VX2DDecodedFrame
{
    VCentroidFrame Centroids;
    VCentroidTrackFrame Tracks;
    VGreyscaleBlobFrame Blobs;
    VEdgePairFrame Edges;
};

/// Decodes trial frames once and lends them to any number of readers.
///
/// Acquire(index, kinds) returns a pinned, read-only view of trial frame `index` with at least
/// the kinds asked for. The first reader of a frame decodes it (through the holder, whose
/// lock serialises every use of the reader); later readers of the same frame find it decoded
/// and take their camera's set from it, so a tick of N cameras decodes each trial frame once
/// instead of 2 × N times. A kind asked for that the frame lacks so far is decoded into it
/// then. Each frame is exactly what ReadFrame gives for it: a frame that fails to read holds
/// what the reader got as far as the failure, as a private read would.
///
/// Memory is bounded: frames live in at most ReadAhead + 2 slots, whose storage is reused
/// from frame to frame (so a steady replay allocates nothing once every slot has held its
/// largest frame). A slot is reused only when no view pins it.
///
/// A frame is decoded with every kind the readers asked for over the last few frames (not
/// only the first reader's), so the readers of one tick normally share a single read of it.
///
/// Read-ahead (StartReadAhead): a thread of its own decodes, after each new frame asked for,
/// the frames that follow it (modulo the frame count, as a replay loops) up to `depth` ahead,
/// with those kinds, so a steady replay finds each frame ready. A frame number that jumps only
/// costs a decode on the reader's thread. Without it, readers decode on their own threads.
///
/// Threading contract: every operation may be called from any thread. One mutex guards the
/// slot table; decoding runs outside it, on a slot marked busy (a reader asking for a busy
/// frame waits for it rather than decoding it twice). A view must be released (destroyed)
/// before the frames object; a view may be moved to and released on another thread. The
/// read-ahead thread is owned: StopReadAhead and the destructor stop and join it promptly.
/// A thread holds at most one view at a time (a second Acquire while holding one may wait
/// for slots that only its own views keep). Not copyable.
class VX2DSharedFrames
{
    struct VSlot;

public:
    /// Read-ahead depth at most this many frames.
    static constexpr std::uint32_t MaxReadAhead = 8;

    /// A pinned, read-only view of one decoded frame; empty (false) when the trial has no
    /// frames. Move-only; releasing it (destruction, reassignment) unpins the frame.
    class VFrameRef
    {
    public:
        VFrameRef() = default;
        ~VFrameRef() { Release(); }
        VFrameRef(VFrameRef&& other) noexcept;
        VFrameRef& operator=(VFrameRef&& other) noexcept;
        VFrameRef(const VFrameRef&) = delete;
        VFrameRef& operator=(const VFrameRef&) = delete;

        explicit operator bool() const { return m_Slot != nullptr; }
        const VX2DDecodedFrame& operator*() const;
        const VX2DDecodedFrame* operator->() const { return &**this; }
        /// Unpins the frame now; the view is empty afterwards.
        void Release();

    private:
        friend class VX2DSharedFrames;
        VFrameRef(VX2DSharedFrames* owner, VSlot* slot) : m_Owner(owner), m_Slot(slot) {}

        VX2DSharedFrames* m_Owner = nullptr;
        VSlot* m_Slot = nullptr;
    };

    /// What a reader can see of the sharing: decodes made, on which thread, and requests.
    struct VStatistics
    {
        std::uint64_t Requests = 0;         ///< Acquire calls for a trial with frames
        std::uint64_t Decodes = 0;          ///< frame reads, kinds added to a frame included
        std::uint64_t ReadAheadDecodes = 0; ///< of which by the read-ahead thread
        std::uint64_t Waits = 0;            ///< Acquire calls that waited for a busy frame
    };

    /// Shares the frames of `holder`'s trial, whose frame count is fixed once it is open.
    /// `holder` must outlive this object (the holder owns it).
    explicit VX2DSharedFrames(VX2DHolder& holder);
    ~VX2DSharedFrames();
    VX2DSharedFrames(const VX2DSharedFrames&) = delete;
    VX2DSharedFrames& operator=(const VX2DSharedFrames&) = delete;

    /// Trial frame `index` (below the frame count) with at least `kinds` (X2DFrameKind mask)
    /// decoded; waits while another thread decodes it. Empty for a trial without frames or an
    /// index beyond it.
    VFrameRef Acquire(std::uint32_t index, std::uint32_t kinds);

    /// Starts the read-ahead thread with `depth` frames ahead (clamped to 1 ..
    /// MaxReadAhead); a running one only takes the new depth. `onStart` (may be empty) runs
    /// first on the new thread: the owner's place to set its scheduling (a reader of higher
    /// priority may wait for a frame this thread decodes). False when the thread cannot be
    /// started (readers then decode for themselves).
    bool StartReadAhead(std::uint32_t depth, std::function<void()> onStart = {});
    /// Stops and joins the read-ahead thread; idempotent.
    void StopReadAhead();

    std::uint32_t GetFrameCount() const { return m_FrameCount; }
    VStatistics GetStatistics() const;
    /// Slots made so far (each holds one frame's storage).
    std::size_t GetSlotCount() const;

private:
    static constexpr std::uint32_t NoFrame = 0xFFFFFFFFu;
    /// Frames whose kinds count as wanted for the frames to come (a wrap, which reads fewer
    /// kinds, does not make the next frames miss theirs).
    static constexpr std::size_t RecentFrames = 8;

    struct VSlot
    {
        VX2DDecodedFrame Frame;
        std::uint32_t Index = NoFrame; ///< the trial frame held, or NoFrame
        std::uint32_t Ready = 0;       ///< kinds decoded
        std::uint32_t Pins = 0;        ///< views lent out
        bool Busy = false;             ///< a thread decodes into it
        std::uint64_t LastUse = 0;     ///< request stamp of the last Acquire
    };

    /// m_Lock held: the slot holding `index`, or null.
    VSlot* FindSlot(std::uint32_t index) const;
    /// m_Lock held: a slot that may take a new frame: a free one (no view, not busy) outside
    /// the read-ahead window, least recently used first; else a new one while fewer than
    /// ReadAhead + 2 exist; else, with `mayTakeAhead`, the free one read farthest ahead. Null
    /// when none.
    VSlot* ChooseSlot(bool mayTakeAhead);
    /// Whether `index` lies in the window of the frames the read-ahead keeps: the last frame
    /// asked for and the `depth` after it.
    bool IsInWindow(std::uint32_t index) const;
    /// m_Lock held: the kinds asked for the last RecentFrames frames and the current one.
    std::uint32_t WantedKinds() const;
    /// Notes a request for `index` with `kinds`; wakes the read-ahead for a new frame.
    void NoteRequest(std::uint32_t index, std::uint32_t kinds);
    /// Decodes `kinds` of trial frame `index` into `frame` (no lock held; the slot is busy);
    /// for a `newFrame` the other kinds are emptied.
    void Decode(VX2DDecodedFrame& frame, std::uint32_t index, std::uint32_t kinds, bool newFrame);
    void Unpin(VSlot* slot);
    void ReadAheadLoop(const std::function<void()>& onStart);
    /// m_Lock held: the next frame the read-ahead should decode, with its slot and kinds.
    bool NextReadAhead(VSlot*& slot, std::uint32_t& index, std::uint32_t& kinds);

    VX2DHolder& m_Holder;
    const std::uint32_t m_FrameCount;

    mutable std::mutex m_Lock;             // guards everything below except the thread handle
    std::condition_variable m_SlotChanged; // a slot stopped being busy or lost its last view
    std::condition_variable m_ReadAheadWake;
    std::vector<std::unique_ptr<VSlot>> m_Slots;
    std::uint32_t m_Depth = 0; // read-ahead frames; 0 while no thread runs
    bool m_Stopping = false;
    bool m_HasRequest = false;
    std::uint32_t m_LastIndex = 0; // the last frame asked for
    std::uint32_t m_KindsNow = 0;  // kinds asked for m_LastIndex so far
    /// Kinds asked for each of the frames before it, the oldest overwritten first.
    std::array<std::uint32_t, RecentFrames> m_RecentKinds{};
    std::size_t m_RecentNext = 0;
    std::uint64_t m_Stamp = 0;
    std::uint32_t m_Waiters = 0;
    VStatistics m_Statistics;

    std::mutex m_ThreadLock; // guards m_ReadAhead; taken before m_Lock
    std::thread m_ReadAhead;
};
