// The datagram buffer of a greyscale stream: items are appended until the next one does not
// fit, then the datagram goes out; protocol-2 datagrams each open with a copy of the frame's
// header template.
#pragma once

#include "devices/camerawire/CameraDataFormat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class IDatagramSink;
struct DatagramHeader_t;

/// Cuts a greyscale frame into datagrams of at most 1400 bytes.
///
/// With a header template (protocol 2) every datagram of the frame opens with a copy of it,
/// after which the template's index goes up by one; the fit test counts those 32 bytes. Items
/// appended with `countInTemplate` add their size to the template's payload count (a copy
/// carries the count at the moment it is made). The closing call sets the last-datagram flag
/// in the header that opens the final datagram and sends it.
///
/// Nothing is ever written past the 1400 bytes: an item that does not fit even an empty
/// datagram (a long segment of a wide sensor) goes out at once in a datagram of its own,
/// header included, of up to the largest UDP payload (65507 bytes); a still larger item is
/// dropped with a console line. Every item that fits keeps its bytes and datagram exactly.
///
/// Threading contract: one thread at a time (the frame thread of the owning source). The
/// sink and template given to BeginFrame must stay valid until Close. Not copyable (it holds
/// the buffers, which keep their storage from frame to frame).
class VGreyscaleDatagramBuffer
{
public:
    static constexpr std::size_t Capacity = CameraData::DatagramCapacity;

    VGreyscaleDatagramBuffer() = default;
    VGreyscaleDatagramBuffer(const VGreyscaleDatagramBuffer&) = delete;
    VGreyscaleDatagramBuffer& operator=(const VGreyscaleDatagramBuffer&) = delete;

    /// Empties the buffer and starts a frame sent through `sink`. `headerTemplate` is null
    /// for protocol 1, else the filled template of the frame (kept, not owned). `deviceId`
    /// only heads console lines.
    void BeginFrame(IDatagramSink& sink, DatagramHeader_t* headerTemplate, std::uint32_t deviceId);

    /// Appends one item made of `headLength` bytes at `head` followed by `tailLength` bytes at
    /// `tail` (either may be null when its length is 0). Sends the current datagram first
    /// when the item does not fit behind it. False when the item was dropped as too large for
    /// any datagram, or outside a frame.
    bool Append(const std::uint8_t* head, std::size_t headLength, const std::uint8_t* tail,
                std::size_t tailLength, bool countInTemplate);

    /// The closing call: marks the final datagram's header as last (with a template) and sends
    /// the buffer as it is, also when it is empty. Ends the frame.
    void Close();

    /// Bytes of the datagrams of the current (or last) frame that went out.
    std::uint32_t GetBytesSent() const { return m_BytesSent; }
    /// Items dropped as too large since construction.
    std::uint64_t GetDroppedItemCount() const { return m_DroppedItems; }

private:
    void SendDatagram(const std::uint8_t* bytes, std::size_t length);
    /// Writes a header copy at `out` when the frame has a template; returns its size.
    std::size_t OpenDatagram(std::uint8_t* out);
    bool SendOversized(const std::uint8_t* head, std::size_t headLength, const std::uint8_t* tail,
                       std::size_t tailLength, bool countInTemplate);

    IDatagramSink* m_Sink = nullptr;        // set between BeginFrame and Close
    DatagramHeader_t* m_Template = nullptr; // null for protocol 1
    std::uint32_t m_DeviceId = 0;
    std::uint32_t m_BytesSent = 0;
    std::uint64_t m_DroppedItems = 0;
    std::size_t m_Fill = 0; // bytes used in m_Datagram
    /// Exactly Capacity bytes, allocated once with the object (not inside it) so that
    /// AddressSanitizer guards its end.
    std::vector<std::uint8_t> m_Datagram = std::vector<std::uint8_t>(Capacity);
    std::vector<std::uint8_t> m_Oversized; // storage kept for items beyond Capacity
};
