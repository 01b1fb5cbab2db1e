// Interfaces of the greyscale blobs of one camera in one frame: copy protocol and item
// access (IGreyscaleBlobSet) and access to the flat arrays (IGreyscaleBlobSetDirect).
#pragma once

#include "FileIO/IGreyscaleBlob.h"
#include "params/IString.h"

#include <cstdint>

/// All greyscale blobs of one device in one frame, the frame's info byte and the device
/// name. Copied through the copy protocol (CopyTo pushes into SetAll, which copies deeply).
/// Not thread-safe: one thread at a time.
class IGreyscaleBlobSet
{
public:
    virtual ~IGreyscaleBlobSet() = default;
    /// Calls target.SetAll with this set's blob records (null when empty), info byte and name.
    virtual void CopyTo(IGreyscaleBlobSet& target) const = 0;
    /// Replaces everything with deep copies of `count` blobs at `blobs` (null only when
    /// count is 0), the info byte and the name. Nothing of the arguments is kept.
    virtual void SetAll(const IGreyscaleBlobData* blobs, std::uint32_t count, std::uint8_t infoByte,
                        const VStringStd& name) = 0;
    /// source.CopyTo(*this); returns this set.
    virtual IGreyscaleBlobSet& Assign(const IGreyscaleBlobSet& source) = 0;
    virtual std::uint32_t Count() const = 0;
    /// out.SetData(blob[index]); false and `out` untouched when index >= Count().
    virtual bool GetItem(std::uint32_t index, IGreyscaleBlob& out) const = 0;
    virtual std::uint8_t GetInfoByte() const = 0;
    virtual void SetInfoByte(std::uint8_t infoByte) = 0;
    /// Replaces blob[index] with a deep copy of `in`; false when index >= Count().
    virtual bool SetItem(std::uint32_t index, const IGreyscaleBlob& in) = 0;
    /// Appends a deep copy of `blob`.
    virtual void Append(const IGreyscaleBlob& blob) = 0;
    virtual void GetName(VStringStd& out) const = 0;
    virtual void SetName(const VStringStd& name) = 0;
};

/// A greyscale set that also exposes its blob records. The records' Lines and Pixels point
/// into the set's own arrays; all pointers obtained here stay valid until the set changes.
class IGreyscaleBlobSetDirect : public IGreyscaleBlobSet
{
public:
    using IGreyscaleBlobSet::Assign;
    virtual IGreyscaleBlobSetDirect& Assign(const IGreyscaleBlobSetDirect& source) = 0;
    /// The blob array (null when empty), its length and the info byte; any out pointer may be
    /// null.
    virtual void GetData(const IGreyscaleBlobData** blobs, std::uint32_t* count,
                         std::uint8_t* infoByte) const = 0;
    /// Pointer to blob[index]; false and null when index >= Count().
    virtual bool GetItemData(std::uint32_t index, const IGreyscaleBlobData** out) const = 0;
};
