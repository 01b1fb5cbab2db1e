// An item of a type this library does not decode, kept as its payload bytes.
#pragma once

#include "cgstream/VItem.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace OrvanCGStream
{

/// Any item by type number and payload bytes, as it travelled. Immutable; any thread.
class VRawItem final : public VItem
{
public:
    VRawItem(std::uint32_t type, std::vector<std::uint8_t> payload)
        : m_Type(type), m_Payload(std::move(payload))
    {
    }

    std::uint32_t GetType() const override { return m_Type; }
    void EncodePayload(std::vector<std::uint8_t>& out) const override
    {
        out.insert(out.end(), m_Payload.begin(), m_Payload.end());
    }
    const std::vector<std::uint8_t>& GetPayload() const { return m_Payload; }

private:
    const std::uint32_t m_Type;
    const std::vector<std::uint8_t> m_Payload;
};

} // namespace OrvanCGStream
