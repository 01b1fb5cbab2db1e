#include "net/VDataOutSocket.h"

#include <arpa/inet.h>

bool VDataOutSocket::Open(uint32_t networkOrderAddress, uint16_t port, uint32_t sourceAddress)
{
    m_Destination = sockaddr_in{};
    m_Destination.sin_family = AF_INET;
    m_Destination.sin_port = htons(port);
    m_Destination.sin_addr.s_addr = networkOrderAddress;
    const bool created = !IsValid();
    if (created && !Create(KindDatagram))
        return false;
    const bool reuse = SetReuseAddress(true);
    const bool nonBlocking = SetNonBlocking(true);
    // Several rigs on one machine each send from their own address, so that a host can tell
    // them apart.
    const bool bound = !created || sourceAddress == 0 || BindToAddressOrAny(sourceAddress, 0);
    return bound && reuse && nonBlocking;
}

int VDataOutSocket::SendDatagram(const void* data, size_t length)
{
    return SendTo(data, length, m_Destination);
}

uint16_t VDataOutSocket::GetDestinationPort() const
{
    return ntohs(m_Destination.sin_port);
}
