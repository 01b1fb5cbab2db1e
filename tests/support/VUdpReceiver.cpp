#include "support/VUdpReceiver.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

namespace testsupport
{

namespace
{
constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order
} // namespace

VUdpReceiver::VUdpReceiver(std::uint16_t port, bool reuseAddress)
{
    m_Open = m_Socket.Create(VSocketSimple::KindDatagram) &&
             (!reuseAddress || m_Socket.SetReuseAddress(true)) &&
             m_Socket.BindToAddress(htonl(kLoopback), port);
    if (m_Open)
    {
        int size = 8 << 20;
        m_Socket.SetOption(SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
}

std::optional<Bytes> VUdpReceiver::Receive(std::chrono::milliseconds timeout)
{
    std::optional<VDatagram> datagram = ReceiveFrom(timeout);
    if (!datagram)
        return std::nullopt;
    return std::move(datagram->m_Bytes);
}

std::optional<VDatagram> VUdpReceiver::ReceiveFrom(std::chrono::milliseconds timeout)
{
    pollfd descriptor{m_Socket.GetHandle(), POLLIN, 0};
    if (::poll(&descriptor, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    VDatagram datagram;
    datagram.m_Bytes.resize(65536);
    sockaddr_in source{};
    const int received =
        m_Socket.ReceiveFrom(datagram.m_Bytes.data(), datagram.m_Bytes.size(), source);
    if (received < 0)
        return std::nullopt;
    datagram.m_Bytes.resize(static_cast<std::size_t>(received));
    datagram.m_SourceAddress = ntohl(source.sin_addr.s_addr);
    datagram.m_SourcePort = ntohs(source.sin_port);
    return datagram;
}

std::vector<Bytes> VUdpReceiver::ReceiveAll(std::chrono::milliseconds quiet)
{
    std::vector<Bytes> datagrams;
    while (std::optional<Bytes> datagram = Receive(quiet))
        datagrams.push_back(std::move(*datagram));
    return datagrams;
}

void VUdpReceiver::Drain()
{
    while (Receive(std::chrono::milliseconds(0)))
    {
    }
}

bool VUdpReceiver::SendTo(const Bytes& bytes, std::uint16_t port)
{
    return m_Socket.SendTo(bytes.data(), bytes.size(), htonl(kLoopback), port) ==
           static_cast<int>(bytes.size());
}

bool OpenPortPair(std::unique_ptr<VUdpReceiver>& first, std::unique_ptr<VUdpReceiver>& second,
                  std::uint16_t offset)
{
    for (int attempt = 0; attempt < 50; ++attempt)
    {
        first = std::make_unique<VUdpReceiver>();
        if (!first->IsOpen() || first->GetPort() > 65535 - offset)
            continue;
        second =
            std::make_unique<VUdpReceiver>(static_cast<std::uint16_t>(first->GetPort() + offset));
        if (second->IsOpen())
            return true;
    }
    return false;
}

} // namespace testsupport
