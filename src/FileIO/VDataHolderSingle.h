// The holder of a single item per frame: the camera frame info and the frame info.
#pragma once

#include "FileIO/VDataHolderBasic.h"

#include <cstdint>

/// Decodes into the holder's own storage, to which the derived holder binds the datum;
/// it always holds exactly one item and Clear does nothing.
/// Not thread-safe: one thread at a time.
template <typename Datum> class VDataHolderSingle : public VDataHolderBasic<Datum>
{
public:
    explicit VDataHolderSingle(const VDataFormatInfo& format) : VDataHolderBasic<Datum>(format) {}

    std::uint32_t GetCount() const override { return 1; }
    bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) override
    {
        return this->DecodeItem(stream, fields).MayContinue();
    }
    bool WriteItems(IBinaryOutputStream& stream) override
    {
        return this->m_Datum.Write(stream, this->m_Format.GetFields());
    }
    void Clear() override {}
};
