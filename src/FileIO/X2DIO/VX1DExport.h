// The X1D trial-file writer: writes analogue source sets, formats and frames of analogue
// blocks in any version that the X1D reader accepts.
#pragma once

#include "FileIO/DefaultFormats.h"
#include "FileIO/IAnalogueBlockFrame.h"
#include "FileIO/X2DIO/VAnalogueSourceSetHeader.h"
#include "FileIO/X2DIO/VTrialExportBase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// What an X1D file holds besides its frames. The defaults make a version 2 file of one
/// analogue device with the source-set header and an index.
struct VX1DExportSettings
{
    /// 1 or 2: version 1 has 32-bit index entry offsets (header offsets are 64-bit in both).
    std::int32_t Version = 2;
    /// Analogue devices recorded per frame.
    std::uint32_t DeviceCount = 1;
    /// The device id of each device record; missing ones are the device's index.
    std::vector<std::uint32_t> DeviceIds;
    /// The optional 8-byte header value (written after FrameCount with tag 0x00FF).
    std::optional<std::int64_t> HeaderValue;
    /// The header formats, in the order of the blocks of every device record; empty selects
    /// the analogue-block format alone.
    std::vector<VDataFormatInfo> Formats;
    /// Write the source-set block (HeaderId 0).
    bool WriteSourceSets = true;
    std::vector<VAnalogueSourceSetSpec> SourceSets;
    VDataFormatInfo SetRecordFormat = VAnalogueSourceSetHeader::DefaultSetFormat();
    VDataFormatInfo SourceFormat = VAnalogueSourceSetHeader::DefaultSourceFormat();
    /// Further custom header blocks, written after the known one.
    std::vector<VRawHeaderBlock> ExtraHeaderBlocks;
    /// Write the index table (without it IndexOffset has all bits set).
    bool WriteIndex = true;
    /// The write buffer in whole MiB.
    std::uint32_t BufferMiB = 2;
};

/// Writes one X1D file: Open (which writes the header), WriteFrame per frame, Close (which
/// writes the index and patches FrameCount and IndexOffset). Analogue blocks (format 0xDFAA)
/// are written with the analogue datum's rules; blocks of other formats are written empty.
/// Not copyable. Not thread-safe: one thread at a time.
class VX1DExport final : public VTrialExportBase
{
public:
    VX1DExport();
    ~VX1DExport() override;

    /// Creates `path` and writes the header. False (see GetError) for a version outside 1
    /// and 2 or a file that cannot be created.
    bool Open(const std::string& path, const VX1DExportSettings& settings);
    /// Appends one frame: set d of `frame` for device d (null, or a missing set, gives an
    /// empty block). The frame is only read during the call.
    bool WriteFrame(std::uint32_t frameNumber, const IAnalogueBlockFrame* frame);

private:
    struct VItemWriters; // the set, block and datum that encode the analogue items

    std::unique_ptr<VItemWriters> m_Writers;
    std::vector<VDataFormatInfo> m_Formats;
    std::vector<std::uint32_t> m_DeviceIds;
};
