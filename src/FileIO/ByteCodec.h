// The one little-endian codec of the trial files: loads and stores fixed-width integers and
// IEEE floats at byte pointers, so no encoder or decoder ever casts a struct onto a buffer.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

/// Little-endian loads and stores. Every function touches exactly the bytes its width names;
/// callers check the bytes available first. Stateless, usable from any thread.
namespace LittleEndian
{

/// Zero-extended value of the `width` bytes at `bytes` (width 0 to 8; 0 yields 0).
constexpr std::uint64_t LoadUnsigned(const std::uint8_t* bytes, std::size_t width)
{
    std::uint64_t value = 0;
    for (std::size_t i = width; i > 0; --i)
    {
        value = (value << 8) | bytes[i - 1];
    }
    return value;
}

/// Stores the low `width` bytes of `value` (width 0 to 8).
constexpr void StoreUnsigned(std::uint8_t* bytes, std::uint64_t value, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i)
    {
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

constexpr std::uint8_t LoadU8(const std::uint8_t* bytes)
{
    return bytes[0];
}
constexpr std::uint16_t LoadU16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(LoadUnsigned(bytes, 2));
}
constexpr std::uint32_t LoadU32(const std::uint8_t* bytes)
{
    return static_cast<std::uint32_t>(LoadUnsigned(bytes, 4));
}
constexpr std::uint64_t LoadU64(const std::uint8_t* bytes)
{
    return LoadUnsigned(bytes, 8);
}
constexpr std::int32_t LoadI32(const std::uint8_t* bytes)
{
    return static_cast<std::int32_t>(LoadU32(bytes));
}
constexpr std::int64_t LoadI64(const std::uint8_t* bytes)
{
    return static_cast<std::int64_t>(LoadU64(bytes));
}
constexpr float LoadF32(const std::uint8_t* bytes)
{
    return std::bit_cast<float>(LoadU32(bytes));
}
constexpr double LoadF64(const std::uint8_t* bytes)
{
    return std::bit_cast<double>(LoadU64(bytes));
}

constexpr void StoreU8(std::uint8_t* bytes, std::uint8_t value)
{
    bytes[0] = value;
}
constexpr void StoreU16(std::uint8_t* bytes, std::uint16_t value)
{
    StoreUnsigned(bytes, value, 2);
}
constexpr void StoreU32(std::uint8_t* bytes, std::uint32_t value)
{
    StoreUnsigned(bytes, value, 4);
}
constexpr void StoreU64(std::uint8_t* bytes, std::uint64_t value)
{
    StoreUnsigned(bytes, value, 8);
}
constexpr void StoreI32(std::uint8_t* bytes, std::int32_t value)
{
    StoreU32(bytes, static_cast<std::uint32_t>(value));
}
constexpr void StoreI64(std::uint8_t* bytes, std::int64_t value)
{
    StoreU64(bytes, static_cast<std::uint64_t>(value));
}
constexpr void StoreF32(std::uint8_t* bytes, float value)
{
    StoreU32(bytes, std::bit_cast<std::uint32_t>(value));
}
constexpr void StoreF64(std::uint8_t* bytes, double value)
{
    StoreU64(bytes, std::bit_cast<std::uint64_t>(value));
}

} // namespace LittleEndian
