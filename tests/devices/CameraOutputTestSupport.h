// Helpers for the camera output tests: a sink that keeps every datagram, and little-endian
// field reads for checking them.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

namespace camout_test
{

using Bytes = std::vector<std::uint8_t>;

/// Keeps each datagram as it was handed over; the sends whose 0-based numbers are in
/// m_FailAt report failure (and are kept out of m_Datagrams).
class VRecordingSink : public IDatagramSink
{
public:
    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        const std::size_t number = m_Attempts++;
        if (m_FailAt.count(number) != 0)
            return false;
        m_Datagrams.emplace_back(bytes, bytes + length);
        return true;
    }

    std::vector<std::size_t> Sizes() const
    {
        std::vector<std::size_t> sizes;
        for (const Bytes& datagram : m_Datagrams)
            sizes.push_back(datagram.size());
        return sizes;
    }

    std::vector<Bytes> m_Datagrams;
    std::set<std::size_t> m_FailAt;
    std::size_t m_Attempts = 0;
};

inline std::uint16_t U16(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>(bytes.at(offset) | (bytes.at(offset + 1) << 8));
}

inline std::uint32_t U32(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(U16(bytes, offset)) |
           (static_cast<std::uint32_t>(U16(bytes, offset + 2)) << 16);
}

inline std::int32_t I32(const Bytes& bytes, std::size_t offset)
{
    return static_cast<std::int32_t>(U32(bytes, offset));
}

} // namespace camout_test
