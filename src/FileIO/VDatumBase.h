// Common ground of the datums: the skipping of unknown fields, the malformed-item state that
// the holders use to end a block cleanly, and the writing of fields a datum does not know.
#pragma once

#include "FileIO/IDatum.h"

/// Base of every datum. A field is malformed when decoding it could not make sound progress:
/// an unknown variable-length field whose length is below 4 (it would not even cover its own
/// length), a centroid field wider than 8 bytes, or a centroid field without its f32 scale.
/// Such a field ends the item: Read stops there and IsMalformed() is true until the next
/// Read. The stream itself stays good: the item's own bytes are in bounds, only their
/// meaning is lost, so the reader can end the block and go on with the next one.
/// Not thread-safe: one thread at a time.
class VDatumBase : public IDatum
{
public:
    /// Whether the last Read stopped at a malformed field.
    bool IsMalformed() const { return m_Malformed; }

protected:
    /// Moves past a field that the datum does not decode: by its size, or for a variable
    /// field by its leading u32 length (which counts its own 4 bytes). False when the stream
    /// failed or the field is malformed.
    bool SkipField(IBinaryInputStream& stream, const VDataFormatField& field);
    /// Writes filler for a field that the datum does not know: Size zero bytes, or for a
    /// variable field an empty one (length 4).
    static bool WriteUnknownField(IBinaryOutputStream& stream, const VDataFormatField& field);
    /// Starts a Read.
    void BeginRead() { m_Malformed = false; }
    /// Records a malformed field; returns false for use in `return Malformed();`.
    bool Malformed()
    {
        m_Malformed = true;
        return false;
    }

private:
    bool m_Malformed = false;
};
