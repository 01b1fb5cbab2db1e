// The data holder interface: what a trial reader uses to decode the items of one data kind
// into the sets of a frame, and what a writer uses to write them.
#pragma once

#include "FileIO/IBinaryStream.h"
#include "FileIO/VDataFormatInfo.h"

#include <cstdint>

/// Decodes items of one kind into a target (a set that the reader points it at, or nothing)
/// and writes them back. Owned by the reader; the target belongs to a frame.
/// Not thread-safe: used by the reader's thread only.
class IDataHolder
{
public:
    /// The holder's own format: its identifier selects the file's data blocks that this
    /// holder reads; its field list is what WriteItems writes with.
    virtual const VDataFormatInfo& GetFormat() const = 0;
    /// Items held: the target's count (0 without a target); 1 for single holders.
    virtual std::uint32_t GetCount() const = 0;
    /// Decodes one item at the stream position with the file's `fields` and adds it to the
    /// target (without a target it is decoded and dropped).
    /// Returns whether another item may follow: true only when the stream is still good, no
    /// field was malformed and the item consumed at least one byte. A reader loops
    /// `while (position < block end && ReadItem(...))` and then seeks to the block's end, so
    /// no input can make it loop without progress.
    virtual bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) = 0;
    /// Decodes the items of a block that ends at `blockEnd`, exactly as
    /// `while (stream.Tell() < blockEnd && ReadItem(stream, fields)) {}` does; holders
    /// override it to decode runs of fixed-size items straight from the stream's buffer.
    virtual void ReadItems(IBinaryInputStream& stream, const VDataFieldList& fields,
                           std::uint64_t blockEnd)
    {
        while (stream.Tell() < blockEnd && ReadItem(stream, fields))
        {
        }
    }
    /// Whether the items it decodes are kept. A holder of frame sets aimed at no set would
    /// decode its items only to drop them; a reader skips such a holder's blocks unread, which
    /// leaves the same result (nothing is kept) at a fraction of the cost.
    virtual bool KeepsItems() const { return true; }
    /// Writes every held item with the holder's own field list; false on the first failure.
    virtual bool WriteItems(IBinaryOutputStream& stream) = 0;
    /// Empties the target before a device record is read (single holders: nothing).
    virtual void Clear() = 0;
    virtual ~IDataHolder() = default;
};
