// Export macro and the conventions shared by every Arbor interface: ids, positions
// and poses as they cross the library boundary.
#pragma once

#include <cstdint>

/// Marks what libArbor exports. The library is built with hidden visibility, so only
/// declarations carrying this macro are visible to the programs that link against it.
#define ARBOR_API __attribute__((visibility("default")))

namespace Arbor
{
/// The id that names no entry: returned by look-ups that find nothing.
inline constexpr std::uint32_t NoId = 0xFFFFFFFFu;

/// Doubles in a position: x, y, z in millimetres.
inline constexpr unsigned int PositionSize = 3;

/// Doubles in a pose: a 3x3 rotation matrix in row-major order followed by the
/// translation x, y, z in millimetres.
inline constexpr unsigned int PoseSize = 12;
} // namespace Arbor
