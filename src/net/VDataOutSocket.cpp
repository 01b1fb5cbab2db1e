#include "net/VDataOutSocket.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>

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

int VDataOutSocket::SendDatagrams(const iovec* datagrams, unsigned count)
{
    if (!IsValid())
        return -1;
    std::array<mmsghdr, MaxBatch> messages;
    count = std::min(count, MaxBatch);
    for (unsigned i = 0; i < count; ++i)
    {
        messages[i] = {};
        messages[i].msg_hdr.msg_name = &m_Destination;
        messages[i].msg_hdr.msg_namelen = sizeof m_Destination;
        // sendmmsg only reads the vectors.
        messages[i].msg_hdr.msg_iov = const_cast<iovec*>(&datagrams[i]);
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int sent;
    do
        sent = ::sendmmsg(GetHandle(), messages.data(), count, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent;
}

uint16_t VDataOutSocket::GetDestinationPort() const
{
    return ntohs(m_Destination.sin_port);
}
