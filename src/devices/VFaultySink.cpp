#include "devices/VFaultySink.h"

#include "devices/VDeviceFaults.h"

VFaultySink::VFaultySink(VDeviceFaults* faults, std::uint32_t key) : m_Faults(faults), m_Key(key) {}

VFaultySink::~VFaultySink()
{
    if (m_Faults != nullptr)
        m_Faults->Forget(*this);
}

IDatagramSink& VFaultySink::Route(IDatagramSink& inner)
{
    if (m_Faults == nullptr)
        return inner;
    m_Inner = &inner;
    return *this;
}

bool VFaultySink::Send(const std::uint8_t* bytes, std::size_t length)
{
    if (m_Inner == nullptr)
        return false;
    return m_Faults->Send(*this, *m_Inner, bytes, length);
}

std::uint64_t VFaultySink::SendBatch(const VDatagramView* datagrams, std::size_t count)
{
    if (m_Inner == nullptr)
        return 0;
    return m_Faults->SendBatch(*this, *m_Inner, datagrams, count);
}
