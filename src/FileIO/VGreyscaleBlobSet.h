// The greyscale blob set: all blobs of a device in three flat arrays (blob records, line
// records, pixel bytes), with the info byte and the device name.
#pragma once

#include "FileIO/IGreyscaleBlobSet.h"

#include <cstdint>
#include <vector>

/// Greyscale blobs of one device in one frame. Lines are laid out blob after blob and pixels
/// line after line; after any growth of the arrays every blob's Lines and every line's Pixels
/// are re-pointed, so records handed out stay consistent with the set (until it changes).
/// Copyable (deep, into the copy's own arrays). Not thread-safe: one thread at a time.
class VGreyscaleBlobSet : public IGreyscaleBlobSetDirect
{
public:
    VGreyscaleBlobSet() = default;
    VGreyscaleBlobSet(const VGreyscaleBlobSet& source);
    VGreyscaleBlobSet& operator=(const VGreyscaleBlobSet& source);
    /// Takes the source's arrays (their buffers and so the records stay valid); the source
    /// is left empty.
    VGreyscaleBlobSet(VGreyscaleBlobSet&& source) noexcept;
    VGreyscaleBlobSet& operator=(VGreyscaleBlobSet&& source) noexcept;

    void CopyTo(IGreyscaleBlobSet& target) const override;
    void SetAll(const IGreyscaleBlobData* blobs, std::uint32_t count, std::uint8_t infoByte,
                const VStringStd& name) override;
    VGreyscaleBlobSet& Assign(const IGreyscaleBlobSet& source) override;
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Blobs.size()); }
    bool GetItem(std::uint32_t index, IGreyscaleBlob& out) const override;
    std::uint8_t GetInfoByte() const override { return m_InfoByte; }
    void SetInfoByte(std::uint8_t infoByte) override { m_InfoByte = infoByte; }
    bool SetItem(std::uint32_t index, const IGreyscaleBlob& in) override;
    void Append(const IGreyscaleBlob& blob) override;
    void GetName(VStringStd& out) const override { out = m_Name; }
    void SetName(const VStringStd& name) override { m_Name = name; }
    VGreyscaleBlobSet& Assign(const IGreyscaleBlobSetDirect& source) override;
    void GetData(const IGreyscaleBlobData** blobs, std::uint32_t* count,
                 std::uint8_t* infoByte) const override;
    bool GetItemData(std::uint32_t index, const IGreyscaleBlobData** out) const override;

    /// Appends a deep copy of a blob record (what Append does with the pushed record).
    void AppendData(const IGreyscaleBlobData& blob);
    /// Replaces blob[index] with a deep copy of `blob`; false when index >= Count().
    bool SetItemData(std::uint32_t index, const IGreyscaleBlobData& blob);
    /// Back to the state of a new set: no blobs, info byte 0, empty name; keeps capacity.
    void Clear();
    const VStringStd& Name() const { return m_Name; }
    /// Line records and pixel bytes of all blobs (for checks and fast readers).
    std::size_t LineStorageSize() const { return m_Lines.size(); }
    std::size_t PixelStorageSize() const { return m_Pixels.size(); }

private:
    void SwapArrays(VGreyscaleBlobSet& other) noexcept;
    bool RefersToOwnStorage(const IGreyscaleBlobData& blob) const;

    std::vector<IGreyscaleBlobData> m_Blobs;
    std::vector<IGreyscaleLineData> m_Lines;
    std::vector<std::uint8_t> m_Pixels;
    std::uint8_t m_InfoByte = 0;
    VStringStd m_Name;
};
