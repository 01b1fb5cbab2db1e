// The greyscale blob data holder: decodes each blob into a scratch blob and appends it to a
// greyscale set.
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
    bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool WriteItems(IBinaryOutputStream& stream) override;
    /// Copies an empty set into the target: no blobs, InfoByte 0, empty name.
    void Clear() override;

private:
    IGreyscaleBlobSetDirect* m_Target = nullptr;
    VGreyscaleBlob m_Scratch;
};
