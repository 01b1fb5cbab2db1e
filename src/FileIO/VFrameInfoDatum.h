// The frame info datum: the per-frame item at the end of a frame record, which carries
// nothing this system uses.
#pragma once

#include "FileIO/VDatumBase.h"

#include <cstdint>

/// Knows no field: Read skips every field of the list (so the stream ends up behind the item)
/// and returns 0; Write writes filler for every field.
/// Not thread-safe: one thread at a time.
class VFrameInfoDatum : public VDatumBase
{
public:
    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;
};
