// The awake-and-alive sender of a connected device: one AWAKE announcement, then an ALIVE
// datagram at every tick of the process-wide 100 ms timer, to the HAL's UDP port 8570.
#pragma once

#include "devices/ITimerCallback.h"
#include "devices/VDataOutSocketSink.h"

#include "net/VDataOutSocket.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

class VDeviceFaults;
class VPeriodicCallback;

/// The AWAKE datagram: 28 bytes, every word big-endian.
struct AwakeDatagram
{
    static constexpr size_t Size = 28;
    static constexpr size_t OffsetCode = 0;         // 0x00040006
    static constexpr size_t OffsetLocalAddress = 4; // network order, as the device keeps it
    static constexpr size_t OffsetClassCode = 8;
    static constexpr size_t OffsetPlace = 12;           // (position << 24) | flags | 8
    static constexpr size_t OffsetHardwareAddress = 16; // 8 bytes
    static constexpr size_t OffsetDeviceId = 24;
};

/// The ALIVE datagram: 32 bytes, every word big-endian.
struct AliveDatagram
{
    static constexpr size_t Size = 32;
    static constexpr size_t OffsetCode = 0;         // 0x00060007
    static constexpr size_t OffsetLocalAddress = 4; // network order, as the device keeps it
    static constexpr size_t OffsetClassCode = 8;
    static constexpr size_t OffsetSequence = 12;        // sequence << 16
    static constexpr size_t OffsetHardwareAddress = 16; // 8 bytes
    static constexpr size_t OffsetReserved = 24;        // 0
    static constexpr size_t OffsetDeviceId = 28;
};

/// The UDP port of the HAL that receives AWAKE and ALIVE.
constexpr uint16_t AWAKE_AND_ALIVE_PORT = 8570;

/// Sends a connected device's AWAKE and ALIVE datagrams. The host receives AWAKE at the
/// first tick after construction, at once followed by ALIVE with sequence 0, then one ALIVE
/// per tick with the sequence counting up modulo 65536. A datagram the socket does not take
/// after a few short retries (VDataOutSocketSink) is dropped and counted, so the shared timer
/// thread never waits on an unreachable host.
///
/// Threading contract: owned by the device while it is connected; constructed and destroyed
/// on the main thread (or any one owner thread). OnTimer runs on the periodic thread under
/// the timer's registry lock; the destructor unregisters first, so OnTimer is never called on
/// a half-destroyed server. Not copyable.
class VAwakeAndAliveServer : public VDataOutSocket, public ITimerCallback
{
public:
    /// Opens the socket towards `halAddress`:`port`, sending from `localAddress` when it is
    /// one of this machine's, prepares both datagrams and registers with `timer` (the
    /// process-wide 100 ms timer when null, created on first use).
    /// Addresses are in network byte order. A socket that cannot be opened is not reported:
    /// its datagrams are then dropped. `faults` (not owned, may be null, outlives the server)
    /// is asked before each tick's datagrams: inside an injected silence the tick sends
    /// nothing (and still counts).
    VAwakeAndAliveServer(uint32_t localAddress, uint32_t halAddress, uint32_t deviceId,
                         uint32_t position, uint32_t classCode, uint32_t flags,
                         uint16_t port = AWAKE_AND_ALIVE_PORT, VPeriodicCallback* timer = nullptr,
                         VDeviceFaults* faults = nullptr);
    /// Unregisters from the timer, then closes the socket.
    ~VAwakeAndAliveServer() override;
    VAwakeAndAliveServer(const VAwakeAndAliveServer&) = delete;
    VAwakeAndAliveServer& operator=(const VAwakeAndAliveServer&) = delete;

    /// One tick: AWAKE on the first, then ALIVE with the tick count as sequence.
    void OnTimer() override;

    /// Ticks so far. Any thread.
    uint32_t GetTickCount() const { return m_TickCount.load(std::memory_order_relaxed); }
    /// Datagrams given up on. Any thread.
    uint64_t GetDroppedCount() const { return m_Sink.GetDroppedCount(); }

    /// The eight bytes of the hardware address field: 00 00 37, bits 23-16, 15-8 and 7-0 of
    /// `deviceId`, 00 00.
    static void EncodeHardwareAddress(uint8_t* out, uint32_t deviceId);
    /// Writes the AWAKE datagram (AwakeDatagram::Size bytes) at `out`.
    static void EncodeAwake(uint8_t* out, uint32_t localAddress, uint32_t classCode,
                            uint32_t position, uint32_t flags, uint32_t deviceId);
    /// Writes the ALIVE datagram (AliveDatagram::Size bytes) at `out` for tick `tickCount`
    /// (sequence = tickCount modulo 65536).
    static void EncodeAlive(uint8_t* out, uint32_t localAddress, uint32_t classCode,
                            uint32_t tickCount, uint32_t deviceId);
    /// Rewrites the sequence word of an encoded ALIVE datagram for tick `tickCount`, keeping
    /// the word's lower 16 bits.
    static void SetAliveSequence(uint8_t* alive, uint32_t tickCount);

private:
    VPeriodicCallback& m_Timer;
    VDeviceFaults* const m_Faults;
    VDataOutSocketSink m_Sink; // sends on this socket with bounded retries
    std::array<uint8_t, AwakeDatagram::Size> m_Awake{};
    std::array<uint8_t, AliveDatagram::Size> m_Alive{}; // periodic thread only after construction
    std::atomic<uint32_t> m_TickCount{0};               // written by the periodic thread only
};
