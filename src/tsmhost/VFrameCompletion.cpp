#include "tsmhost/VFrameCompletion.h"

#include <algorithm>
#include <iterator>
#include <utility>

VFrameCompletion::VFrameCompletion(Sink sink) : m_Sink(std::move(sink)) {}

void VFrameCompletion::ExpectDevice(std::uint32_t deviceId)
{
    std::lock_guard lock(m_Lock);
    m_Expected.try_emplace(deviceId, VExpected{m_Newest});
}

void VFrameCompletion::OnDeviceFrame(std::uint32_t deviceId, std::uint32_t frameNumber)
{
    std::vector<std::uint32_t> complete;
    {
        std::lock_guard lock(m_Lock);
        if (m_Newest && std::int64_t{frameNumber} + WindowFrames < std::int64_t{*m_Newest})
        {
            // The numbers started again.
            m_Pending.clear();
            m_Finished.clear();
            m_Newest.reset();
            for (auto& entry : m_Expected)
                entry.second.Last.reset();
        }
        if (!m_Newest || frameNumber > *m_Newest)
            m_Newest = frameNumber;
        m_Expected[deviceId].Last = frameNumber;
        if (m_Finished.count(frameNumber) == 0)
            m_Pending[frameNumber].insert(deviceId);
        Sweep(frameNumber, complete);
    }
    if (m_Sink)
    {
        for (const std::uint32_t frame : complete)
            m_Sink(frame);
    }
}

VFrameCompletion::VCounts VFrameCompletion::GetCounts() const
{
    std::lock_guard lock(m_Lock);
    return m_Counts;
}

bool VFrameCompletion::IsComplete(const std::set<std::uint32_t>& delivered) const
{
    return std::all_of(m_Expected.begin(), m_Expected.end(),
                       [&delivered](const auto& entry) { return delivered.count(entry.first); });
}

void VFrameCompletion::Sweep(std::uint32_t delivered, std::vector<std::uint32_t>& complete)
{
    const std::uint32_t newest = *m_Newest;
    const std::int64_t oldest = std::int64_t{newest} - WindowFrames;
    bool forgotten = false;
    for (auto device = m_Expected.begin(); device != m_Expected.end();)
    {
        if (!device->second.Last)
            device->second.Last = newest; // the silence counts from here
        if (std::int64_t{*device->second.Last} < oldest)
        {
            device = m_Expected.erase(device);
            forgotten = true;
        }
        else
            ++device;
    }
    while (!m_Pending.empty() && std::int64_t{m_Pending.begin()->first} < oldest)
    {
        ++m_Counts.Abandoned;
        m_Finished.insert(m_Pending.begin()->first);
        m_Pending.erase(m_Pending.begin());
    }
    // Only the frame just delivered can have become complete, unless a device is no longer
    // waited for: then any frame can.
    auto frame = forgotten ? m_Pending.begin() : m_Pending.find(delivered);
    const auto end = forgotten ? m_Pending.end() : std::next(frame, frame != m_Pending.end());
    while (frame != end)
    {
        if (!IsComplete(frame->second))
        {
            ++frame;
            continue;
        }
        ++m_Counts.Completed;
        complete.push_back(frame->first);
        m_Finished.insert(frame->first);
        frame = m_Pending.erase(frame);
    }
    m_Finished.erase(m_Finished.begin(), m_Finished.lower_bound(static_cast<std::uint32_t>(
                                             std::max<std::int64_t>(oldest, 0))));
}
