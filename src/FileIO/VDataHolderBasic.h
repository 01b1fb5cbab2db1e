// The base of the data holders: their own format and their datum.
#pragma once

#include "FileIO/IDataHolder.h"

#include <cstdint>

/// Holds the holder's format (a copy of its kind's default) and its datum, and runs the
/// datum over one item. Not copyable: derived holders keep pointers to their targets and
/// bind the datum to their own members. Not thread-safe: one thread at a time.
template <typename Datum> class VDataHolderBasic : public IDataHolder
{
public:
    explicit VDataHolderBasic(const VDataFormatInfo& format) : m_Format(format) {}
    VDataHolderBasic(const VDataHolderBasic&) = delete;
    VDataHolderBasic& operator=(const VDataHolderBasic&) = delete;

    const VDataFormatInfo& GetFormat() const override { return m_Format; }

protected:
    /// How decoding one item went.
    struct VItemOutcome
    {
        bool Clean = false;      ///< the stream is good and no field was malformed
        bool Progressed = false; ///< the item consumed at least one byte
        bool MayContinue() const { return Clean && Progressed; }
    };

    /// Runs the datum, already bound to its destination, over one item.
    VItemOutcome DecodeItem(IBinaryInputStream& stream, const VDataFieldList& fields)
    {
        const std::uint64_t start = stream.Tell();
        m_Datum.Read(stream, fields);
        VItemOutcome outcome;
        outcome.Clean = stream.IsGood() && !m_Datum.IsMalformed();
        outcome.Progressed = stream.Tell() > start;
        return outcome;
    }

    VDataFormatInfo m_Format;
    Datum m_Datum;
};
