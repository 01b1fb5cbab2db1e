// The greyscale blob datum: decodes a blob's lines and flag into a blob element, and writes
// a blob back.
#pragma once

#include "FileIO/IGreyscaleBlob.h"
#include "FileIO/TDatum.h"

#include <cstdint>
#include <vector>

/// Decodes a blob: 0xBB00 (variable) is u32 L (not used), u16 line count C, then C lines of
/// u16 Coord0, u16 Coord1, u16 pixel count n and n pixel bytes; a second 0xBB00 appends
/// further lines (a blob holds at most 65535 lines: more is malformed). 0xBB01 is a u32
/// whose bit 0 is BlobFlag (0 when the field is absent). The blob is built with null Lines
/// when it has no lines and null Pixels for lines of 0 pixels, and handed to the
/// destination's SetData (deep copy), also when decoding stopped early. Read returns 0 when
/// the stream has failed by the end.
///
/// Writing: 0xBB00 as L = 6 + the sum over the lines of (n + 6), C and the lines; 0xBB01 as
/// a u32 0 or 1. Fails when L would not fit in a u32.
/// Not thread-safe: one thread at a time.
class VGreyscaleBlobDatum : public TDatum<IGreyscaleBlobData, IGreyscaleBlobDirect>
{
public:
    static constexpr std::uint16_t kKeyLines = 0xBB00;
    static constexpr std::uint16_t kKeyBlobFlag = 0xBB01;

    std::uint32_t Read(IBinaryInputStream& stream, const VDataFieldList& fields) override;
    bool Write(IBinaryOutputStream& stream, const VDataFieldList& fields) const override;

private:
    /// Appends the lines of one 0xBB00 field to the blob under construction.
    bool ReadLines(IBinaryInputStream& stream);

    // The blob under construction, reused from item to item.
    std::vector<IGreyscaleLineData> m_Lines;
    std::vector<std::uint8_t> m_Pixels;
};
