// The analogue block datum: decodes a block of sample bytes into a block element, and writes
// a block back.
#pragma once

#include "FileIO/IAnalogueBlock.h"
#include "FileIO/TDatum.h"

#include <cstdint>
#include <vector>

/// Decodes a block: 0xAA00 (variable) is u32 L (not used), u32 byte count N and N bytes,
/// handed to the destination's SetData (a later 0xAA00 of the same item replaces an earlier
/// one). N is checked against the bytes remaining before anything is allocated. Read returns
/// 0 when the stream has failed by the end. Writes L = N + 8, N and the bytes; fails when L
/// would not fit in a u32.
/// Not thread-safe: one thread at a time.
class VAnalogueBlockDatum : public TDatum<IAnalogueBlockData, IAnalogueBlockDirect>
{
public:
    static constexpr std::uint16_t kKeyBytes = 0xAA00;

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;

private:
    std::vector<std::uint8_t> m_Bytes; // reused from item to item
};
