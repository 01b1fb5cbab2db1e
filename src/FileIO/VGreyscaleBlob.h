// The greyscale blob element: one IGreyscaleBlobData record over its own arrays of line
// records and pixel bytes.
#pragma once

#include "FileIO/IGreyscaleBlob.h"

#include <cstdint>
#include <vector>

/// A blob that owns its lines and pixels; its record's Lines and every line's Pixels point
/// into these arrays (pixels of consecutive lines back to back). Copying copies both arrays
/// and re-points the copy into its own storage. Not thread-safe: one thread at a time.
class VGreyscaleBlob : public IGreyscaleBlobDirect
{
public:
    VGreyscaleBlob() = default;
    /// A deep copy of `data`.
    explicit VGreyscaleBlob(const IGreyscaleBlobData& data) { SetData(data); }
    VGreyscaleBlob(const VGreyscaleBlob& source);
    VGreyscaleBlob& operator=(const VGreyscaleBlob& source);
    /// Takes the source's storage; the source is left empty.
    VGreyscaleBlob(VGreyscaleBlob&& source) noexcept;
    VGreyscaleBlob& operator=(VGreyscaleBlob&& source) noexcept;

    void SetData(const IGreyscaleBlobData& data) override;
    void CopyTo(IGreyscaleBlob& target) const override { target.SetData(m_Data); }
    VGreyscaleBlob& Assign(const IGreyscaleBlob& source) override;
    std::uint8_t GetBlobFlag() const override { return m_Data.BlobFlag; }
    void SetBlobFlag(std::uint8_t flag) override { m_Data.BlobFlag = flag; }
    VGreyscaleBlob& Assign(const IGreyscaleBlobDirect& source) override;
    const IGreyscaleBlobData* GetData() const override { return &m_Data; }

    /// No lines, flag 0; keeps the arrays' capacity.
    void Clear();

private:
    void Swap(VGreyscaleBlob& other) noexcept;

    IGreyscaleBlobData m_Data;
    std::vector<IGreyscaleLineData> m_Lines;
    std::vector<std::uint8_t> m_Pixels;
};
