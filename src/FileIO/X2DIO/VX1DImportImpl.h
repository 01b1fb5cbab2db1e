// The X1D file reader's working part: the X1D file header (with its optional 8-byte value)
// on top of the container reading shared with X2D files.
#pragma once

#include "FileIO/X2DIO/VTrialImportBase.h"

#include <cstdint>

/// Reads X1D files for VX1DImport. Messages go to the error list only (no log).
/// Not copyable. Not thread-safe: one thread at a time.
class VX1DImportImpl final : public VTrialImportBase
{
public:
    /// Versions above this are refused.
    static constexpr std::int32_t kNewestVersion = 2;
    /// Tag of the item header that announces the optional 8-byte header value.
    static constexpr std::uint16_t kHeaderValueTag = 0x00FF;

    explicit VX1DImportImpl(std::uint32_t bufferMiB = ifstream64::kDefaultBufferMiB);

    /// Reads the file header, the custom headers and the index (always rebuilt from the frame
    /// records when missing); ends at DataOffset. False when the file cannot be read as X1D.
    bool ReadHeader();
    /// The optional 8-byte header value; 0 when the file has none.
    std::int64_t GetHeaderValue() const { return m_HeaderValue; }

private:
    std::int64_t m_HeaderValue = 0;
};
