#include "FileIO/X2DIO/VX2DSharedFrames.h"

#include "FileIO/X2DIO/VX2DHolder.h"

#include <pthread.h>

#include <algorithm>
#include <system_error>
#include <utility>

VX2DSharedFrames::VFrameRef::VFrameRef(VFrameRef&& other) noexcept
    : m_Owner(std::exchange(other.m_Owner, nullptr)), m_Slot(std::exchange(other.m_Slot, nullptr))
{
}

VX2DSharedFrames::VFrameRef& VX2DSharedFrames::VFrameRef::operator=(VFrameRef&& other) noexcept
{
    if (this != &other)
    {
        Release();
        m_Owner = std::exchange(other.m_Owner, nullptr);
        m_Slot = std::exchange(other.m_Slot, nullptr);
    }
    return *this;
}

const VX2DDecodedFrame& VX2DSharedFrames::VFrameRef::operator*() const
{
    return m_Slot->Frame;
}

void VX2DSharedFrames::VFrameRef::Release()
{
    if (m_Slot != nullptr)
        m_Owner->Unpin(m_Slot);
    m_Owner = nullptr;
    m_Slot = nullptr;
}

VX2DSharedFrames::VX2DSharedFrames(VX2DHolder& holder)
    : m_Holder(holder), m_FrameCount(holder.GetFrameCount())
{
    // Slots are made while the replay warms up; reserving keeps those additions from moving
    // the table later.
    m_Slots.reserve(MaxReadAhead + 2);
}

VX2DSharedFrames::~VX2DSharedFrames()
{
    StopReadAhead();
}

VX2DSharedFrames::VFrameRef VX2DSharedFrames::Acquire(std::uint32_t index, std::uint32_t kinds)
{
    if (index >= m_FrameCount)
        return {};
    std::unique_lock lock(m_Lock);
    ++m_Statistics.Requests;
    NoteRequest(index, kinds);
    bool waited = false;
    for (;;)
    {
        VSlot* slot = FindSlot(index);
        if (slot == nullptr)
        {
            slot = ChooseSlot(true);
            if (slot != nullptr)
            {
                slot->Index = index;
                slot->Ready = 0;
            }
        }
        if (slot == nullptr || slot->Busy)
        {
            // Another thread decodes this frame, or every slot is lent out: wait for a change
            // rather than decode the same frame twice.
            if (!waited)
                ++m_Statistics.Waits;
            waited = true;
            ++m_Waiters;
            m_SlotChanged.wait(lock);
            --m_Waiters;
            continue;
        }
        slot->LastUse = m_Stamp;
        ++slot->Pins;
        // A frame read here for the first time is read with every kind the readers have been
        // asking for, so that the readers after this one find theirs.
        const bool newFrame = slot->Ready == 0;
        const std::uint32_t missing = (newFrame ? kinds | WantedKinds() : kinds) & ~slot->Ready;
        if (missing != 0)
        {
            slot->Busy = true;
            ++m_Statistics.Decodes;
            lock.unlock();
            Decode(slot->Frame, index, missing, newFrame);
            lock.lock();
            slot->Ready |= missing;
            slot->Busy = false;
            if (m_Waiters > 0)
                m_SlotChanged.notify_all();
        }
        return VFrameRef(this, slot);
    }
}

void VX2DSharedFrames::Unpin(VSlot* slot)
{
    std::lock_guard lock(m_Lock);
    if (--slot->Pins > 0)
        return;
    if (m_Waiters > 0)
        m_SlotChanged.notify_all();
    // The read-ahead may be waiting for a slot to come free.
    if (m_Depth > 0)
        m_ReadAheadWake.notify_one();
}

