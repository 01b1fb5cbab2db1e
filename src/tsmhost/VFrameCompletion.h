// Tells when the host has a frame from every device: the moment a host would reconstruct it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

/// Gathers, per frame number, the devices that delivered it, and reports a frame as complete
/// once every expected device has. Devices are expected when named (ExpectDevice) or once
/// they deliver a frame; a device that has delivered none of the last WindowFrames frame
/// numbers (silent, or never heard from since it was named) is no longer expected, until it
/// delivers again. A frame still incomplete WindowFrames numbers behind the newest is given
/// up; a frame number more than WindowFrames below the newest means the numbers started
/// again (the host's FRAME_NUMBER): everything gathered is dropped. Each frame is reported at
/// most once while it stays within the window. Memory is bounded by the window.
///
/// Threading contract: any thread; m_Lock guards the state. The sink is called outside the
/// lock, on the thread of the OnDeviceFrame that completed the frame. Not copyable.
class VFrameCompletion
{
public:
    using Sink = std::function<void(std::uint32_t frameNumber)>;
    static constexpr std::uint32_t WindowFrames = 32;

    struct VCounts
    {
        std::uint64_t Completed = 0;
        std::uint64_t Abandoned = 0;
    };

    explicit VFrameCompletion(Sink sink);
    VFrameCompletion(const VFrameCompletion&) = delete;
    VFrameCompletion& operator=(const VFrameCompletion&) = delete;

    /// From now on frames wait for `deviceId` too.
    void ExpectDevice(std::uint32_t deviceId);
    /// `deviceId` delivered frame `frameNumber`.
    void OnDeviceFrame(std::uint32_t deviceId, std::uint32_t frameNumber);

    VCounts GetCounts() const;

private:
    struct VExpected
    {
        /// The last frame number delivered, or, before any, the newest number seen when the
        /// silence count started; unset until a first frame number is known.
        std::optional<std::uint32_t> Last;
    };

    bool IsComplete(const std::set<std::uint32_t>& delivered) const;
    /// Forgets silent devices, gives up old frames and collects what is complete now that
    /// frame `delivered` arrived.
    void Sweep(std::uint32_t delivered, std::vector<std::uint32_t>& complete);

    const Sink m_Sink;
    mutable std::mutex m_Lock; // guards everything below
    std::map<std::uint32_t, VExpected> m_Expected;
    std::map<std::uint32_t, std::set<std::uint32_t>> m_Pending; // frame -> devices delivered
    std::set<std::uint32_t> m_Finished; // reported or given up, within the window
    std::optional<std::uint32_t> m_Newest;
    VCounts m_Counts;
};
