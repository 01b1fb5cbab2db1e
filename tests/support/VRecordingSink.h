// A datagram sink that keeps what it is given, for tests of the encoders and sources.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace testsupport
{

/// Keeps each datagram as it was handed over; the sends whose 0-based numbers are in
/// m_FailAt report failure (and are kept out of m_Datagrams). Used on the sending thread.
class VRecordingSink : public IDatagramSink
{
public:
    using Bytes = std::vector<std::uint8_t>;

    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        const std::size_t number = m_Attempts++;
        if (m_FailAt.count(number) != 0)
            return false;
        m_Datagrams.emplace_back(bytes, bytes + length);
        return true;
    }

    /// The sizes of the kept datagrams, in order.
    std::vector<std::size_t> Sizes() const
    {
        std::vector<std::size_t> sizes;
        for (const Bytes& datagram : m_Datagrams)
            sizes.push_back(datagram.size());
        return sizes;
    }

    /// The kept datagrams; the sink is empty afterwards.
    std::vector<Bytes> Take() { return std::exchange(m_Datagrams, {}); }

    std::vector<Bytes> m_Datagrams;
    std::set<std::size_t> m_FailAt;
    std::size_t m_Attempts = 0;
};

} // namespace testsupport
