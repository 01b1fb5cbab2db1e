// The seam through which every data datagram of a device passes on its way to the socket:
// one per stream, handing the datagrams to the device's fault injection.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>

class VDeviceFaults;

/// Decorates the sink of one stream of a device (its socket, or a recorder's sink). Without a
/// VDeviceFaults it is not used at all (Route returns the sink itself); with one, every
/// datagram goes through VDeviceFaults::Send, which passes it on, holds it or drops it.
///
/// Threading contract: Route and Send on the stream's frame thread, under the device's data
/// lock, like the stream itself. Destroyed with its stream, before the stream's own sink: it
/// tells the device's faults to forget what of it still waits. Not copyable.
class VFaultySink final : public IDatagramSink
{
public:
    /// `faults` (not owned, may be null) outlives this sink; `key` tells this stream apart
    /// from the device's other streams in the random choices (its destination port).
    VFaultySink(VDeviceFaults* faults, std::uint32_t key);
    ~VFaultySink() override;
    VFaultySink(const VFaultySink&) = delete;
    VFaultySink& operator=(const VFaultySink&) = delete;

    /// The sink to write this stream's datagrams to: this one, in front of `inner`, or
    /// `inner` itself when the device injects no faults. `inner` must outlive its use.
    IDatagramSink& Route(IDatagramSink& inner);

    bool Send(const std::uint8_t* bytes, std::size_t length) override;
    /// A frame's datagrams at once (VDeviceFaults::SendBatch): a batch to `inner` while the
    /// device collects nothing, else each through the fault injection.
    std::uint64_t SendBatch(const VDatagramView* datagrams, std::size_t count) override;

    std::uint32_t GetKey() const { return m_Key; }

private:
    VDeviceFaults* const m_Faults;
    const std::uint32_t m_Key;
    IDatagramSink* m_Inner = nullptr;
};
