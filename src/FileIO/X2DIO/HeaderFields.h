// Small codecs shared by the custom headers: skipping a field by its size, and the
// length-prefixed texts of header records.
#pragma once

#include "FileIO/IBinaryStream.h"
#include "FileIO/VDataFormatInfo.h"

#include <cstdint>
#include <string>

/// Stateless helpers; any thread.
namespace HeaderFields
{

/// Moves past the value of `field` at the stream position: `Size` bytes, or for a variable
/// field the u32 length that counts itself. A variable length below 4 counts as 4 (the
/// length itself), so a field never moves the position backwards.
bool SkipField(IBinaryInputStream& stream, const VDataFormatField& field);

/// Reads a text: u32 L (counting itself), then L - 4 bytes. L below 4 gives an empty text;
/// a text longer than the bytes left fails the stream and leaves `text` empty.
bool ReadText(IBinaryInputStream& stream, std::string& text);

/// Writes `text` in the form ReadText reads.
bool WriteText(IBinaryOutputStream& stream, const std::string& text);

/// The fewest bytes a value of `field` occupies when its known width is `knownWidth` (0 for
/// an unknown key: the field's size, or 4 for a variable field).
std::uint64_t MinimumBytes(const VDataFormatField& field, std::uint64_t knownWidth);

/// Writes the value of a field this writer has no data for: `Size` zero bytes, or an empty
/// variable value (its length 4).
bool WriteEmptyField(IBinaryOutputStream& stream, const VDataFormatField& field);

} // namespace HeaderFields
