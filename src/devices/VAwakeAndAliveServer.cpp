#include "devices/VAwakeAndAliveServer.h"

#include "devices/BroadcastCommand.h"
#include "devices/VDeviceFaults.h"
#include "devices/VPeriodicCallback.h"

#include <arpa/inet.h>

namespace
{
/// Fixed bytes of the hardware address around the device id's low 24 bits.
constexpr uint8_t HardwareAddressPrefix[3] = {0x00, 0x00, 0x37};
/// Always set in the AWAKE place word.
constexpr uint32_t AwakePlaceFlag = 8;

/// Big-endian word at byte `offset`.
void StoreWord(uint8_t* datagram, size_t offset, uint32_t value)
{
    StoreBroadcastWord(datagram + offset, 0, value);
}
} // namespace

VAwakeAndAliveServer::VAwakeAndAliveServer(uint32_t localAddress, uint32_t halAddress,
                                           uint32_t deviceId, uint32_t position, uint32_t classCode,
                                           uint32_t flags, uint16_t port, VPeriodicCallback* timer,
                                           VDeviceFaults* faults)
    : m_Timer(timer != nullptr ? *timer : VPeriodicCallback::GetShared()), m_Faults(faults),
      m_Sink(*this)
{
    Open(halAddress, port, localAddress);
    EncodeAwake(m_Awake.data(), localAddress, classCode, position, flags, deviceId);
    EncodeAlive(m_Alive.data(), localAddress, classCode, 0, deviceId);
    m_Timer.Register(this);
}

VAwakeAndAliveServer::~VAwakeAndAliveServer()
{
    m_Timer.Unregister(this);
    Close(true);
}

void VAwakeAndAliveServer::OnTimer()
{
    const uint32_t tick = m_TickCount.load(std::memory_order_relaxed);
    if (m_Faults != nullptr && !m_Faults->OnAliveTick(VDeviceFaults::Clock::now()))
    {
        m_TickCount.store(tick + 1, std::memory_order_relaxed);
        return;
    }
    if (tick == 0)
        m_Sink.Send(m_Awake.data(), m_Awake.size());
    SetAliveSequence(m_Alive.data(), tick);
    m_Sink.Send(m_Alive.data(), m_Alive.size());
    m_TickCount.store(tick + 1, std::memory_order_relaxed);
}

void VAwakeAndAliveServer::EncodeHardwareAddress(uint8_t* out, uint32_t deviceId)
{
    out[0] = HardwareAddressPrefix[0];
    out[1] = HardwareAddressPrefix[1];
    out[2] = HardwareAddressPrefix[2];
    out[3] = static_cast<uint8_t>(deviceId >> 16);
    out[4] = static_cast<uint8_t>(deviceId >> 8);
    out[5] = static_cast<uint8_t>(deviceId);
    out[6] = 0;
    out[7] = 0;
}

void VAwakeAndAliveServer::EncodeAwake(uint8_t* out, uint32_t localAddress, uint32_t classCode,
                                       uint32_t position, uint32_t flags, uint32_t deviceId)
{
    StoreWord(out, AwakeDatagram::OffsetCode, BROADCAST_CMD_AWAKE);
    // The address goes out in the byte order the device keeps it in: network order.
    StoreWord(out, AwakeDatagram::OffsetLocalAddress, ntohl(localAddress));
    StoreWord(out, AwakeDatagram::OffsetClassCode, classCode);
    StoreWord(out, AwakeDatagram::OffsetPlace, (position << 24) | flags | AwakePlaceFlag);
    EncodeHardwareAddress(out + AwakeDatagram::OffsetHardwareAddress, deviceId);
    StoreWord(out, AwakeDatagram::OffsetDeviceId, deviceId);
}

void VAwakeAndAliveServer::EncodeAlive(uint8_t* out, uint32_t localAddress, uint32_t classCode,
                                       uint32_t tickCount, uint32_t deviceId)
{
    StoreWord(out, AliveDatagram::OffsetCode, BROADCAST_CMD_ALIVE_PING);
    StoreWord(out, AliveDatagram::OffsetLocalAddress, ntohl(localAddress));
    StoreWord(out, AliveDatagram::OffsetClassCode, classCode);
    StoreWord(out, AliveDatagram::OffsetSequence, 0);
    SetAliveSequence(out, tickCount);
    EncodeHardwareAddress(out + AliveDatagram::OffsetHardwareAddress, deviceId);
    StoreWord(out, AliveDatagram::OffsetReserved, 0);
    StoreWord(out, AliveDatagram::OffsetDeviceId, deviceId);
}

void VAwakeAndAliveServer::SetAliveSequence(uint8_t* alive, uint32_t tickCount)
{
    const uint32_t lower = LoadBroadcastWord(alive + AliveDatagram::OffsetSequence, 0) & 0xFFFFu;
    StoreWord(alive, AliveDatagram::OffsetSequence, (tickCount << 16) | lower);
}
