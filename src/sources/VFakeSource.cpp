#include "sources/VFakeSource.h"

#include <algorithm>

VFakeSource::VFakeSource(const VFakeSourceTarget& target)
    : m_Target(target), m_SocketSink(*this), m_FaultSink(target.Faults, target.Port)
{
    // Open creates the socket with address reuse, turns non-blocking mode on and stores the
    // destination (also when one of the steps fails).
    Open(m_Target.HalAddress, m_Target.Port, m_Target.LocalAddress);
}

VFakeSource::~VFakeSource()
{
    Close();
}

IDatagramSink& VFakeSource::GetSink()
{
    if (m_Batching)
    {
        return m_Outbox;
    }
    return GetFinalSink();
}

IDatagramSink& VFakeSource::GetFinalSink()
{
    return m_FaultSink.Route(m_Override != nullptr ? *m_Override
                                                   : static_cast<IDatagramSink&>(m_SocketSink));
}

VFakeSource::VBatchedFrame::VBatchedFrame(VFakeSource& source, std::uint32_t& bytesSent)
    : m_Source(source), m_BytesSent(bytesSent)
{
    m_Source.m_Outbox.Clear();
    m_Source.m_Batching = true;
}

VFakeSource::VBatchedFrame::~VBatchedFrame()
{
    m_Source.m_Batching = false;
    // The whole frame is in the outbox now: the place where a frame, or any of its
    // datagrams, could be held back, dropped or repeated before it goes out.
    const std::uint64_t dropped = m_Source.m_Outbox.Flush(m_Source.GetFinalSink());
    m_BytesSent -= static_cast<std::uint32_t>(std::min<std::uint64_t>(dropped, m_BytesSent));
}
