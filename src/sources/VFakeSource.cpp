#include "sources/VFakeSource.h"

VFakeSource::VFakeSource(const VFakeSourceTarget& target) : m_Target(target), m_SocketSink(*this)
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
    if (m_Override != nullptr)
    {
        return *m_Override;
    }
    return m_SocketSink;
}
