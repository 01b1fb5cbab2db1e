// Internal helper of the frame classes: the reusable pool of set objects behind a frame.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

/// Owns one set per device plus spare sets kept for reuse. The pool never shrinks: sets
/// beyond the count in use stay allocated and are always cleared (Set::Clear), so growing
/// again hands out the same objects, empty. Set pointers stay valid for the pool's life.
/// Not thread-safe: one thread at a time.
template <typename Set> class TFrameSetPool
{
public:
    TFrameSetPool() = default;
    TFrameSetPool(const TFrameSetPool&) = delete;
    TFrameSetPool& operator=(const TFrameSetPool&) = delete;

    std::uint32_t Count() const { return m_Count; }
    /// Sets allocated, in use or not.
    std::size_t Capacity() const { return m_Sets.size(); }

    /// Grows with new empty sets where the pool has no spare; clears the sets dropped.
    void Resize(std::uint32_t count)
    {
        while (m_Sets.size() < count)
        {
            m_Sets.push_back(std::make_unique<Set>());
        }
        for (std::uint32_t i = count; i < m_Count; ++i)
        {
            m_Sets[i]->Clear();
        }
        m_Count = count;
    }

    /// Clears set `index` and moves it behind the sets in use, which close up in order.
    /// An index >= Count() is ignored.
    void Erase(std::uint32_t index)
    {
        if (index >= m_Count)
        {
            return;
        }
        m_Sets[index]->Clear();
        std::rotate(m_Sets.begin() + index, m_Sets.begin() + index + 1, m_Sets.begin() + m_Count);
        --m_Count;
    }

    /// Set `index`, or null when index >= Count().
    Set* Get(std::uint32_t index) const { return index < m_Count ? m_Sets[index].get() : nullptr; }

private:
    std::vector<std::unique_ptr<Set>> m_Sets;
    std::uint32_t m_Count = 0;
};
