// The X2D trial-file writer: writes cameras, start timecode, formats and frames of centroids,
// tracks, greyscale blobs and edge pairs in any version that the X2D reader accepts.
#pragma once

#include "FileIO/DefaultFormats.h"
#include "FileIO/ICentroidFrame.h"
#include "FileIO/ICentroidTrackFrame.h"
#include "FileIO/IEdgePairFrame.h"
#include "FileIO/IGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "FileIO/X2DIO/VTrialExportBase.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

/// What an X2D file holds besides its frames. The defaults make a version 3 file with every
/// data kind, a frame-info format, the camera information and an index.
struct VX2DExportSettings
{
    /// 1 to 3: below 3, header and index offsets are 32-bit (files up to 2 GiB).
    std::int32_t Version = 3;
    /// The cameras, in device record order.
    std::vector<CameraInfoRecord> Cameras;
    double SystemFrameRate = 0.0;
    /// Write the camera information block (HeaderId 0).
    bool WriteCameraInfo = true;
    /// The keys written for each camera (a format without 0xAA11 leaves CameraValue out).
    VDataFormatInfo CameraRecordFormat = VCameraInfoHeader::DefaultRecordFormat();
    /// The start timecode in VTimecode::ToText form; empty writes no block.
    std::string StartTimecode;
    /// Cameras recorded per frame; by default the number of cameras.
    std::optional<std::uint32_t> DeviceCount;
    /// The header formats, in the order of the blocks of every device record; empty selects
    /// DefaultFormats(largest sensor of the cameras).
    std::vector<VDataFormatInfo> Formats;
    /// Write the frame-info format (and a frame-info item at the end of each frame).
    bool WriteFrameInfoFormat = true;
    VDataFormatInfo FrameInfoFormat = DefaultFormats::FrameInfo();
    /// Further custom header blocks, written after the known ones.
    std::vector<VRawHeaderBlock> ExtraHeaderBlocks;
    /// Write the index table (without it IndexOffset has all bits set).
    bool WriteIndex = true;
    /// The write buffer in whole MiB.
    std::uint32_t BufferMiB = 2;
};

/// Writes one X2D file: Open (which writes the header), WriteFrame per frame, Close (which
/// writes the index and patches FrameCount and IndexOffset). A file not closed has no valid
/// FrameCount or index.
///
/// Items are written with the datums' rules and each header format's field list: centroids
/// (0xDFAA), tracks (0xDFDD), greyscale blobs (0xDFBB), camera frame info (0xDFEE: the
/// greyscale set's InfoByte, 0 without a greyscale frame), edge pairs (0xDFCC); blocks of
/// other formats are written empty. Device record d carries camera d's CameraId (d when
/// there is no camera d). Not copyable. Not thread-safe: one thread at a time.
class VX2DExport final : public VTrialExportBase
{
public:
    VX2DExport();
    ~VX2DExport() override;

    /// Creates `path` and writes the header. False (see GetError) for a version outside 1 to
    /// 3 or a file that cannot be created.
    bool Open(const std::string& path, const VX2DExportSettings& settings);
    /// Appends one frame. Null frames, and frames with fewer sets than the device count,
    /// give empty blocks. The frames are only read during the call.
    bool WriteFrame(std::uint32_t frameNumber, const ICentroidFrame* centroids,
                    const ICentroidTrackFrame* tracks, const IGreyscaleBlobFrame* greyscale,
                    const IEdgePairFrame* edges);

    /// Centroids for a `width` x `height` sensor, tracks, greyscale blobs, camera frame info
    /// and edge pairs: the order in which the X2D reader registers its holders.
    static std::vector<VDataFormatInfo> DefaultFormatList(std::uint32_t width,
                                                          std::uint32_t height);

private:
    struct VItemWriters; // the sets and datums that encode one device record's items

    /// Writes the items of one block; the item count, or nothing on failure.
    static std::optional<std::uint32_t> WriteItems(VItemWriters& writers, IBinaryOutputStream& out,
                                                   const VDataFormatInfo& format,
                                                   bool hasGreyscale);

    std::unique_ptr<VItemWriters> m_Writers;
    std::vector<VDataFormatInfo> m_Formats;
    std::optional<VDataFormatInfo> m_FrameInfoFormat;
    std::vector<std::uint32_t> m_DeviceIds;
};
