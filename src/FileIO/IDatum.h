// The datum interface: decodes one item of a kind from the bytes of a record described by a
// field list, and writes it back in the same layout.
#pragma once

#include "FileIO/IBinaryStream.h"
#include "FileIO/VDataFormatInfo.h"

#include <cstdint>

/// One item's decoder and encoder, bound to one destination at a time (a record in a set's
/// array, or a scratch element). The item's bytes are its fields, concatenated in the field
/// list's order; fields the datum does not know are skipped by their size.
/// Not thread-safe: one thread at a time per datum.
class IDatum
{
public:
    /// Decodes one item from the stream position; returns the number of known fields that it
    /// decoded. Stops at the first failed read or malformed field.
    virtual std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) = 0;
    /// Writes the destination's item in the layout of `fields`; false when the stream failed
    /// or the item or a field cannot be encoded.
    virtual bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const = 0;
    virtual ~IDatum() = default;
};
