#include "devices/VBroadcastReceiver.h"

#include "lumen/Log.h"
#include "net/LocalAddresses.h"
#include "net/VNetAddress.h"
#include "net/VThread.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

VBroadcastReceiver::VBroadcastReceiver(uint32_t localAddress, uint32_t halAddress)
    : m_LocalAddress(localAddress), m_HalAddress(halAddress)
{
    for (VDataInSocket* socket : {&m_Socket, &m_BroadcastSocket})
    {
        socket->SetSourceFilter(m_HalAddress);
        socket->SetHandler([this](const uint8_t* data, uint32_t length)
                           { OnBroadcastCommand(data, length); });
    }
}

VBroadcastReceiver::~VBroadcastReceiver()
{
    Stop();
}

bool VBroadcastReceiver::Start(uint16_t port)
{
    std::lock_guard lock(m_StartStopLock);
    if (m_Thread != nullptr)
        return true;
    bool onLocalAddress = false;
    if (!m_Socket.Create(VSocketSimple::KindDatagram) || !m_Socket.SetReuseAddress(true) ||
        !m_Socket.BindToAddressOrAny(m_LocalAddress, port, &onLocalAddress))
    {
        const int error = errno;
        m_Socket.Close();
        std::fprintf(stderr, "Warning: cannot receive broadcast commands on UDP port %u: %s\n",
                     port, std::strerror(error));
        ZEL_LOG("Broadcast", 1, "Cannot open UDP port %u for broadcast commands: %s", port,
                std::strerror(error));
        return false;
    }
    if (onLocalAddress)
        OpenBroadcastSocket(m_Socket.GetLocalPort());
    VNetAddress hal;
    hal.SetNetworkOrder(m_HalAddress);
    VNetAddress local;
    local.SetNetworkOrder(onLocalAddress ? m_LocalAddress : 0);
    ZEL_LOG("Broadcast", 3, "Receiving broadcast commands on UDP %s:%u from %s",
            local.ToString().c_str(), m_Socket.GetLocalPort(), hal.ToString().c_str());
    m_Socket.ClearStopRequest();
    m_Thread = std::make_unique<VFunctionThread>(
        "BroadcastRecv", [this](VThread&)
        { m_Socket.RunReceiveLoop(m_BroadcastSocket.IsValid() ? &m_BroadcastSocket : nullptr); });
    m_Thread->Start();
    return true;
}

void VBroadcastReceiver::Stop()
{
    std::lock_guard lock(m_StartStopLock);
    if (m_Thread != nullptr)
    {
        m_Socket.RequestStop();
        m_Thread->Join();
        m_Thread.reset();
    }
    m_Socket.Close();
    m_BroadcastSocket.Close();
}

void VBroadcastReceiver::OpenBroadcastSocket(uint16_t port)
{
    if (m_BroadcastSocket.Create(VSocketSimple::KindDatagram) &&
        m_BroadcastSocket.SetReuseAddress(true) && m_BroadcastSocket.Bind(port) &&
        m_BroadcastSocket.SetDestinationFilter(IsBroadcastAddress))
        return;
    const int error = errno;
    m_BroadcastSocket.Close();
    std::fprintf(stderr,
                 "Warning: cannot receive broadcast datagrams on UDP port %u: %s; only "
                 "commands sent to the local address arrive\n",
                 port, std::strerror(error));
}

uint16_t VBroadcastReceiver::GetPort() const
{
    std::lock_guard lock(m_StartStopLock);
    return m_Socket.IsValid() ? m_Socket.GetLocalPort() : 0;
}
