// The X2D trial-file reader: opens a recorded camera trial and reads its frames, by index or
// frame number, into the frame data model, with the cameras and start timecode of its header.
#pragma once

#include "FileIO/ICentroidFrame.h"
#include "FileIO/ICentroidTrackFrame.h"
#include "FileIO/IEdgePairFrame.h"
#include "FileIO/IGreyscaleBlobFrame.h"
#include "FileIO/VCameraFrameInfoDataHolder.h"
#include "FileIO/VCentroidDataHolder.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackDataHolder.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgeDataHolder.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobDataHolder.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "FileIO/X2DIO/VStartTimecodeHeader.h"
#include "FileIO/X2DIO/VX2DImportImpl.h"
#include "timecode/VTimecode.h"

#include <cstdint>
#include <string>
#include <vector>

/// Reads one X2D file. Construct, Open once, then read frames in any order; the header
/// information stays fixed after Open. Frames passed in are reused between calls: a frame
/// that implements the kind's Direct interface is filled in place, any other one is filled
/// through an internal frame and the copy protocol. Messages go to GetErrors (and the log).
///
/// Not copyable. Not thread-safe: one thread at a time. Devices share a file through
/// VX2DHolder, which serialises the calls.
class VX2DImport
{
public:
    /// `bufferMiB`: the read buffer in whole MiB (the device manager asks for 64).
    explicit VX2DImport(std::uint32_t bufferMiB = ifstream64::kDefaultBufferMiB);
    VX2DImport(const VX2DImport&) = delete;
    VX2DImport& operator=(const VX2DImport&) = delete;
    ~VX2DImport();

    /// Opens and reads the header. `rebuildIndex`: rebuild a missing index from the frame
    /// records (the device manager passes true) instead of failing. The camera names are
    /// rebuilt from the camera information whatever the result.
    bool Open(const std::string& fileName, bool rebuildIndex);
    bool IsOpen() const { return m_Impl.IsOpen(); }

    /// Cameras recorded in each frame.
    std::uint32_t GetDeviceCount() const { return m_Impl.GetDeviceCount(); }
    /// FrameCount of the header, or the number of frames found when the index was rebuilt.
    std::uint32_t GetFrameCount() const { return m_Impl.GetFrameCount(); }
    /// Frame numbers of the first and last index entries; 1 and 0 without frames.
    void GetFrameRange(std::uint32_t& first, std::uint32_t& last) const;
    /// All frame numbers in index order; returns their count.
    std::uint32_t GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const;
    /// Index of the first entry with `frameNumber`; false when there is none.
    bool FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const;
    /// Frame number of index entry `index`; 0 when out of range.
    std::uint32_t GetFrameNumber(std::uint32_t index) const;

    /// Reads frame `index` into the frames given (null: that kind is not kept). Each frame
    /// present is resized to the device count and set d holds camera d. On success each set
    /// is named after its camera ("zt:" + CameraId) and the centroid sets carry the cameras'
    /// CameraValue. Returns false, with the frames filled as far as reading got, when the
    /// frame cannot be read, and also, after filling the frames but before naming the sets,
    /// when the file has no frame-info format. The pointers are not kept.
    bool ReadFrame(std::uint32_t index, ICentroidFrame* centroids, ICentroidTrackFrame* tracks,
                   IGreyscaleBlobFrame* greyscale, IEdgePairFrame* edges);
    /// FindFrameIndex, then ReadFrame; false when the number is not in the index.
    bool ReadFrameByNumber(std::uint32_t frameNumber, ICentroidFrame* centroids,
                           ICentroidTrackFrame* tracks, IGreyscaleBlobFrame* greyscale,
                           IEdgePairFrame* edges);

    /// The start timecode; false when the file has none or its text is not a valid timecode.
    bool GetStartTimecode(VTimecode& timecode) const;
    /// Copies of the camera records and the system frame rate.
    void GetCameraInfo(std::vector<CameraInfoRecord>& cameras, double& systemFrameRate) const;
    /// The system frame rate of the camera information, in Hz.
    double GetFrameRate() const { return m_CameraInfo.GetSystemFrameRate(); }
    /// One name per camera record: "zt:" + CameraId.
    const std::vector<std::string>& GetCameraNames() const { return m_CameraNames; }
    /// Every message since Open, in order.
    const std::vector<std::string>& GetErrors() const { return m_Impl.GetErrors(); }
    /// The reader's working part (header formats, index, positions), for tools and tests.
    const VX2DImportImpl& GetImpl() const { return m_Impl; }

private:
    void RebuildCameraNames();
    /// Names the sets of each camera and gives the centroid sets their CameraValue.
    void NameSets(ICentroidFrameDirect* centroids, ICentroidTrackFrame* tracks,
                  IGreyscaleBlobFrameDirect* greyscale, IEdgePairFrameDirect* edges);
    void SetHolderTargets(std::uint32_t device, ICentroidFrameDirect* centroids,
                          ICentroidTrackFrame* tracks, IGreyscaleBlobFrameDirect* greyscale,
                          IEdgePairFrameDirect* edges);

    // Declared before the implementation, which keeps pointers to them.
    VCentroidDataHolder m_CentroidHolder;
    VCentroidTrackDataHolder m_TrackHolder;
    VGreyscaleBlobDataHolder m_GreyscaleHolder;
    VCameraFrameInfoDataHolder m_CameraFrameInfoHolder;
    VEdgeDataHolder m_EdgeHolder;
    VCameraInfoHeader m_CameraInfo;
    VStartTimecodeHeader m_StartTimecode;
    VX2DImportImpl m_Impl;

    // Stand in for caller frames that are not Direct implementations.
    VCentroidFrame m_Centroids;
    VGreyscaleBlobFrame m_Greyscale;
    VEdgePairFrame m_Edges;
    std::vector<std::string> m_CameraNames;
    std::vector<VStringStd> m_SetNames; // the camera names as set names
};
