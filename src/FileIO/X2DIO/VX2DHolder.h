// The X2D trial shared by the devices made from one file: one reader behind one lock, so
// that devices ticking on different threads never read the file at the same time.
#pragma once

#include "FileIO/X2DIO/VX2DImport.h"
#include "FileIO/X2DIO/VX2DSharedFrames.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

/// Shares one open VX2DImport. The device manager creates one holder per file and hands it
/// to every camera (and the sync unit) made from that file, by std::shared_ptr. The holder
/// also owns the decoded frames that those devices share (GetSharedFrames), so that a tick of
/// many cameras decodes each trial frame once.
///
/// Threading: every operation may be called from any thread; each takes m_Lock for its whole
/// duration, so a frame read is never interleaved with another call. All users of the import
/// must go through this one holder (two holders on one import would not serialise). The
/// frames passed to ReadFrame belong to the caller and must not be used by another thread
/// during the call.
class VX2DHolder
{
public:
    /// Shares `import` (not null; normally open); it must no longer be used directly.
    explicit VX2DHolder(std::shared_ptr<VX2DImport> import);
    /// Stops the shared frames' read-ahead before the import goes.
    ~VX2DHolder();
    VX2DHolder(const VX2DHolder&) = delete;
    VX2DHolder& operator=(const VX2DHolder&) = delete;

    /// Opens `fileName` with a reader of `bufferMiB` (the device manager's 64 by default)
    /// and a rebuild of a missing index; null when it cannot be opened. `errors`, when given,
    /// receives the reader's messages either way.
    static std::shared_ptr<VX2DHolder> Open(const std::string& fileName, bool rebuildIndex = true,
                                            std::uint32_t bufferMiB = 64,
                                            std::vector<std::string>* errors = nullptr);

    std::uint32_t GetDeviceCount() const;
    std::uint32_t GetFrameCount() const;
    void GetFrameRange(std::uint32_t& first, std::uint32_t& last) const;
    std::uint32_t GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const;
    bool FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const;
    std::uint32_t GetFrameNumber(std::uint32_t index) const;
    /// As VX2DImport::ReadFrame.
    bool ReadFrame(std::uint32_t index, ICentroidFrame* centroids, ICentroidTrackFrame* tracks,
                   IGreyscaleBlobFrame* greyscale, IEdgePairFrame* edges);
    /// As VX2DImport::ReadFrameByNumber.
    bool ReadFrameByNumber(std::uint32_t frameNumber, ICentroidFrame* centroids,
                           ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                           IEdgePairFrame* edges);
    bool GetStartTimecode(VTimecode& timecode) const;
    void GetCameraInfo(std::vector<CameraInfoRecord>& cameras, double& systemFrameRate) const;
    double GetFrameRate() const;
    /// A copy of the camera names ("zt:" + CameraId, one per camera record).
    std::vector<std::string> GetCameraNames() const;
    /// A copy of the reader's messages.
    std::vector<std::string> GetErrors() const;

    /// The decoded frames of this trial, shared by its readers (reading through this holder).
    /// Any thread.
    VX2DSharedFrames& GetSharedFrames() { return *m_SharedFrames; }

    /// Runs `action(const VX2DImport&)` under the lock, for several queries that belong
    /// together; returns what it returns. `action` must not call back into this holder.
    template <typename Action> auto WithImport(Action&& action) const
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        return std::forward<Action>(action)(static_cast<const VX2DImport&>(*m_Import));
    }

private:
    mutable std::mutex m_Lock; // guards every use of m_Import
    std::shared_ptr<VX2DImport> m_Import;
    /// Reads through this holder; declared last, so it (and its thread) goes first.
    std::unique_ptr<VX2DSharedFrames> m_SharedFrames;
};
