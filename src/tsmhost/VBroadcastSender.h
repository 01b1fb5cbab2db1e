// Sends the host's broadcast commands from the HAL's address to the devices' command port,
// to the broadcast address or to each device's own address.
#pragma once

#include "net/VNetAddress.h"
#include "net/VSocketSimple.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

/// One UDP socket bound to the HAL address (devices take commands only from there), with
/// broadcasting allowed.
///
/// Threading contract: Open on the owner thread; Send may then be called from any thread
/// (serialised inside). Not copyable.
class VBroadcastSender
{
public:
    VBroadcastSender() = default;
    VBroadcastSender(const VBroadcastSender&) = delete;
    VBroadcastSender& operator=(const VBroadcastSender&) = delete;

    /// Opens the socket on `hal` (any port) for datagrams to `port`. False with the reason.
    bool Open(const VNetAddress& hal, std::uint16_t port, std::string& error);

    /// Sends the words (big-endian) to every address of `destinations`. True when every send
    /// went out; otherwise false with the first failure in `error`.
    bool Send(const std::vector<std::uint32_t>& words, const std::vector<VNetAddress>& destinations,
              std::string& error);

    /// Datagrams sent so far. Any thread.
    std::uint64_t GetSentCount();

private:
    VSocketSimple m_Socket;
    std::uint16_t m_Port = 0;
    std::uint64_t m_Sent = 0; // guarded by m_SendLock
    std::mutex m_SendLock;
};
