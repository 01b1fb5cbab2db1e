#include "devices/VDeviceFaults.h"

#include "devices/IDatagramSink.h"
#include "devices/VFaultySink.h"
#include "lumen/Log.h"

#include <cstdio>
#include <utility>

namespace
{

/// The finaliser of SplitMix64: a well-mixed 64-bit value from any 64-bit value.
std::uint64_t Mix(std::uint64_t value)
{
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

/// What a draw decides, in the low bits of its choice number.
enum EDrawPurpose : std::uint64_t
{
    DrawFrame = 0,
    DrawDrop = 1,
    DrawDuplicate = 2,
};

/// The choice number of the `index`-th datagram of the stream with `key` in a frame.
std::uint64_t DatagramChoice(std::uint32_t key, std::uint32_t index, EDrawPurpose purpose)
{
    return (std::uint64_t{key} << 34) | (std::uint64_t{index} << 2) | purpose;
}

VDeviceFaults::Clock::duration Seconds(double seconds)
{
    return std::chrono::duration_cast<VDeviceFaults::Clock::duration>(
        std::chrono::duration<double>(seconds));
}

int ConsoleId(std::uint32_t deviceId)
{
    return static_cast<int>(deviceId);
}

} // namespace

// ---- frames ------------------------------------------------------------------------------

bool VDeviceFaults::VFrame::SendsAnything() const
{
    for (const VEntry& entry : Entries)
    {
        if (!entry.Dropped)
            return true;
    }
    return false;
}

void VDeviceFaults::VFrame::Clear()
{
    Bytes.clear();
    Entries.clear();
}

// ---- set-up and counts ---------------------------------------------------------------------

VDeviceFaults::VDeviceFaults(std::uint32_t deviceId) : m_DeviceId(deviceId) {}

VDeviceFaults::~VDeviceFaults() = default;

void VDeviceFaults::Configure(const VFaultPlan& plan, Clock::time_point start)
{
    std::lock_guard lock(m_Lock);
    m_Plan = plan;
    m_Start = start;
    m_Armed = plan.InjectsAnything();
    m_EverArmed = m_EverArmed || m_Armed;
    m_SilenceMet = false;
    m_RestartDone = false;
}

void VDeviceFaults::SetRestartAction(std::function<void()> action)
{
    m_RestartAction = std::move(action);
}

bool VDeviceFaults::HasInjected() const
{
    std::lock_guard lock(m_Lock);
    return m_EverArmed;
}

VDeviceFaults::VCounts VDeviceFaults::GetCounts() const
{
    std::lock_guard lock(m_Lock);
    return m_Counts;
}

std::string VDeviceFaults::FormatInjectedLine() const
{
    const VCounts counts = GetCounts();
    char line[256];
    std::snprintf(line, sizeof line,
                  "%d: injected: %llu datagrams dropped, %llu duplicated, %llu frames dropped, "
                  "%llu frames swapped, %llu silences, %llu restarts",
                  ConsoleId(m_DeviceId), static_cast<unsigned long long>(counts.DatagramsDropped),
                  static_cast<unsigned long long>(counts.Duplicated),
                  static_cast<unsigned long long>(counts.FramesDropped),
                  static_cast<unsigned long long>(counts.FramesSwapped),
                  static_cast<unsigned long long>(counts.Silences),
                  static_cast<unsigned long long>(counts.Restarts));
    return line;
}

// ---- frame thread --------------------------------------------------------------------------

bool VDeviceFaults::IsCollecting() const
{
    return m_Armed || m_HasHeld || !m_Delayed.empty() || m_PendingFrameDrops > 0;
}

double VDeviceFaults::Draw(std::uint64_t what) const
{
    // 53 random bits, the precision of a double in [0, 1).
    return static_cast<double>(Mix(m_FrameKey ^ Mix(what)) >> 11) * 0x1.0p-53;
}

void VDeviceFaults::BeginFrame(std::uint32_t frame)
{
    std::lock_guard lock(m_Lock);
    m_InFrame = true;
    m_Frame = frame;
    m_FrameKey = Mix(Mix(m_Plan.Seed) ^ ((std::uint64_t{m_DeviceId} << 32) | frame));
    m_StreamIndices.clear();
    m_Current.Clear();
    m_Choice = EFrameChoice::Send;
    if (m_Armed && !m_HasHeld)
    {
        const double draw = Draw(DrawFrame);
        if (draw < m_Plan.DropFrames)
            m_Choice = EFrameChoice::Drop;
        else if (draw < m_Plan.DropFrames + m_Plan.SwapFrames)
            m_Choice = EFrameChoice::Hold;
    }
    m_Collecting.store(IsCollecting(), std::memory_order_relaxed);
}

bool VDeviceFaults::Send(const VFaultySink& stream, IDatagramSink& inner, const std::uint8_t* bytes,
                         std::size_t length)
{
    if (!m_Collecting.load(std::memory_order_relaxed))
        return inner.Send(bytes, length);
    std::unique_lock lock(m_Lock);
    if (!m_InFrame)
    {
        lock.unlock();
        return inner.Send(bytes, length);
    }
    std::uint32_t index = 0;
    auto place = std::find_if(m_StreamIndices.begin(), m_StreamIndices.end(),
                              [&stream](const auto& entry) { return entry.first == &stream; });
    if (place == m_StreamIndices.end())
        m_StreamIndices.emplace_back(&stream, 1);
    else
        index = place->second++;

    VEntry entry{&stream, &inner, m_Current.Bytes.size(), length, false, false};
    m_Current.Bytes.insert(m_Current.Bytes.end(), bytes, bytes + length);
    if (m_Armed)
        entry.Dropped = Draw(DatagramChoice(stream.GetKey(), index, DrawDrop)) < m_Plan.Drop;
    m_Current.Entries.push_back(entry);
    if (m_Armed && !entry.Dropped &&
        Draw(DatagramChoice(stream.GetKey(), index, DrawDuplicate)) < m_Plan.Duplicate)
    {
        entry.Copy = true;
        m_Current.Entries.push_back(entry);
    }
    return true;
}

std::uint64_t VDeviceFaults::SendBatch(const VFaultySink& stream, IDatagramSink& inner,
                                       const VDatagramView* datagrams, std::size_t count)
{
    // The frame thread alone changes m_Collecting (BeginFrame, EndFrame), so it holds for the
    // whole batch.
    if (!m_Collecting.load(std::memory_order_relaxed))
        return inner.SendBatch(datagrams, count);
    std::uint64_t bytes = 0;
    for (std::size_t i = 0; i < count; ++i)
    {
        if (Send(stream, inner, datagrams[i].Bytes, datagrams[i].Length))
            bytes += datagrams[i].Length;
    }
    return bytes;
}

void VDeviceFaults::EndFrame(Clock::time_point now)
{
    std::lock_guard lock(m_Lock);
    ReleaseDelayed(now);
    if (!m_InFrame)
        return;
    m_InFrame = false;
    m_Collecting.store(false, std::memory_order_relaxed);
    if (m_Armed && NoteSilence(now))
    {
        m_Current.Clear();
        return;
    }
    const bool sendsAnything = m_Current.SendsAnything();
    if (sendsAnything && m_Choice == EFrameChoice::Drop)
    {
        ++m_PendingFrameDrops;
        m_Current.Clear();
        return;
    }
    if (sendsAnything && m_Choice == EFrameChoice::Hold)
    {
        std::swap(m_Held, m_Current);
        m_HasHeld = true;
        m_Current.Clear();
        return;
    }
    Emit(m_Current, now);
    if (!m_HasHeld)
        return;
    // The frame held back goes right after this one: the host sees the two swapped, or, when
    // this one sent nothing, the held one merely late.
    if (sendsAnything)
        ++m_Counts.FramesSwapped;
    m_HasHeld = false;
    Emit(m_Held, now);
    m_Held.Clear();
}

void VDeviceFaults::Emit(VFrame& frame, Clock::time_point now)
{
    if (!frame.SendsAnything())
    {
        for (const VEntry& entry : frame.Entries)
            m_Counts.DatagramsDropped += entry.Dropped ? 1 : 0;
        return;
    }
    for (const VEntry& entry : frame.Entries)
    {
        m_Counts.DatagramsDropped += entry.Dropped ? 1 : 0;
        m_Counts.Duplicated += entry.Copy ? 1 : 0;
    }
    // Frames dropped before this one are now visible as gaps.
    m_Counts.FramesDropped += m_PendingFrameDrops;
    m_PendingFrameDrops = 0;
    // Queued behind frames still delayed even when the delay went away, so the order stays.
    if (m_Plan.DelayMs == 0 && m_Delayed.empty())
    {
        SendNow(frame);
        return;
    }
    if (m_Delayed.size() >= MaxDelayedFrames)
    {
        ZEL_LOG("Faults", 2, "%u: more than %zu frames delayed; sending the oldest early",
                m_DeviceId, MaxDelayedFrames);
        SendNow(m_Delayed.front().Frame);
        m_Delayed.pop_front();
    }
    m_Delayed.push_back({now + std::chrono::milliseconds(m_Plan.DelayMs), std::move(frame)});
    frame.Clear();
}

void VDeviceFaults::SendNow(const VFrame& frame)
{
    for (const VEntry& entry : frame.Entries)
    {
        if (!entry.Dropped)
            entry.Inner->Send(frame.Bytes.data() + entry.Offset, entry.Length);
    }
}

void VDeviceFaults::ReleaseDelayed(Clock::time_point now)
{
    while (!m_Delayed.empty() && m_Delayed.front().Due <= now)
    {
        SendNow(m_Delayed.front().Frame);
        m_Delayed.pop_front();
    }
}

void VDeviceFaults::Forget(const VFaultySink& stream)
{
    std::lock_guard lock(m_Lock);
    auto forget = [&stream](VFrame& frame)
    {
        std::erase_if(frame.Entries,
                      [&stream](const VEntry& entry) { return entry.Stream == &stream; });
    };
    forget(m_Current);
    forget(m_Held);
    for (VDelayed& delayed : m_Delayed)
        forget(delayed.Frame);
    std::erase_if(m_StreamIndices, [&stream](const auto& entry) { return entry.first == &stream; });
}

// ---- timer thread --------------------------------------------------------------------------

bool VDeviceFaults::NoteSilence(Clock::time_point now)
{
    if (!m_Plan.Silence)
        return false;
    const Clock::time_point from = m_Start + Seconds(m_Plan.Silence->AtSeconds);
    if (now < from || now >= from + Seconds(m_Plan.Silence->Seconds))
        return false;
    if (!m_SilenceMet)
    {
        m_SilenceMet = true;
        ++m_Counts.Silences;
        std::printf("%d: Injected silence of %g s\n", ConsoleId(m_DeviceId),
                    m_Plan.Silence->Seconds);
        std::fflush(stdout);
    }
    return true;
}

bool VDeviceFaults::OnAliveTick(Clock::time_point now)
{
    bool restart = false;
    bool silent = false;
    {
        std::lock_guard lock(m_Lock);
        if (!m_Armed)
            return true;
        silent = NoteSilence(now);
        if (m_Plan.RestartAtSeconds && !m_RestartDone &&
            now >= m_Start + Seconds(*m_Plan.RestartAtSeconds))
        {
            m_RestartDone = true;
            ++m_Counts.Restarts;
            restart = true;
        }
    }
    if (restart)
    {
        std::printf("%d: Injected restart\n", ConsoleId(m_DeviceId));
        std::fflush(stdout);
        if (m_RestartAction)
            m_RestartAction();
    }
    return !silent;
}
