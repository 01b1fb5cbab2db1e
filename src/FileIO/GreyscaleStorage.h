// Internal helpers of the greyscale element and set: laying blobs out in flat arrays of
// line records and pixel bytes, and pointing the records at them.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/RecordArray.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/// Stateless helpers; the caller owns the arrays.
namespace GreyscaleStorage
{

/// Appends copies of `blob`'s lines to `lines` and their pixel bytes to `pixels`, pixels
/// line after line. The new lines' Pixels are left null for Repoint* to set. A null Lines
/// counts as no lines and a null Pixels as no pixels. Returns the number of lines appended.
/// `blob` must not point into `lines` or `pixels` (see Aliases).
std::uint16_t AppendLines(const IGreyscaleBlobData& blob, std::vector<IGreyscaleLineData>& lines,
                          std::vector<std::uint8_t>& pixels);

/// Total pixel bytes of `blob`'s lines, with the same null rules as AppendLines.
std::size_t PixelCount(const IGreyscaleBlobData& blob);

/// Points the `count` lines at `lines` at their bytes, which lie back to back from
/// `firstPixel`; a line of 0 pixels gets null.
void RepointLines(IGreyscaleLineData* lines, std::size_t count, const std::uint8_t* firstPixel);

/// Points every blob's Lines (laid out blob after blob) and every line's Pixels (line after
/// line) into the arrays; a blob of 0 lines gets null.
void RepointBlobs(std::vector<IGreyscaleBlobData>& blobs, std::vector<IGreyscaleLineData>& lines,
                  const std::vector<std::uint8_t>& pixels);

/// Whether `blob` refers to storage inside `lines` or `pixels`.
bool Aliases(const IGreyscaleBlobData& blob, const std::vector<IGreyscaleLineData>& lines,
             const std::vector<std::uint8_t>& pixels);

} // namespace GreyscaleStorage
