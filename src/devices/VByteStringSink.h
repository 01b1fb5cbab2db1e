// A datagram sink that appends every datagram to one byte string, for streams prepared in
// advance and replayed later.
#pragma once

#include "devices/IDatagramSink.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

/// Appends each datagram's bytes to a byte string (datagram boundaries are not kept) and
/// never drops. The string keeps its capacity across Clear, so refilling allocates only when
/// it must grow. One thread at a time.
class VByteStringSink : public IDatagramSink
{
public:
    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        if (length > 0)
            m_Bytes.insert(m_Bytes.end(), bytes, bytes + length);
        return true;
    }

    const std::vector<std::uint8_t>& GetBytes() const { return m_Bytes; }
    /// Hands the collected bytes over and leaves the sink empty.
    std::vector<std::uint8_t> TakeBytes() { return std::exchange(m_Bytes, {}); }
    void Clear() { m_Bytes.clear(); }

private:
    std::vector<std::uint8_t> m_Bytes;
};
