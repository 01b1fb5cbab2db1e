// The interface of a custom header block of a trial file: a block type that a reader
// registers to decode (and a writer to encode) the content of blocks with its HeaderId.
#pragma once

#include "FileIO/IBinaryStream.h"

#include <cstdint>

/// The content of one kind of custom header block. On disk a block is u16 HeaderId,
/// u32 Length, then Length bytes of content; Read and Write handle the content only.
/// Implementations are owned by the reader or writer facade that registers them.
/// Not thread-safe: one thread at a time.
class ICustomHeader
{
public:
    /// The HeaderId of the blocks this header reads.
    virtual std::uint16_t GetHeaderId() const = 0;
    /// Decodes the content at the stream position, which the reader bounds to the block.
    /// Returns false when the content is short or malformed; what was decoded is kept.
    virtual bool Read(IBinaryInputStream& stream) = 0;
    /// Encodes the content; false when the stream failed.
    virtual bool Write(IBinaryOutputStream& stream) const = 0;
    virtual ~ICustomHeader() = default;
};
