#include "net/VDataOutSocket.h"

#include <arpa/inet.h>

bool VDataOutSocket::Open(uint32_t networkOrderAddress, uint16_t port)
{
    m_Destination = sockaddr_in{};
    m_Destination.sin_family = AF_INET;
    m_Destination.sin_port = htons(port);
    m_Destination.sin_addr.s_addr = networkOrderAddress;
    if (!IsValid() && !Create(KindDatagram))
        return false;
    const bool reuse = SetReuseAddress(true);
    const bool nonBlocking = SetNonBlocking(true);
    return reuse && nonBlocking;
}

int VDataOutSocket::SendDatagram(const void* data, size_t length)
{
    return SendTo(data, length, m_Destination);
}

uint16_t VDataOutSocket::GetDestinationPort() const
{
    return ntohs(m_Destination.sin_port);
}
