#include "sources/VFakeSource.h"

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
    return m_FaultSink.Route(m_Override != nullptr ? *m_Override
                                                   : static_cast<IDatagramSink&>(m_SocketSink));
}
