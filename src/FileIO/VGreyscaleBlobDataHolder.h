// The greyscale blob data holder: decodes each blob and appends a copy of it to a greyscale
// set.
#pragma once

#include "FileIO/IGreyscaleBlobSet.h"
#include "FileIO/VDataHolderBasic.h"
#include "FileIO/VGreyscaleBlob.h"
#include "FileIO/VGreyscaleBlobDatum.h"

#include <cstdint>

/// Greyscale blobs, format 0xDFBB. Target: an IGreyscaleBlobSetDirect (SetTarget). A blob is
/// appended only when it decoded cleanly (good stream, no malformed field) and consumed bytes.
/// Not thread-safe: used by the reader's thread only.
class VGreyscaleBlobDataHolder : public VDataHolderBasic<VGreyscaleBlobDatum>
{
public:
    VGreyscaleBlobDataHolder();

    /// Points the holder at the set to fill (not owned), or at none with null.
    void SetTarget(IGreyscaleBlobSetDirect* target) { m_Target = target; }
    IGreyscaleBlobSetDirect* GetTarget() const { return m_Target; }

    std::uint32_t GetCount() const override { return m_Target != nullptr ? m_Target->Count() : 0; }
    bool KeepsItems() const override { return m_Target != nullptr; }
    bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool WriteItems(IBinaryOutputStream& stream) override;
    /// Copies an empty set into the target: no blobs, InfoByte 0, empty name.
    void Clear() override;

private:
    /// Passes the datum's blob on to the target without a copy of its own: it keeps the
    /// record as given, pointing into the datum's storage, which stays unchanged until the
    /// datum's next Read. Only the holder uses it, between a Read and the Append.
    class VBlobRelay final : public IGreyscaleBlobDirect
    {
    public:
        void SetData(const IGreyscaleBlobData& data) override { m_Data = data; }
        void CopyTo(IGreyscaleBlob& target) const override { target.SetData(m_Data); }
        VBlobRelay& Assign(const IGreyscaleBlob& source) override
        {
            source.CopyTo(*this);
            return *this;
        }
        VBlobRelay& Assign(const IGreyscaleBlobDirect& source) override
        {
            source.CopyTo(*this);
            return *this;
        }
        std::uint8_t GetBlobFlag() const override { return m_Data.BlobFlag; }
        void SetBlobFlag(std::uint8_t flag) override { m_Data.BlobFlag = flag; }
        const IGreyscaleBlobData* GetData() const override { return &m_Data; }

    private:
        IGreyscaleBlobData m_Data;
    };

    IGreyscaleBlobSetDirect* m_Target = nullptr;
    VBlobRelay m_Relay;       // the destination of reads
    VGreyscaleBlob m_Scratch; // the source of writes
    const VStringStd m_EmptyName;
};
