// The holder that decodes items straight into its target set's record array.
#pragma once

#include "FileIO/VDataHolderBasic.h"

#include <cstdint>

/// Decodes each item into a new last record of the target set (no intermediate element),
/// for the kinds whose records are plain values: centroids, tracks and edge pairs.
/// `Accessor` reaches the target's records (VX2DAccessors.h).
///
/// A record appended for an item stays in the set with the fields decoded before a failed
/// read or a malformed field (the rest zero, or the track defaults). An item that consumed
/// no bytes from a good stream (a field list that occupies nothing) is taken back out of
/// the set, since no item of that list can ever make progress.
/// Not thread-safe: one thread at a time.
template <typename Datum, typename Accessor>
class VDataHolderNoCopying : public VDataHolderBasic<Datum>
{
public:
    using Target = typename Accessor::Target;
    using Data = typename Accessor::Data;

    explicit VDataHolderNoCopying(const VDataFormatInfo& format) : VDataHolderBasic<Datum>(format)
    {
    }

    /// Points the holder at the set to fill (not owned), or at none with null.
    void SetTarget(Target* target) { m_Accessor.SetTarget(target); }
    Target* GetTarget() const { return m_Accessor.GetTarget(); }

    std::uint32_t GetCount() const override { return m_Accessor.Count(); }

    bool ReadItem(IBinaryInputStream& stream, const VDataFieldList& fields) override
    {
        const bool hasTarget = m_Accessor.GetTarget() != nullptr;
        const std::uint32_t index = m_Accessor.Count();
        Data* destination = &m_Scratch;
        if (hasTarget)
        {
            m_Accessor.Resize(index + 1);
            destination = m_Accessor.ItemData(index);
        }
        else
        {
            m_Scratch = Data{};
        }
        this->m_Datum.SetDestination(destination);
        const auto outcome = this->DecodeItem(stream, fields);
        this->m_Datum.SetDestination(nullptr);
        if (hasTarget && outcome.Clean && !outcome.Progressed)
        {
            m_Accessor.Resize(index);
        }
        return outcome.MayContinue();
    }

    bool WriteItems(IBinaryOutputStream& stream) override
    {
        bool written = true;
        const std::uint32_t count = m_Accessor.Count();
        for (std::uint32_t i = 0; i < count && written; ++i)
        {
            this->m_Datum.SetDestination(m_Accessor.ItemData(i));
            written = this->m_Datum.Write(stream, this->m_Format.GetFields());
        }
        this->m_Datum.SetDestination(nullptr);
        return written && stream.IsGood();
    }

    void Clear() override
    {
        if (m_Accessor.GetTarget() != nullptr)
        {
            m_Accessor.Resize(0);
        }
    }

private:
    Accessor m_Accessor;
    Data m_Scratch;
};
