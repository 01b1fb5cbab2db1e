#include "devices/syncunit/VFakeSourceTimecode.h"

#include "devices/IDatagramSink.h"
#include "devices/syncunit/VTimecodeSchedule.h"
#include "sources/IFakeSourceParams.h"

VFakeSourceTimecode::VFakeSourceTimecode(const IFakeSourceParams& params,
                                         const VFakeSourceTarget& target,
                                         const VStreamTimecode& start)
    : VFakeSource(target), m_Params(params), m_Timecode(start)
{
}

void VFakeSourceTimecode::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                    std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VTimecodeSchedule schedule(m_Timecode, m_Params.ReadParamOr("SystemFrameRate", 0.0));
    SyncUnitWire::VTimecodeFields fields;
    if (!schedule.At(frame, fields))
        return;
    m_Timecode.TicksPerSubFrame = schedule.GetTicksPerSystemFrame();
    fields.DeviceId = GetDeviceId();
    fields.Frame = frame;
    fields.Previous = previous;
    SyncUnitWire::EncodeTimecode(m_Datagram.data(), fields);
    if (GetSink().Send(m_Datagram.data(), m_Datagram.size()))
        bytesSent = static_cast<std::uint32_t>(m_Datagram.size());
}
