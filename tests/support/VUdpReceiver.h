// A UDP socket on 127.0.0.1 that plays the host's receiving end (data, preview, awake and
// alive ports) in the tests, with bounded waits.
#pragma once

#include "net/VSocketSimple.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace testsupport
{

using Bytes = std::vector<std::uint8_t>;

/// One received datagram and where it came from.
struct VDatagram
{
    Bytes m_Bytes;
    std::uint32_t m_SourceAddress = 0; ///< host order
    std::uint16_t m_SourcePort = 0;
};

/// A UDP socket bound on 127.0.0.1 with a large receive buffer. Used on one thread. Not
/// copyable.
class VUdpReceiver
{
public:
    /// Binds `port` (0: an ephemeral one); with `reuseAddress` the port may be shared with
    /// sockets that allow it too. See IsOpen.
    explicit VUdpReceiver(std::uint16_t port = 0, bool reuseAddress = false);
    VUdpReceiver(const VUdpReceiver&) = delete;
    VUdpReceiver& operator=(const VUdpReceiver&) = delete;

    /// False when the socket could not be made or bound.
    bool IsOpen() const { return m_Open; }
    std::uint16_t GetPort() const { return m_Socket.GetLocalPort(); }
    int GetHandle() const { return m_Socket.GetHandle(); }

    /// The next datagram, or nothing when none arrives within `timeout`.
    std::optional<Bytes> Receive(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    /// The next datagram with its sender, or nothing when none arrives within `timeout`.
    std::optional<VDatagram> ReceiveFrom(std::chrono::milliseconds timeout);
    /// Every datagram until none has come for `quiet`.
    std::vector<Bytes> ReceiveAll(std::chrono::milliseconds quiet = std::chrono::milliseconds(100));
    /// Drops everything already waiting.
    void Drain();

    /// Sends `bytes` to 127.0.0.1:`port`; false when not all of it went.
    bool SendTo(const Bytes& bytes, std::uint16_t port);

private:
    VSocketSimple m_Socket;
    bool m_Open = false;
};

/// A receiver on an ephemeral port p and one on p + `offset`, as a camera's centroid and
/// greyscale sources need them. False when no such pair could be bound.
bool OpenPortPair(std::unique_ptr<VUdpReceiver>& first, std::unique_ptr<VUdpReceiver>& second,
                  std::uint16_t offset);

} // namespace testsupport
