// Common ground of the datums: the skipping of unknown fields, the malformed-item state that
// the holders use to end a block cleanly, and the writing of fields a datum does not know.
#pragma once

#include "FileIO/IDatum.h"

#include <cstdint>
#include <vector>

/// Base of every datum. A field is malformed when decoding it could not make sound progress:
/// an unknown variable-length field whose length is below 4 (it would not even cover its own
/// length), a centroid field wider than 8 bytes, or a centroid field without its f32 scale.
/// Such a field ends the item: Read stops there and IsMalformed() is true until the next
/// Read. The stream itself stays good: the item's own bytes are in bounds, only their
/// meaning is lost, so the reader can end the block and go on with the next one.
/// Not thread-safe: one thread at a time.
class VDatumBase : public IDatum
{
public:
    /// Whether the last Read stopped at a malformed field.
    bool IsMalformed() const { return m_Malformed; }

    /// Works out, once per field list, where each known field of an item lies: the plan is
    /// kept with a copy of the list and made anew when another list comes. Returns the bytes
    /// of one item, or 0 when items of `fields` have no fixed layout that always decodes
    /// cleanly (a variable or malformed field, no bytes at all, an item of 16 MiB or more):
    /// such items are read with Read only. A datum with a plan offers ReadPlanned, which
    /// decodes one item from that many bytes exactly as Read would.
    std::uint64_t PrepareItemPlan(const VDataFieldList& fields);

protected:
    /// One known field in a plan: Width bytes at Offset in the item, into the datum's
    /// destination slot Slot, times Scale where the datum scales.
    struct VPlannedField
    {
        std::uint32_t Offset = 0;
        std::uint32_t Width = 0;
        std::uint32_t Slot = 0;
        double Scale = 0.0;
    };
    /// How a datum takes a field into its plan.
    enum class EPlanStep
    {
        Known,   ///< appended to the plan; `offset` moved past its bytes
        Unknown, ///< not the datum's: skipped by its size
        NoPlan   ///< the field is malformed: items of the list are read with Read only
    };
    /// Plans one field at `offset`; datums without a plan keep this default (NoPlan).
    virtual EPlanStep PlanField(const VDataFormatField& field, std::uint64_t& offset,
                                std::vector<VPlannedField>& plan) const;
    /// The plan of the last PrepareItemPlan that returned non-zero.
    const std::vector<VPlannedField>& Plan() const { return m_Plan; }

    /// Moves past a field that the datum does not decode: by its size, or for a variable
    /// field by its leading u32 length (which counts its own 4 bytes). False when the stream
    /// failed or the field is malformed.
    bool SkipField(IBinaryInputStream& stream, const VDataFormatField& field);
    /// Writes filler for a field that the datum does not know: Size zero bytes, or for a
    /// variable field an empty one (length 4).
    static bool WriteUnknownField(IBinaryOutputStream& stream, const VDataFormatField& field);
    /// Starts a Read.
    void BeginRead() { m_Malformed = false; }
    /// Records a malformed field; returns false for use in `return Malformed();`.
    bool Malformed()
    {
        m_Malformed = true;
        return false;
    }

private:
    bool m_Malformed = false;
    bool m_PlanMade = false;
    VDataFieldList m_PlanFields; // the list that m_Plan was made for
    std::vector<VPlannedField> m_Plan;
    std::uint64_t m_PlanBytes = 0;
};