void VX2DSharedFrames::NoteRequest(std::uint32_t index, std::uint32_t kinds)
{
    ++m_Stamp;
    if (m_HasRequest && index == m_LastIndex)
    {
        const std::uint32_t added = kinds & ~m_KindsNow;
        m_KindsNow |= kinds;
        if (added != 0 && m_Depth > 0)
            m_ReadAheadWake.notify_one();
        return;
    }
    // A new frame: what was asked of the frames before is what the next ones will be asked.
    if (m_HasRequest)
    {
        m_RecentKinds[m_RecentNext] = m_KindsNow;
        m_RecentNext = (m_RecentNext + 1) % m_RecentKinds.size();
    }
    m_KindsNow = kinds;
    m_LastIndex = index;
    m_HasRequest = true;
    if (m_Depth > 0)
        m_ReadAheadWake.notify_one();
}

VX2DSharedFrames::VSlot* VX2DSharedFrames::FindSlot(std::uint32_t index) const
{
    for (const std::unique_ptr<VSlot>& slot : m_Slots)
    {
        if (slot->Index == index)
            return slot.get();
    }
    return nullptr;
}

bool VX2DSharedFrames::IsInWindow(std::uint32_t index) const
{
    if (!m_HasRequest || index == NoFrame)
        return false;
    const std::uint32_t ahead = (index + m_FrameCount - m_LastIndex) % m_FrameCount;
    return ahead <= m_Depth;
}

VX2DSharedFrames::VSlot* VX2DSharedFrames::ChooseSlot(bool mayTakeAhead)
{
    // A free slot outside the window, the least recently used first (an empty one before all).
    VSlot* best = nullptr;
    for (const std::unique_ptr<VSlot>& slot : m_Slots)
    {
        if (slot->Pins > 0 || slot->Busy || IsInWindow(slot->Index))
            continue;
        const bool emptier = slot->Index == NoFrame && (best == nullptr || best->Index != NoFrame);
        if (best == nullptr || emptier || (best->Index != NoFrame && slot->LastUse < best->LastUse))
            best = slot.get();
    }
    if (best != nullptr)
        return best;
    const std::size_t limit = std::size_t{m_Depth} + 2;
    if (m_Slots.size() < limit)
    {
        m_Slots.push_back(std::make_unique<VSlot>());
        return m_Slots.back().get();
    }
    if (!mayTakeAhead)
        return nullptr;
    // A reader that finds every free slot holding a frame read ahead takes the one farthest
    // ahead (never the frame now being asked for).
    std::uint32_t farthest = 0;
    for (const std::unique_ptr<VSlot>& slot : m_Slots)
    {
        if (slot->Pins > 0 || slot->Busy || slot->Index == m_LastIndex)
            continue;
        const std::uint32_t ahead = (slot->Index + m_FrameCount - m_LastIndex) % m_FrameCount;
        if (best == nullptr || ahead > farthest)
        {
            best = slot.get();
            farthest = ahead;
        }
    }
    return best;
}

void VX2DSharedFrames::Decode(VX2DDecodedFrame& frame, std::uint32_t index, std::uint32_t kinds,
                              bool newFrame)
{
    if (newFrame)
    {
        // The kinds not asked for show nothing of the frame the slot held before.
        frame.Centroids.Resize(0);
        frame.Tracks.Resize(0);
        frame.Blobs.Resize(0);
        frame.Edges.Resize(0);
    }
    // Emptied first, so that a read that fails before it reaches a device leaves no stale sets
    // of the frame the slot held before.
    ICentroidFrame* centroids = nullptr;
    ICentroidTrackFrame* tracks = nullptr;
    IGreyscaleBlobFrame* blobs = nullptr;
    IEdgePairFrame* edges = nullptr;
    if ((kinds & X2DFrameKind::Centroids) != 0)
    {
        frame.Centroids.Resize(0);
        centroids = &frame.Centroids;
    }
    if ((kinds & X2DFrameKind::Tracks) != 0)
    {
        frame.Tracks.Resize(0);
        tracks = &frame.Tracks;
    }
    if ((kinds & X2DFrameKind::Blobs) != 0)
    {
        frame.Blobs.Resize(0);
        blobs = &frame.Blobs;
    }
    if ((kinds & X2DFrameKind::Edges) != 0)
    {
        frame.Edges.Resize(0);
        edges = &frame.Edges;
    }
    // The result only says whether the frame-info item was read; the frame holds whatever
    // was decoded either way, as a private read would.
    m_Holder.ReadFrame(index, centroids, tracks, blobs, edges);
}

