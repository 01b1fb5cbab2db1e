// Reads of little- and big-endian fields from received datagrams. The tests read the wire
// with these, not with the devices' own codec, so that an encoder fault is not mirrored by
// its decoder. Every read checks its bounds (std::out_of_range past the end).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport
{

using Bytes = std::vector<std::uint8_t>;

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

inline std::uint32_t BigEndian32(const Bytes& bytes, std::size_t offset)
{
    return (static_cast<std::uint32_t>(bytes.at(offset)) << 24) |
           (static_cast<std::uint32_t>(bytes.at(offset + 1)) << 16) |
           (static_cast<std::uint32_t>(bytes.at(offset + 2)) << 8) | bytes.at(offset + 3);
}

} // namespace testsupport
