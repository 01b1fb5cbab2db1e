#include "devices/VBroadcastReceiver.h"

#include "lumen/Log.h"
#include "net/VNetAddress.h"
#include "net/VThread.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

VBroadcastReceiver::VBroadcastReceiver(uint32_t localAddress, uint32_t halAddress)
    : m_LocalAddress(localAddress), m_HalAddress(halAddress)
{
    m_Socket.SetSourceFilter(m_HalAddress);
    m_Socket.SetHandler([this](const uint8_t* data, uint32_t length)
                        { OnBroadcastCommand(data, length); });
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
    if (!m_Socket.Create(VSocketSimple::KindDatagram) || !m_Socket.SetReuseAddress(true) ||
        !m_Socket.Bind(port))
    {
        const int error = errno;
        m_Socket.Close();
        std::fprintf(stderr, "Warning: cannot receive broadcast commands on UDP port %u: %s\n",
                     port, std::strerror(error));
        ZEL_LOG("Broadcast", 1, "Cannot open UDP port %u for broadcast commands: %s", port,
                std::strerror(error));
        return false;
    }
    VNetAddress hal;
    hal.SetNetworkOrder(m_HalAddress);
    ZEL_LOG("Broadcast", 3, "Receiving broadcast commands on UDP port %u from %s",
            m_Socket.GetLocalPort(), hal.ToString().c_str());
    m_Socket.ClearStopRequest();
    m_Thread = std::make_unique<VFunctionThread>("BroadcastRecv",
                                                 [this](VThread&) { m_Socket.RunReceiveLoop(); });
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
}

uint16_t VBroadcastReceiver::GetPort() const
{
    std::lock_guard lock(m_StartStopLock);
    return m_Socket.IsValid() ? m_Socket.GetLocalPort() : 0;
}
