// The streams of a whole X2D trial prepared in advance: for every frame and camera the
// centroid and the greyscale byte strings that the parsed sources replay.
#pragma once

#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "devices/camerawire/CameraDataFormat.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class VX2DHolder;

/// The camera settings the greyscale strings are assembled with (the parameters' defaults).
/// The strings are made once, so later changes of a camera's parameters do not reach them.
struct VPreparedStreamSettings
{
    CameraData::EncodingMode GreyMode = CameraData::EncodingMode::All;  ///< "GreyMode"
    CameraData::EncodingMode CoordMode = CameraData::EncodingMode::All; ///< "CoordMode"
    std::int32_t ProtocolVersion = 1;                                   ///< "ProtocolVersion"
    std::int32_t Threshold = 128;                                       ///< "Threshold"
    std::int32_t MinRatio = 0;                                          ///< "MinRatio"
    std::int32_t MaxPixelsPerLine = 0;                                  ///< "MaxPixelsPerLine"
};

/// The prepared streams of one trial, shared by the parsed cameras made from it.
///
/// For trial frame k and camera c (device id = the camera record's CameraId):
/// - the centroid string: for each centroid its centroid record followed at once by its
///   track record (position = the centroid's index; the file's track of that index, or "no
///   track" (id -1, length 0) when the file has fewer tracks than centroids), then a trailer
///   of stream kind 2 with frame number k, previous frame k - 1 (0 for k = 0), the byte count
///   of the records, the centroid count and 8 at offset 32 (the stream carries tracks);
/// - the greyscale string: the greyscale stream of the frame as VGreyscaleStreamAssembler
///   would send it, its datagrams stored one after another (it ends with the trailer).
/// Both strings end with the 36-byte trailer, whose frame numbers the sources rewrite.
///
/// Memory: every string of the trial is held at once (about the size of the trial's
/// centroid, track, blob and edge data, plus 36 bytes per frame, camera and stream).
///
/// Threading contract: Prepare runs on one thread (the loading, main thread). Afterwards the
/// object is immutable except the single-frame switch, which is atomic, so any number of
/// sources on any threads may read it at once. Not copyable.
class VX2DPreparedStreams
{
public:
    /// Reads every frame of `trial` and prepares the strings. Camera records whose TypeName
    /// is empty get one from their sensor size (659 × 494 "KS1A", 1280 × 1024 "KS2A", 1600 ×
    /// 1280 "KS3A", 2352 × 1728 "KS4A"). Writes "Preparing to buffer <frames> frames " and
    /// "<cameras> cameras " lines, then "Reading frame <k>/<frames>" for every hundredth frame
    /// (from 0), to `console` (null: nothing is written). A frame that cannot be read gives
    /// strings with the records read so far (none when it could not be found). Never null.
    static std::shared_ptr<VX2DPreparedStreams>
    Prepare(VX2DHolder& trial, const VPreparedStreamSettings& settings = {},
            std::FILE* console = stdout);

    VX2DPreparedStreams(const VX2DPreparedStreams&) = delete;
    VX2DPreparedStreams& operator=(const VX2DPreparedStreams&) = delete;

    std::uint32_t GetFrameCount() const { return m_FrameCount; }
    /// Camera records of the trial (with the type names filled in).
    std::uint32_t GetCameraCount() const { return static_cast<std::uint32_t>(m_Cameras.size()); }
    const std::vector<CameraInfoRecord>& GetCameras() const { return m_Cameras; }
    double GetSystemFrameRate() const { return m_SystemFrameRate; }
    const VPreparedStreamSettings& GetSettings() const { return m_Settings; }

    /// The prepared strings of trial frame `index` and camera `camera`; empty when either is
    /// out of range. Valid as long as the object.
    std::span<const std::uint8_t> GetCentroidStream(std::uint32_t index,
                                                    std::uint32_t camera) const;
    std::span<const std::uint8_t> GetGreyscaleStream(std::uint32_t index,
                                                     std::uint32_t camera) const;

    /// With the switch on every system frame replays trial frame 1 (frame 0 of a one-frame
    /// trial) instead of frame mod count. Off after Prepare. Any thread.
    void SetSingleFrame(bool on) { m_SingleFrame.store(on, std::memory_order_relaxed); }
    bool IsSingleFrame() const { return m_SingleFrame.load(std::memory_order_relaxed); }

    /// The trial frame that system frame `frame` replays; nothing for a trial without frames.
    std::optional<std::uint32_t> TrialFrameOf(std::uint32_t frame) const;

    /// The type name given to a record without one, from its sensor size ("" when none).
    static const char* TypeNameFromSensorSize(std::uint32_t width, std::uint32_t height);

private:
    VX2DPreparedStreams() = default;

    /// Where a string starts in m_Bytes: (frame × cameras + camera) × 2 + stream (0
    /// centroids, 1 greyscale); one entry more holds the end.
    std::span<const std::uint8_t> Stream(std::uint32_t index, std::uint32_t camera,
                                         std::uint32_t stream) const;

    std::uint32_t m_FrameCount = 0;
    std::vector<CameraInfoRecord> m_Cameras;
    double m_SystemFrameRate = 0.0;
    VPreparedStreamSettings m_Settings;
    std::vector<std::uint8_t> m_Bytes;
    std::vector<std::size_t> m_Starts;
    std::atomic<bool> m_SingleFrame{false};
};
