#include "tsmhost/VBroadcastSender.h"

#include "tsmhost/BroadcastEncoder.h"

#include <cerrno>
#include <cstring>

bool VBroadcastSender::Open(const VNetAddress& hal, std::uint16_t port, std::string& error)
{
    m_Port = port;
    if (!m_Socket.Create(VSocketSimple::KindDatagram))
    {
        error = "cannot open a UDP socket: " + std::string(std::strerror(errno));
        return false;
    }
    m_Socket.SetBroadcast(true);
    if (!m_Socket.BindToAddress(hal.GetNetworkOrder(), 0))
    {
        error = "cannot send from " + hal.ToString() + ": " + std::strerror(errno) +
                " (is it an address of this machine?)";
        m_Socket.Close(true);
        return false;
    }
    return true;
}

bool VBroadcastSender::Send(const std::vector<std::uint32_t>& words,
                            const std::vector<VNetAddress>& destinations, std::string& error)
{
    const std::vector<std::uint8_t> datagram = EncodeBroadcastWords(words);
    std::lock_guard<std::mutex> lock(m_SendLock);
    bool ok = true;
    for (const VNetAddress& destination : destinations)
    {
        const int sent = m_Socket.SendTo(datagram.data(), datagram.size(),
                                         destination.GetNetworkOrder(), m_Port);
        if (sent == static_cast<int>(datagram.size()))
        {
            ++m_Sent;
            continue;
        }
        if (ok)
            error = "cannot send to " + destination.ToString() + ":" + std::to_string(m_Port) +
                    ": " + (sent < 0 ? std::strerror(errno) : "datagram cut short");
        ok = false;
    }
    return ok;
}

std::uint64_t VBroadcastSender::GetSentCount()
{
    std::lock_guard<std::mutex> lock(m_SendLock);
    return m_Sent;
}
