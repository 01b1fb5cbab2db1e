// A thread-safe log of datagrams, for tests that wait for what another thread hands over.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace testsupport
{

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

} // namespace testsupport
