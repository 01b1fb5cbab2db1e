#include "devices/VFrameOutbox.h"

bool VFrameOutbox::Send(const std::uint8_t* bytes, std::size_t length)
{
    const std::size_t offset = m_Bytes.size();
    if (length > 0)
        m_Bytes.insert(m_Bytes.end(), bytes, bytes + length);
    m_Datagrams.push_back({offset, length});
    return true;
}

std::uint64_t VFrameOutbox::Flush(IDatagramSink& sink)
{
    m_Views.clear();
    for (const VQueued& datagram : m_Datagrams)
        m_Views.push_back({m_Bytes.data() + datagram.Offset, datagram.Length});
    const std::uint64_t queued = m_Bytes.size();
    const std::uint64_t sent = m_Views.empty() ? 0 : sink.SendBatch(m_Views.data(), m_Views.size());
    Clear();
    return queued - sent;
}

void VFrameOutbox::Clear()
{
    m_Bytes.clear();
    m_Datagrams.clear();
}
