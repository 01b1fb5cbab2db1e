#include "FileIO/VCentroidDatum.h"

#include <cmath>

namespace
{
constexpr std::uint32_t kMaxFieldBytes = 8;

/// The coordinate that a field key decodes into, or null for other keys.
double* CoordinateOf(ICentroidData& data, std::uint16_t key)
{
    switch (key)
    {
    case VCentroidDatum::kKeyX:
        return &data.X;
    case VCentroidDatum::kKeyY:
        return &data.Y;
    case VCentroidDatum::kKeyRadius:
        return &data.Radius;
    case VCentroidDatum::kKeyFraction:
        return &data.Fraction;
    default:
        return nullptr;
    }
}

/// The slot of a coordinate key (0 to 3 for X, Y, Radius, Fraction), or -1.
int SlotOf(std::uint16_t key)
{
    return key >= VCentroidDatum::kKeyX && key <= VCentroidDatum::kKeyFraction
               ? key - VCentroidDatum::kKeyX
               : -1;
}

/// The f32 scale in the first 4 parameter bytes, widened; false when absent.
bool ScaleOf(const VDataFormatField& field, double& scale)
{
    if (field.Parameters.size() < 4)
    {
        return false;
    }
    scale = LittleEndian::LoadF32(field.Parameters.data());
    return true;
}

/// Bytes of a padding field: ceil(P / 8) for the u32 P in its parameters.
bool PaddingBytesOf(const VDataFormatField& field, std::uint64_t& bytes)
{
    if (field.Parameters.size() < 4)
    {
        return false;
    }
    bytes = (std::uint64_t{LittleEndian::LoadU32(field.Parameters.data())} + 7) / 8;
    return true;
}

/// value / scale rounded to nearest (ties to even) and clamped to what `width` bytes hold.
std::uint64_t EncodeScaled(double value, double scale, std::uint32_t width)
{
    const std::uint64_t largest =
        width >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * width)) - 1;
    const double scaled = std::nearbyint(value / scale);
    if (std::isnan(scaled) || scaled <= 0.0)
    {
        return 0;
    }
    if (scaled >= static_cast<double>(largest))
    {
        return largest;
    }
    return static_cast<std::uint64_t>(scaled);
}
} // namespace

std::uint32_t VCentroidDatum::Read(IBinaryInputStream& stream, const VDataFieldList& fields)
{
    BeginRead();
    ICentroidData& data = m_Destination != nullptr ? *m_Destination : m_Scratch;
    std::uint32_t decoded = 0;
    for (const VDataFormatField& field : fields)
    {
        if (!stream.IsGood())
        {
            break;
        }
        if (double* coordinate = CoordinateOf(data, field.Key))
        {
            if (field.Size > kMaxFieldBytes)
            {
                Malformed();
                break;
            }
            double scale = 0.0;
            if (field.Size > 0 && !ScaleOf(field, scale))
            {
                Malformed();
                break;
            }
            std::uint8_t bytes[kMaxFieldBytes] = {};
            if (!stream.Read(bytes, field.Size))
            {
                break;
            }
            *coordinate =
                field.Size > 0
                    ? static_cast<double>(LittleEndian::LoadUnsigned(bytes, field.Size)) * scale
                    : 0.0;
            ++decoded;
            continue;
        }
        if (field.Key == kKeyPadding)
        {
            std::uint64_t padding = 0;
            if (!PaddingBytesOf(field, padding))
            {
                Malformed();
                break;
            }
            if (!stream.Skip(padding))
            {
                break;
            }
            ++decoded;
            continue;
        }
        if (!SkipField(stream, field))
        {
            break;
        }
    }
    return decoded;
}

VDatumBase::EPlanStep VCentroidDatum::PlanField(const VDataFormatField& field,
                                                std::uint64_t& offset,
                                                std::vector<VPlannedField>& plan) const
{
    if (const int slot = SlotOf(field.Key); slot >= 0)
    {
        double scale = 0.0;
        if (field.Size > kMaxFieldBytes || (field.Size > 0 && !ScaleOf(field, scale)))
        {
            return EPlanStep::NoPlan;
        }
        plan.push_back({static_cast<std::uint32_t>(offset), field.Size,
                        static_cast<std::uint32_t>(slot), scale});
        offset += field.Size;
        return EPlanStep::Known;
    }
    if (field.Key == kKeyPadding)
    {
        std::uint64_t padding = 0;
        if (!PaddingBytesOf(field, padding))
        {
            return EPlanStep::NoPlan;
        }
        offset += padding;
        return EPlanStep::Known;
    }
    return EPlanStep::Unknown;
}

namespace
{
/// LoadUnsigned for a width of 1 to 8 bytes, each width with its own unrolled load.
std::uint64_t LoadUnsignedOfWidth(const std::uint8_t* bytes, std::uint32_t width)
{
    switch (width)
    {
    case 1:
        return LittleEndian::LoadUnsigned(bytes, 1);
    case 2:
        return LittleEndian::LoadUnsigned(bytes, 2);
    case 3:
        return LittleEndian::LoadUnsigned(bytes, 3);
    case 4:
        return LittleEndian::LoadUnsigned(bytes, 4);
    case 5:
        return LittleEndian::LoadUnsigned(bytes, 5);
    case 6:
        return LittleEndian::LoadUnsigned(bytes, 6);
    case 7:
        return LittleEndian::LoadUnsigned(bytes, 7);
    default:
        return LittleEndian::LoadUnsigned(bytes, 8);
    }
}
} // namespace

void VCentroidDatum::ReadPlanned(const std::uint8_t* item, ICentroidData& data) const
{
    double* const slots[4] = {&data.X, &data.Y, &data.Radius, &data.Fraction};
    for (const VPlannedField& field : Plan())
    {
        const std::uint64_t raw =
            field.Width > 0 ? LoadUnsignedOfWidth(item + field.Offset, field.Width) : 0;
        *slots[field.Slot] = field.Width > 0 ? static_cast<double>(raw) * field.Scale : 0.0;
    }
}

bool VCentroidDatum::Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const
{
    if (m_Destination == nullptr)
    {
        return false;
    }
    ICentroidData data = *m_Destination;
    for (const VDataFormatField& field : fields)
    {
        if (const double* coordinate = CoordinateOf(data, field.Key))
        {
            double scale = 0.0;
            if (field.Size > kMaxFieldBytes || (field.Size > 0 && !ScaleOf(field, scale)))
            {
                return false;
            }
            const std::uint64_t raw =
                field.Size > 0 && scale != 0.0 ? EncodeScaled(*coordinate, scale, field.Size) : 0;
            stream.WriteUnsigned(raw, field.Size);
            continue;
        }
        if (field.Key == kKeyPadding)
        {
            std::uint64_t padding = 0;
            if (!PaddingBytesOf(field, padding))
            {
                return false;
            }
            stream.WriteZeros(padding);
            continue;
        }
        WriteUnknownField(stream, field);
    }
    return stream.IsGood();
}
