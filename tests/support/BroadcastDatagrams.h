// Broadcast datagrams for the tests: big-endian words as bytes, and a UDP sender with a
// chosen source address.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testsupport
{

constexpr uint32_t kLoopback = 0x7F000001u;      // 127.0.0.1, the HAL in these tests
constexpr uint32_t kOtherLoopback = 0x7F000002u; // 127.0.0.2, some other host

/// Big-endian words as bytes.
inline std::vector<uint8_t> Datagram(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> bytes;
    for (uint32_t word : words)
    {
        bytes.push_back(static_cast<uint8_t>(word >> 24));
        bytes.push_back(static_cast<uint8_t>(word >> 16));
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word));
    }
    return bytes;
}

/// Sends one datagram from `sourceHostOrder` (port chosen by the system) to
/// `destinationHostOrder`:`port`. False when the socket cannot be set up or the send fails.
inline bool SendFromTo(uint32_t sourceHostOrder, uint32_t destinationHostOrder, uint16_t port,
                       const std::vector<uint8_t>& bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in source = {};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(sourceHostOrder);
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(destinationHostOrder);
    destination.sin_port = htons(port);
    const bool sent = bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof(source)) == 0 &&
                      sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&destination),
                             sizeof(destination)) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return sent;
}

/// Sends one datagram from `sourceHostOrder` to 127.0.0.1:`port`.
inline bool SendFrom(uint32_t sourceHostOrder, uint16_t port, const std::vector<uint8_t>& bytes)
{
    return SendFromTo(sourceHostOrder, kLoopback, port, bytes);
}

} // namespace testsupport
