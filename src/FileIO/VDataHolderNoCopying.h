// The holder that decodes items straight into its target set's record array.
#pragma once

#include "FileIO/VDataHolderBasic.h"

#include <algorithm>
#include <cstdint>
#include <limits>

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
    bool KeepsItems() const override { return m_Accessor.GetTarget() != nullptr; }

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

    /// Decodes whole items that lie in the block and in the stream's view in runs, by the
    /// datum's plan for `fields` (when it has one), straight into new records; the rest of
    /// the block (an item cut by the view or the block end, a stream without a view) goes
    /// item by item through ReadItem, so the outcome is that of the ReadItem loop.
    void ReadItems(IBinaryInputStream& stream, const VDataFieldList& fields,
                   std::uint64_t blockEnd) override
    {
        const std::uint64_t itemBytes =
            m_Accessor.GetTarget() != nullptr ? this->m_Datum.PrepareItemPlan(fields) : 0;
        while (itemBytes > 0)
        {
            const std::uint64_t position = stream.Tell();
            std::uint64_t available = 0;
            const std::uint8_t* bytes = position < blockEnd ? stream.View(available) : nullptr;
            const std::uint32_t first = m_Accessor.Count();
            const std::uint64_t items =
                std::min<std::uint64_t>(std::min(available, blockEnd - position) / itemBytes,
                                        std::numeric_limits<std::uint32_t>::max() - first);
            if (bytes == nullptr || items == 0)
            {
                break;
            }
            m_Accessor.Resize(static_cast<std::uint32_t>(first + items));
            Data* records = m_Accessor.ItemData(first);
            const bool contiguous =
                records != nullptr &&
                m_Accessor.ItemData(static_cast<std::uint32_t>(first + items - 1)) ==
                    records + (items - 1);
            for (std::uint64_t i = 0; i < items; ++i, bytes += itemBytes)
            {
                Data* record = contiguous
                                   ? records + i
                                   : m_Accessor.ItemData(static_cast<std::uint32_t>(first + i));
                this->m_Datum.ReadPlanned(bytes, *record);
            }
            stream.Skip(items * itemBytes);
        }
        while (stream.Tell() < blockEnd && ReadItem(stream, fields))
        {
        }
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
