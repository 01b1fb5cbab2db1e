// Deterministic synthetic camera trials: markers moving smoothly in a capture volume, seen by
// a ring of cameras, with centroids, tracks, greyscale blobs and edges; and the writing of
// such a trial to an X2D file.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "tsmtrial/IProgress.h"

#include <cstdint>
#include <string>
#include <vector>

/// What to generate. The defaults make the sample trial's kind of data.
struct VX2DGeneratorSettings
{
    std::uint32_t Cameras = 4;
    std::uint32_t Frames = 300;
    /// System frame rate in Hz.
    double Rate = 100.0;
    std::uint32_t Markers = 10;
    /// A camera model label (CameraModelTable.h), used as every camera's TypeName.
    std::string Model = "Zt-M4";
    /// "HH:MM:SS:FF" (";" separators for drop-frame); empty writes no start timecode. The
    /// standard and sub-frames per frame follow from Rate.
    std::string StartTimecode = "10:00:00:00";
    /// X2D version, 1 to 3.
    std::int32_t Version = 3;
    std::uint64_t Seed = 1;
    /// Frame number of the first frame; frames are numbered consecutively.
    std::uint32_t FirstFrame = 1;
    /// Centroids and tracks only: no greyscale blobs, camera frame info or edges, and only the
    /// centroid and track formats in the file (a stage-sized trial stays small).
    bool CentroidsOnly = false;
};

/// Generates the frames of a synthetic trial one after another.
///
/// The scene: Markers markers, each on a smooth 3-D path (a sum of slow sines per axis,
/// millimetres, around a volume centred 900 mm above the floor); Cameras cameras on a ring
/// of 4.5 m radius looking at the volume's centre, each a pinhole camera of the model's
/// sensor. A marker is seen by a camera when it lies in front of it, its blob fits on the
/// sensor, and no short occlusion (a deterministic quarter second here and there) hides it.
///
/// Per camera and frame: one centroid per visible marker, in marker order (X, Y and Radius
/// in pixels, Fraction = r / (r + 2) for the radius r), each value already rounded to what
/// the X2D centroid format stores, so a written and re-read frame equals the generated one;
/// one track per centroid (Id numbers the camera's tracks from 1 and changes when a marker
/// reappears; Length counts the frames of the track so far; Confidence = min(1, Length / 20));
/// one greyscale blob per centroid: the lines of the disc of radius r + 1 around it with
/// Gaussian pixel values, flag 1 for blobs of radius 3 pixels and more; one edge per blob
/// line (Coord0 first column, Coord1 line, Coord2 the column after the last); and as the
/// greyscale set's info byte the number of visible markers (at most 255). With CentroidsOnly
/// the blobs and edges are left out (the greyscale and edge sets stay empty) and the centroids
/// and tracks are the same as without it.
///
/// Everything follows from the settings and the seed alone. Tracks carry state from frame to
/// frame, so frames come out in order; Reset starts again. Not copyable; one thread at a time.
class VX2DTrialGenerator
{
public:
    /// Checks the settings; false with a message that names the bad value.
    static bool Validate(const VX2DGeneratorSettings& settings, std::string& error);

    /// `settings` must pass Validate (bad values are clamped to something that works).
    explicit VX2DTrialGenerator(const VX2DGeneratorSettings& settings);
    VX2DTrialGenerator(const VX2DTrialGenerator&) = delete;
    VX2DTrialGenerator& operator=(const VX2DTrialGenerator&) = delete;
    ~VX2DTrialGenerator();

    const VX2DGeneratorSettings& GetSettings() const { return m_Settings; }
    /// The camera records written to the file's camera information.
    const std::vector<CameraInfoRecord>& GetCameras() const { return m_Cameras; }
    /// The writer settings for this trial: version, cameras, rate, start timecode.
    const VX2DExportSettings& GetExportSettings() const { return m_Export; }

    /// Index of the frame that NextFrame produces next.
    std::uint32_t GetNextIndex() const { return m_NextIndex; }
    /// Fills the four frames (resized to the camera count) with the next frame; returns its
    /// frame number. The sets are named after the cameras, as the reader names them.
    std::uint32_t NextFrame(VCentroidFrame& centroids, VCentroidTrackFrame& tracks,
                            VGreyscaleBlobFrame& greyscale, VEdgePairFrame& edges);
    /// Back to the first frame.
    void Reset();

private:
    struct VMarker;
    struct VCamera;
    struct VTrackState
    {
        std::int64_t Id = -1;
        std::uint32_t Length = 0;
    };

    void BuildScene();
    void GenerateCamera(std::uint32_t camera, double time, VCentroidSet& centroids,
                        VCentroidTrackSet& tracks, VGreyscaleBlobSet& greyscale,
                        VEdgePairSet& edges);
    bool IsOccluded(std::uint32_t camera, std::uint32_t marker) const;

    VX2DGeneratorSettings m_Settings;
    std::vector<CameraInfoRecord> m_Cameras;
    VX2DExportSettings m_Export;
    std::vector<VMarker> m_Markers;
    std::vector<VCamera> m_CameraGeometry;
    /// Per camera, per marker: the running track.
    std::vector<std::vector<VTrackState>> m_Tracks;
    std::vector<std::int64_t> m_NextTrackId;
    std::uint32_t m_NextIndex = 0;
    // The centroid format's scales, so generated values are the ones the file stores.
    double m_ScaleX = 1.0;
    double m_ScaleY = 1.0;
    double m_ScaleRadius = 1.0;
    double m_ScaleFraction = 1.0;
    // Scratch storage for building one blob.
    std::vector<IGreyscaleLineData> m_Lines;
    std::vector<std::uint8_t> m_Pixels;
    std::vector<std::size_t> m_PixelStarts;
};

/// Generates a whole trial into the X2D file `path` (written beside it under a temporary
/// name and renamed when complete, so a failure leaves no partial file and an earlier file
/// intact). `progress` (may be null) hears of every frame; its size estimate is taken from
/// the first frame. False with `error` set when the settings are bad or the file cannot be
/// written.
bool WriteX2DTrial(const std::string& path, const VX2DGeneratorSettings& settings,
                   std::string& error, IProgress* progress = nullptr);
