// The X2D file reader's working part: the X2D file header, the frame-info item and the
// error reporting to the log, on top of the shared container reading.
#pragma once

#include "FileIO/VDataFormatInfo.h"
#include "FileIO/VFrameInfoDataHolder.h"
#include "FileIO/X2DIO/VTrialImportBase.h"

#include <cstdint>
#include <memory>
#include <string>

/// Reads X2D files for VX2DImport. Errors are appended to the error list and logged in
/// category "X2DImport" at level 4.
/// Not copyable. Not thread-safe: one thread at a time.
class VX2DImportImpl final : public VTrialImportBase
{
public:
    /// Versions above this are refused.
    static constexpr std::int32_t kNewestVersion = 3;
    /// The first four bytes of files of the old format, "Orva", read as a little-endian u32.
    static constexpr std::uint32_t kOldFormatSignature = 0x6176724F;
    static constexpr std::uint16_t kFrameInfoTag = 0xFDDF;

    explicit VX2DImportImpl(std::uint32_t bufferMiB = ifstream64::kDefaultBufferMiB);

    /// Reads the file header, the custom headers and the index (rebuilt from the frame
    /// records when missing and `rebuildIndex` is set); ends at DataOffset. False when the
    /// file cannot be read as X2D (see the messages of VX2DImport).
    bool ReadHeader(bool rebuildIndex);
    /// Reads the frame-info item at the position. False when the header has no frame-info
    /// format or the item cannot be read.
    bool ReadFrameInfo();

    /// The header's frame-info format; meaningful when HasFrameInfoFormat().
    const VDataFormatInfo& GetFrameInfoFormat() const { return m_FrameInfoFormat; }
    bool HasFrameInfoFormat() const { return m_FrameInfoHolder != nullptr; }

protected:
    void ReportError(const std::string& message) override;

private:
    VDataFormatInfo m_FrameInfoFormat;
    std::unique_ptr<VFrameInfoDataHolder> m_FrameInfoHolder; // only with a frame-info format
};
