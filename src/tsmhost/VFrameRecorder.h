// Records the camera frames the host receives into an X2D trial: the streams of every camera
// are gathered per frame number and written in frame order by a writer thread.
#pragma once

#include "tsmhost/CameraStreamDecoder.h"

#include "FileIO/VDataFormatInfo.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
    /// Frames written with some camera's stream missing.
    std::uint64_t FramesPartial = 0;
    /// Stream frames that arrived after their frame was written, or for a camera not recorded.
    std::uint64_t StreamFramesLate = 0;
    /// Frames dropped because the writer fell too far behind.
    std::uint64_t FramesDropped = 0;
};

/// Gathers, per frame number, the centroid and greyscale stream frames of the recorded
/// cameras (in device id order: camera record d has CameraId = the device id). A frame is
/// written once every camera has delivered every stream it sends (centroids and protocol-1
/// greyscale, or protocol-2 greyscale), or once frames WindowFrames numbers newer have been
/// seen, or at Close; frames go out in increasing number, each with the frame number it was
/// received under. What is written is what the wire carried: centroids at their 1/256 fixed
/// point (the file's centroid format stores exactly that), tracks by their centroid
/// position, protocol-1 segments grouped into blobs by their blob word (flag from the word),
/// protocol-2 segments one blob each, edges in their order. Negative coordinates, which the
/// file cannot hold, are written as 0.
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

    /// Creates `path` for `cameras` at `systemFrameRate` and starts the writer. False with a
    /// reason when the file cannot be created (or no camera is given).
    bool Open(const std::string& path, std::vector<VRecordedCamera> cameras, double systemFrameRate,
              std::string& error);
    /// One stream's frame of camera `deviceId`; `greyscale` tells the stream. The frame's
    /// contents are taken (moved); the caller may reuse the object.
    void AddStreamFrame(std::uint32_t deviceId, bool greyscale, VCameraStreamFrame& frame);
    /// Writes every frame still gathered, stops the writer and closes the file. True when
    /// everything was written. Idempotent.
    bool Close(std::string& error);

    VRecorderCounts GetCounts() const;
    bool IsOpen() const;
    const std::string& GetPath() const { return m_Path; }

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
    struct VFrame
    {
        std::uint32_t Number = 0;
        std::vector<VCameraFrame> Cameras;
    };

    bool IsComplete(const VFrame& frame) const;
    /// Moves finished frames to the writer's queue. Caller holds m_Lock.
    void FlushReady(bool all);
    void Enqueue(VFrame&& frame);
    void WriterLoop();
    bool WriteFrame(const VFrame& frame);

    std::string m_Path;
    std::vector<VRecordedCamera> m_Cameras;             // set by Open, then read-only
    std::map<std::uint32_t, std::size_t> m_CameraIndex; // device id -> camera index

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

    std::unique_ptr<VX2DExport> m_Export; // writer thread only between Open and Close
    std::unique_ptr<VFunctionThread> m_Writer;
};
