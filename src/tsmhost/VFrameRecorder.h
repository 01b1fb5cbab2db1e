// Records what the host receives into trial files: the camera frames into an X2D trial, the
// sync units' analogue frames into an X1D trial beside it; the streams of every device are
// gathered per frame number and written in frame order by a writer thread.
#pragma once

#include "tsmhost/CameraStreamDecoder.h"

#include "FileIO/VDataFormatInfo.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class VX1DExport;
class VX2DExport;
class VFunctionThread;

/// One recorded camera: the file's camera record is made from it.
struct VRecordedCamera
{
    std::uint32_t DeviceId = 0;
    std::uint32_t SensorWidth = 0;
    std::uint32_t SensorHeight = 0;
    std::string TypeName;
    /// Greyscale framed by protocol 2 (only a greyscale stream; segments not grouped in
    /// blobs on the wire).
    bool Protocol2 = false;
};

/// What a recording wrote and left out.
struct VRecorderCounts
{
    std::uint64_t FramesWritten = 0;
    /// Frames written with some camera's stream (or the analogue frame of a sync unit that
    /// sends them) missing.
    std::uint64_t FramesPartial = 0;
    /// Stream frames that arrived after their frame was written, or for a camera not recorded.
    std::uint64_t StreamFramesLate = 0;
    /// Frames dropped because the writer fell too far behind.
    std::uint64_t FramesDropped = 0;
    /// Frames left out rather than written with a stream missing because the rig's start or
    /// stop cut them off: still incomplete at Close (the rig stopped while they were on the
    /// way), or from before a stream missing in them sent its first frame (it began a frame
    /// or more after the others).
    std::uint64_t FramesCutOff = 0;
};

/// Gathers, per frame number, the centroid and greyscale stream frames of the recorded
/// cameras (in device id order: camera record d has CameraId = the device id) and the
/// analogue frames of the recorded sync units (in device id order: X1D device d is the unit
/// with the d-th lowest id). A frame is written once every camera has delivered every stream
/// it sends (centroids and protocol-1 greyscale, or protocol-2 greyscale) and every sync unit
/// that has sent analogue frames has delivered its own, or once frames WindowFrames numbers
/// newer have been seen; at Close the complete ones are written and the others, which the
/// stop of the rig cut off, are left out; frames go out in increasing number, each with the
/// frame number it was received under.
///
/// Cameras go to the X2D file at the path given, sync units to the X1D file AnaloguePath
/// names; a file is made only when there is something of its kind to record. In the X1D file
/// a unit's set holds 64 blocks, block c the samples of channel c in time order (empty for a
/// channel not sent or a frame that did not arrive); the header's source set d names the unit
/// (Value = device id) and lists the 64 channels (source c has Value c). What is written is what
/// the wire carried: centroids at their 1/256 fixed point (the file's centroid format stores
/// exactly that), tracks by their centroid position, protocol-1 segments grouped into blobs by
/// their blob word (flag from the word), protocol-2 segments one blob each, edges in their order.
/// Negative coordinates, which the file cannot hold, are written as 0.
///
/// Threading contract: Open and Close on the owner thread; AddStreamFrame from one other
/// thread (the receive thread) between them. A writer thread of its own converts and writes
/// the frames, so a slow disk never holds the receive thread: at most QueueLimit frames
/// wait, more are dropped and counted. Not copyable.
class VFrameRecorder
{
public:
    static constexpr std::uint32_t WindowFrames = 32;
    static constexpr std::size_t QueueLimit = 1024;

    VFrameRecorder();
    ~VFrameRecorder();
    VFrameRecorder(const VFrameRecorder&) = delete;
    VFrameRecorder& operator=(const VFrameRecorder&) = delete;

