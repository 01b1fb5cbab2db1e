// The timecode generator of a sync unit: one timecode datagram per system frame.
#pragma once

#include "devices/syncunit/SyncUnitDatagrams.h"
#include "sources/VFakeSource.h"
#include "timecode/VStreamTimecode.h"

#include <array>
#include <cstdint>

class IFakeSourceParams;

/// `VFakeSourceTimecode`: at each frame f sends the 40-byte timecode datagram of f: the start
/// timecode advanced by f system frames as VTimecodeSchedule counts them at the current
/// "SystemFrameRate", with the index of this system frame inside the timecode frame and the
/// system frames per timecode frame. Nothing is sent for a frame when the schedule is not
/// usable (an invalid start, a standard the datagram has no bits for, rates that do not
/// fit). The record keeps the start as given; the ticks per sub-frame of the copy are those
/// of one system frame.
///
/// Threading contract: that of VFakeSource; the parameter reader must outlive the source.
/// Not copyable.
class VFakeSourceTimecode final : public VFakeSource
{
public:
    VFakeSourceTimecode(const IFakeSourceParams& params, const VFakeSourceTarget& target,
                        const VStreamTimecode& start);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

    /// The start record, with the ticks per sub-frame of the last frame sent.
    const VStreamTimecode& GetTimecode() const { return m_Timecode; }

private:
    const IFakeSourceParams& m_Params;
    VStreamTimecode m_Timecode;
    std::array<std::uint8_t, SyncUnitWire::TimecodeSize> m_Datagram{};
};