bool VX2DSharedFrames::StartReadAhead(std::uint32_t depth, std::function<void()> onStart)
{
    std::lock_guard threadLock(m_ThreadLock);
    {
        std::lock_guard lock(m_Lock);
        m_Depth = std::clamp<std::uint32_t>(depth, 1, MaxReadAhead);
        m_Stopping = false;
    }
    if (!m_ReadAhead.joinable())
    {
        try
        {
            m_ReadAhead =
                std::thread([this, onStart = std::move(onStart)] { ReadAheadLoop(onStart); });
        }
        catch (const std::system_error&)
        {
            std::lock_guard lock(m_Lock);
            m_Depth = 0;
            return false;
        }
    }
    m_ReadAheadWake.notify_one();
    return true;
}

void VX2DSharedFrames::StopReadAhead()
{
    std::lock_guard threadLock(m_ThreadLock);
    {
        std::lock_guard lock(m_Lock);
        m_Stopping = true;
        m_Depth = 0;
    }
    m_ReadAheadWake.notify_one();
    if (m_ReadAhead.joinable())
        m_ReadAhead.join();
}

std::uint32_t VX2DSharedFrames::WantedKinds() const
{
    std::uint32_t wanted = m_KindsNow;
    for (std::uint32_t recent : m_RecentKinds)
        wanted |= recent;
    return wanted;
}

bool VX2DSharedFrames::NextReadAhead(VSlot*& slot, std::uint32_t& index, std::uint32_t& kinds)
{
    const std::uint32_t wanted = WantedKinds();
    if (!m_HasRequest || m_Depth == 0 || wanted == 0)
        return false;
    const std::uint32_t ahead = std::min(m_Depth, m_FrameCount - 1);
    for (std::uint32_t step = 1; step <= ahead; ++step)
    {
        const std::uint32_t next = (m_LastIndex + step) % m_FrameCount;
        VSlot* found = FindSlot(next);
        if (found != nullptr)
        {
            if (found->Busy || (wanted & ~found->Ready) == 0)
                continue;
            slot = found;
            kinds = wanted & ~found->Ready;
            index = next;
            return true;
        }
        found = ChooseSlot(false);
        if (found == nullptr)
            return false; // every slot is lent out or holds the window: wait for a release
        found->Index = next;
        found->Ready = 0;
        slot = found;
        kinds = wanted;
        index = next;
        return true;
    }
    return false;
}

void VX2DSharedFrames::ReadAheadLoop(const std::function<void()>& onStart)
{
    pthread_setname_np(pthread_self(), "tsm-readahead");
    if (onStart)
        onStart();
    std::unique_lock lock(m_Lock);
    while (!m_Stopping)
    {
        VSlot* slot = nullptr;
        std::uint32_t index = 0;
        std::uint32_t kinds = 0;
        if (!NextReadAhead(slot, index, kinds))
        {
            m_ReadAheadWake.wait(lock);
            continue;
        }
        const bool newFrame = slot->Ready == 0;
        slot->Busy = true;
        ++m_Statistics.Decodes;
        ++m_Statistics.ReadAheadDecodes;
        lock.unlock();
        Decode(slot->Frame, index, kinds, newFrame);
        lock.lock();
        slot->Ready |= kinds;
        slot->Busy = false;
        if (m_Waiters > 0)
            m_SlotChanged.notify_all();
    }
}

VX2DSharedFrames::VStatistics VX2DSharedFrames::GetStatistics() const
{
    std::lock_guard lock(m_Lock);
    return m_Statistics;
}

std::size_t VX2DSharedFrames::GetSlotCount() const
{
    std::lock_guard lock(m_Lock);
    return m_Slots.size();
}
