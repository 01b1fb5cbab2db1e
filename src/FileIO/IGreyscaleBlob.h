// Interfaces of one greyscale blob: the copy protocol (IGreyscaleBlob) and access to its
// record (IGreyscaleBlobDirect).
#pragma once

#include "FileIO/FrameRecords.h"

#include <cstdint>

/// One greyscale blob: lines of pixel bytes and a flag. Copied through the copy protocol:
/// the source pushes its record into the target's SetData, which copies lines and pixels
/// deeply. Not thread-safe: one thread at a time.
class IGreyscaleBlob
{
public:
    virtual ~IGreyscaleBlob() = default;
    /// Copies the record with all its lines and pixels; nothing of `data` is kept.
    virtual void SetData(const IGreyscaleBlobData& data) = 0;
    /// Calls target.SetData with this blob's record.
    virtual void CopyTo(IGreyscaleBlob& target) const = 0;
    /// source.CopyTo(*this); returns this blob.
    virtual IGreyscaleBlob& Assign(const IGreyscaleBlob& source) = 0;
    virtual std::uint8_t GetBlobFlag() const = 0;
    virtual void SetBlobFlag(std::uint8_t flag) = 0;
};

/// A greyscale blob that also exposes its record.
class IGreyscaleBlobDirect : public IGreyscaleBlob
{
public:
    using IGreyscaleBlob::Assign;
    virtual IGreyscaleBlobDirect& Assign(const IGreyscaleBlobDirect& source) = 0;
    /// The record; its Lines and their Pixels point into the blob's own storage and stay valid
    /// until the blob changes.
    virtual const IGreyscaleBlobData* GetData() const = 0;
};
