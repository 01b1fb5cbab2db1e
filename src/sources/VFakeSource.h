// The common base of the data sources: one non-blocking UDP socket aimed at the HAL's data
// port, and the per-frame send operation that each source fills in.
#pragma once

#include "devices/VDataOutSocketSink.h"
#include "devices/VFaultySink.h"
#include "devices/VFrameOutbox.h"
#include "net/VDataOutSocket.h"

#include <cstdint>

class IDatagramSink;
class VDeviceFaults;

/// Where a source sends and whose frames it labels: what the camera passes to every source
/// it creates on "portset".
struct VFakeSourceTarget
{
    /// The owning device's id, written into every trailer and header.
    std::uint32_t DeviceId = 0;
    /// The HAL's IPv4 address in network byte order, as devices keep it.
    std::uint32_t HalAddress = 0;
    /// The destination port in host order (the camera adds the 1000 or 5000 offsets).
    std::uint16_t Port = 0;
    /// The owning device's local address (network order): the datagrams leave from it when it
    /// is one of this machine's. 0: the system chooses.
    std::uint32_t LocalAddress = 0;
    /// The owning device's fault injection, which every datagram passes (null: none). It
    /// outlives the source.
    VDeviceFaults* Faults = nullptr;
};

/// One stream of a device's frame data towards the HAL. The constructor creates a UDP
/// socket with address reuse, binds it to the target's local address, makes it non-blocking
/// and aims it at the target; failures are
/// ignored (a source whose socket could not be made drops every datagram, counted by the
/// sink). Datagrams go through a VDataOutSocketSink, which repeats a send that finds no
/// buffer space a few times, briefly, and then drops the datagram, so a frame never blocks
/// the frame thread for long.
///
/// Threading contract: a source has no thread and no lock of its own. The owner serialises
/// every call on it, its destruction included, with its data lock: SendFrame (and any
/// per-frame setter such as SetTrackingMode) run on the frame thread under that lock; a
/// replacement is constructed outside the lock, swapped in under it, and the old source is
/// released after the lock is dropped (or under it: destruction only closes the socket).
/// Not copyable: it owns a socket.
class VFakeSource : public VDataOutSocket
{
public:
    explicit VFakeSource(const VFakeSourceTarget& target);
    ~VFakeSource() override;
    VFakeSource(const VFakeSource&) = delete;
    VFakeSource& operator=(const VFakeSource&) = delete;

    /// Sends every datagram of frame `frame`; `previous` is the frame the owner produced at
    /// its previous tick. `bytesSent` is set to 0 first and then counts the bytes of the
    /// datagrams that went out.
    virtual void SendFrame(std::uint32_t frame, std::uint32_t previous,
                           std::uint32_t& bytesSent) = 0;

    const VFakeSourceTarget& GetTarget() const { return m_Target; }
    std::uint32_t GetDeviceId() const { return m_Target.DeviceId; }

    /// Sends the datagrams to `sink` instead of the socket (null: the socket again), to record
    /// a stream. Not owned; must outlive its use. Owner's data lock.
    void SetSink(IDatagramSink* sink) { m_Override = sink; }
    /// Datagrams sent and dropped on the socket since construction. Any thread.
    const VDataOutSocketSink& GetSocketSink() const { return m_SocketSink; }

protected:
    /// Where the frame's datagrams go: the socket unless SetSink chose another sink, through
    /// the device's fault injection when the target names one; while a VBatchedFrame is open,
    /// the frame outbox in front of them.
    IDatagramSink& GetSink();

    /// Sends one frame's datagrams together. While it lives, GetSink() queues the source's
    /// datagrams in its frame outbox (VFrameOutbox); when it ends they go to the real sink in
    /// one batch, in order, and the bytes of any that were dropped come off `bytesSent`. A
    /// source's SendFrame opens one first thing, so every return path sends the frame.
    class VBatchedFrame
    {
    public:
        VBatchedFrame(VFakeSource& source, std::uint32_t& bytesSent);
        ~VBatchedFrame();
        VBatchedFrame(const VBatchedFrame&) = delete;
        VBatchedFrame& operator=(const VBatchedFrame&) = delete;

    private:
        VFakeSource& m_Source;
        std::uint32_t& m_BytesSent;
    };

private:
    /// The sink behind the outbox: the socket's, or SetSink's, through the fault injection.
    IDatagramSink& GetFinalSink();

    const VFakeSourceTarget m_Target;
    VDataOutSocketSink m_SocketSink;
    IDatagramSink* m_Override = nullptr;
    VFrameOutbox m_Outbox;
    bool m_Batching = false; // a VBatchedFrame is open
    /// Last: it goes first, while the sinks it may have handed datagrams for still exist.
    VFaultySink m_FaultSink;
};