    /// Creates `path` for `cameras` and AnaloguePath(path) for the sync units `syncUnits`
    /// (device ids), each only when there is any, at `systemFrameRate`, and starts the writer.
    /// False with a reason when a file cannot be created (or neither is given).
    bool Open(const std::string& path, std::vector<VRecordedCamera> cameras,
              std::vector<std::uint32_t> syncUnits, double systemFrameRate, std::string& error);
    /// The X1D file of a recording at `path`: its ".x2d" replaced by ".x1d", or ".x1d"
    /// appended when it has no ".x2d".
    static std::string AnaloguePath(const std::string& path);
    /// One stream's frame of camera `deviceId`; `greyscale` tells the stream. The frame's
    /// contents are taken (moved); the caller may reuse the object.
    void AddStreamFrame(std::uint32_t deviceId, bool greyscale, VCameraStreamFrame& frame);
    /// One analogue frame of sync unit `deviceId`: `instants` sample instants of the channels
    /// in `channelMask` (bit c = channel c), `samples` interleaved as they arrived (2 bytes
    /// each, channels in ascending order within an instant). The bytes are taken; `samples` is
    /// left empty.
    void AddAnalogueFrame(std::uint32_t deviceId, std::uint32_t frame, std::uint16_t instants,
                          std::uint64_t channelMask, std::vector<std::uint8_t>& samples);
    /// Writes every complete frame still gathered (incomplete ones are cut off, see
    /// VRecorderCounts), stops the writer and closes the files. True when everything was
    /// written. Idempotent.
    bool Close(std::string& error);

    VRecorderCounts GetCounts() const;
    bool IsOpen() const;
    const std::string& GetPath() const { return m_Path; }
    /// The X1D file being written, or empty when no sync unit is recorded.
    std::string GetAnaloguePath() const;

    /// The centroid format of recordings: X, Y and radius in 4 bytes of 1/256 pixel, the
    /// fraction in 2 bytes of 1/256: exactly the wire's fixed point.
    static VDataFormatInfo CentroidFormat();

private:
    struct VCameraFrame
    {
        bool HasCentroids = false;
        bool HasGreyscale = false;
        VCameraStreamFrame Centroids;
        VCameraStreamFrame Greyscale;
    };
    struct VUnitFrame
    {
        bool Has = false;
        std::uint16_t Instants = 0;
        std::uint64_t ChannelMask = 0;
        std::vector<std::uint8_t> Samples;
    };
    struct VFrame
    {
        std::uint32_t Number = 0;
        std::vector<VCameraFrame> Cameras;
        std::vector<VUnitFrame> Units;
    };

    bool IsComplete(const VFrame& frame) const;
    /// Whether every stream missing in `frame` began with a later frame: the frame is from
    /// before the rig's start reached that stream, not one the stream lost. Caller holds m_Lock.
    bool PrecedesMissingStreams(const VFrame& frame) const;
    /// Notes that a stream's frame `number` arrived: the stream's first frame is the lowest.
    static void NoteFirst(std::optional<std::uint32_t>& first, std::uint32_t number);
    /// The frame gathered under `number`, made when new; null when it was written already.
    /// Caller holds m_Lock.
    VFrame* Gather(std::uint32_t number);
    /// Moves finished frames to the writer's queue. Caller holds m_Lock.
    void FlushReady(bool all);
    void Enqueue(VFrame&& frame);
    void WriterLoop();
    bool WriteFrame(const VFrame& frame);
    bool WriteCameras(const VFrame& frame);
    bool WriteUnits(const VFrame& frame);

    std::string m_Path;
    std::vector<VRecordedCamera> m_Cameras;             // set by Open, then read-only
    std::map<std::uint32_t, std::size_t> m_CameraIndex; // device id -> camera index
    std::vector<std::uint32_t> m_Units;                 // set by Open, then read-only
    std::map<std::uint32_t, std::size_t> m_UnitIndex;   // device id -> unit index

    mutable std::mutex m_Lock; // guards everything below
    std::condition_variable m_Wake;
    std::map<std::uint32_t, VFrame> m_Gathering;
    std::deque<VFrame> m_Queue;
    std::uint32_t m_Newest = 0;
    bool m_HasNewest = false;
    std::uint32_t m_NextWritable = 0; // frames below were written (or given up on)
    bool m_HasWritten = false;
    bool m_Open = false;
    bool m_Stopping = false;
    bool m_WriteFailed = false;
    std::string m_WriteError;
    VRecorderCounts m_Counts;
    /// Units that have sent analogue frames: only they are waited for.
    std::vector<bool> m_UnitSends;
    /// The lowest frame number each stream delivered, by camera (centroids, greyscale) and by
    /// unit; unset until it delivers one.
    std::vector<std::optional<std::uint32_t>> m_FirstCentroids;
    std::vector<std::optional<std::uint32_t>> m_FirstGreyscale;
    std::vector<std::optional<std::uint32_t>> m_FirstAnalogue;

    std::unique_ptr<VX2DExport> m_Export;         // writer thread only between Open and Close
    std::unique_ptr<VX1DExport> m_AnalogueExport; // the same
    std::unique_ptr<VFunctionThread> m_Writer;
};
