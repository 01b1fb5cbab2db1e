// Plain, self-contained copies of what a trial file holds: its header summary and one frame
// of camera or analogue data, for printing, comparing and (later) checking replayed streams.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/X2DIO/AnalogueSourceSets.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// The two kinds of trial file.
enum class TrialKind : std::uint8_t
{
    X2D, ///< camera data
    X1D  ///< analogue data of the sync unit
};

/// "x2d" or "x1d".
const char* TrialKindName(TrialKind kind);

/// One header format of a trial file: identifier and field count.
struct VTrialFormat
{
    std::uint16_t Id = 0;
    std::uint32_t FieldCount = 0;

    bool operator==(const VTrialFormat&) const = default;
};

/// What `tsmtrial info` shows of a trial file. Fields that the kind does not have stay
/// empty (X1D files have no cameras, rate or timecode; X2D files no header value or source
/// sets). A value type.
struct VTrialInfo
{
    TrialKind Kind = TrialKind::X2D;
    bool Opened = false;
    std::int32_t Version = 0;
    std::uint32_t DeviceCount = 0;
    std::uint32_t FrameCount = 0;
    /// Frame numbers of the first and last index entries (1 and 0 without frames).
    std::uint32_t FirstFrame = 1;
    std::uint32_t LastFrame = 0;
    std::vector<VTrialFormat> Formats;
    /// X2D: the frame-info format, when the header has one.
    std::optional<VTrialFormat> FrameInfoFormat;
    /// X2D: the camera records, in device order, and the names the reader gives them.
    std::vector<CameraInfoRecord> Cameras;
    std::vector<std::string> CameraNames;
    std::optional<double> FrameRate;
    /// X2D: the start timecode as display text with sub-frame and standard; empty when the
    /// file has none or it is not valid. StartTimecodeText is the stored text.
    std::string StartTimecode;
    std::string StartTimecodeText;
    /// X1D: the optional 8-byte header value (0 when absent) and the analogue source sets.
    std::optional<std::int64_t> HeaderValue;
    std::vector<VAnalogueSourceSetSpec> SourceSets;
    /// The index was rebuilt from the frame records while opening.
    bool IndexRebuilt = false;
    /// The reader's messages, in order.
    std::vector<std::string> Errors;
};

/// One greyscale run: the column of its first pixel, its line and the pixel bytes.
struct VTrialLine
{
    std::uint16_t Column = 0;
    std::uint16_t Line = 0;
    std::vector<std::uint8_t> Pixels;

    bool operator==(const VTrialLine&) const = default;
};

/// One greyscale blob.
struct VTrialBlob
{
    std::uint8_t Flag = 0;
    std::vector<VTrialLine> Lines;

    bool operator==(const VTrialBlob&) const = default;
};

/// Everything one camera recorded in one frame.
struct VTrialCameraFrame
{
    std::string Name;
    double CameraValue = 0.0;
    std::vector<ICentroidData> Centroids;
    std::vector<ICentroidTrackData> Tracks;
    std::vector<VTrialBlob> Blobs;
    std::vector<IEdgePairData> Edges;
    std::uint8_t InfoByte = 0;
};

/// Everything one analogue device recorded in one frame: its blocks of sample bytes.
struct VTrialDeviceFrame
{
    std::string Name;
    std::vector<std::vector<std::uint8_t>> Blocks;
};

/// One frame of a trial, copied out of the reader's frame model.
struct VTrialFrame
{
    std::uint32_t Index = 0;
    std::uint32_t FrameNumber = 0;
    /// What the reader's ReadFrame returned.
    bool Ok = false;
    /// X2D: one entry per camera; X1D: one per analogue device.
    std::vector<VTrialCameraFrame> Cameras;
    std::vector<VTrialDeviceFrame> Devices;
};
