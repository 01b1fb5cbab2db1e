// Constants of the camera data stream (tags, stream kinds, datagram limits) and the defined
// conversions from real values and parameters to its fixed-width fields.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

/// Wire constants and value conversions shared by every camera stream encoder.
/// Stateless; usable from any thread.
namespace CameraData
{

/// The 16-bit tag that opens each record and item.
constexpr std::uint16_t TagFrameTrailer = 0xC001;
constexpr std::uint16_t TagEdge = 0xC002;
constexpr std::uint16_t TagTrack = 0xC006;
constexpr std::uint16_t TagCentroid = 0xC007;
constexpr std::uint16_t TagGreyscaleSegment = 0xC008;
constexpr std::uint16_t TagDatagramHeader = 0xC009;
constexpr std::uint16_t TagGreyscaleSettings = 0xE001;

/// Stream kinds of the frame trailer.
constexpr std::uint32_t StreamKindCentroid = 0x00000002;
constexpr std::uint32_t StreamKindGreyscale = 0x00010002;

/// The clock that the time fields of the data datagrams count.
constexpr std::uint32_t ClockRateHz = 135000000;

/// Largest greyscale datagram and piece of a prepared stream.
constexpr std::size_t DatagramCapacity = 1400;
/// Largest payload of one IPv4 UDP datagram (65535 - 20 IP - 8 UDP header bytes).
constexpr std::size_t MaxUdpPayload = 65507;

/// The low 64 bits, in two's complement, of `value` truncated toward zero. Defined for every
/// double: NaN and infinities give 0, values beyond the 64-bit range keep the low bits of the
/// exact integer they hold. Callers narrow the result to their field's width.
inline std::uint64_t TruncateToWireBits(double value)
{
    if (!std::isfinite(value))
        return 0;
    const double whole = std::trunc(value);
    constexpr double TwoTo63 = 9223372036854775808.0;
    if (whole >= -TwoTo63 && whole < TwoTo63)
        return static_cast<std::uint64_t>(static_cast<std::int64_t>(whole));
    // |whole| >= 2^63: a multiple of 2^11 at least, so the remainder and the shift into
    // [0, 2^64) are exact.
    constexpr double TwoTo64 = 18446744073709551616.0;
    double low = std::fmod(whole, TwoTo64);
    if (low < 0.0)
        low += TwoTo64;
    return static_cast<std::uint64_t>(low); // defined: 0 <= low < 2^64
}

/// `value` × `scale` truncated toward zero, through TruncateToWireBits.
inline std::uint64_t ScaleToWireBits(double value, double scale)
{
    return TruncateToWireBits(value * scale);
}

/// Clock ticks of one system frame: 135000000 / `systemFrameRate`, truncated toward zero,
/// low 16 bits. A rate of 0 (or NaN) gives 0 instead of a division by zero.
inline std::uint16_t FrameTicks16(double systemFrameRate)
{
    if (systemFrameRate == 0.0 || std::isnan(systemFrameRate))
        return 0;
    return static_cast<std::uint16_t>(
        TruncateToWireBits(static_cast<double>(ClockRateHz) / systemFrameRate));
}

/// The texts of the "GreyMode" and "CoordMode" parameters. `Other` stands for any text that
/// is none of the four (the "CoordMode" default "all" is among them, any stray text is not);
/// it is treated as "not none", "not only", neither "all" nor "some".
enum class EncodingMode : std::uint8_t
{
    None,
    Some,
    Only,
    All,
    Other,
};

/// The mode of a parameter text, compared exactly ("none", "some", "only", "all").
inline EncodingMode EncodingModeFromText(std::string_view text)
{
    if (text == "none")
        return EncodingMode::None;
    if (text == "some")
        return EncodingMode::Some;
    if (text == "only")
        return EncodingMode::Only;
    if (text == "all")
        return EncodingMode::All;
    return EncodingMode::Other;
}

} // namespace CameraData
