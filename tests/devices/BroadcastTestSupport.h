// Helpers for the broadcast tests: a UDP sender with a chosen source address
// and a device stand-in that records what the manager hands it.
#pragma once

#include "devices/IFakeDevice.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace broadcast_test
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
/// 127.0.0.1:`port`. False when the socket cannot be set up or the send fails.
inline bool SendFrom(uint32_t sourceHostOrder, uint16_t port, const std::vector<uint8_t>& bytes)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in source = {};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(sourceHostOrder);
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(kLoopback);
    destination.sin_port = htons(port);
    const bool sent = bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof(source)) == 0 &&
                      sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                             reinterpret_cast<sockaddr*>(&destination),
                             sizeof(destination)) == static_cast<ssize_t>(bytes.size());
    close(fd);
    return sent;
}

/// Collects datagrams handed over on another thread and lets the test wait for
/// a number of them with a time limit.
class VDatagramLog
{
public:
    void Add(const uint8_t* data, size_t length, std::string tag = {})
    {
        std::lock_guard lock(m_Lock);
        m_Datagrams.emplace_back(data, data + length);
        m_Tags.push_back(std::move(tag));
        m_Changed.notify_all();
    }

    /// True once at least `count` datagrams have arrived, false after 5 s.
    bool WaitFor(size_t count)
    {
        std::unique_lock lock(m_Lock);
        return m_Changed.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return m_Datagrams.size() >= count; });
    }

    std::vector<std::vector<uint8_t>> Datagrams() const
    {
        std::lock_guard lock(m_Lock);
        return m_Datagrams;
    }

    std::vector<std::string> Tags() const
    {
        std::lock_guard lock(m_Lock);
        return m_Tags;
    }

private:
    mutable std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::vector<std::vector<uint8_t>> m_Datagrams;
    std::vector<std::string> m_Tags;
};

/// A device that records each datagram, tagged with its name, in a shared log,
/// and runs an optional action inside the dispatch.
class VRecordingDevice : public IFakeDevice
{
public:
    VRecordingDevice(std::string name, VDatagramLog& log) : m_Name(std::move(name)), m_Log(log) {}

    void OnBroadcastCommand(const uint8_t* data, size_t length) override
    {
        m_Log.Add(data, length, m_Name);
        if (m_DuringDispatch)
            m_DuringDispatch(data, length);
    }

    std::function<void(const uint8_t*, size_t)> m_DuringDispatch;

private:
    std::string m_Name;
    VDatagramLog& m_Log;
};

} // namespace broadcast_test
