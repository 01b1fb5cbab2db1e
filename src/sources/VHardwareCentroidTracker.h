// The centroid tracker: links the centroids of one camera from frame to frame and gives each
// a track id, the number of frames the track has been seen and a confidence from 0 to 1.
#pragma once

#include "FileIO/FrameRecords.h"
#include "FileIO/ICentroidSet.h"
#include "FileIO/ICentroidTrackSet.h"
#include "FileIO/VCentroidSet.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CoreOrvanAlgo
{

/// The four values the tracker's confidence is built from. The owner of the tracker keeps a
/// shared handle to the same record; the tracker only reads it, on the tracker's thread.
struct VCentroidTrackerConfidence
{
    /// Carried for the owner; the tracker does not read it.
    double K0 = 10.0;
    /// Fraction at which the fraction factor leaves 0 ...
    double FractionLow = 0.4;
    /// ... and the fraction at which it reaches 1.
    double FractionHigh = 0.8;
    /// Radius difference, in pixels, at which the radius factor has fallen from 1 to 0.
    double RadiusTolerance = 2.0;
};

/// Nearest-neighbour tracker with a constant-velocity prediction, gates of three standard
/// deviations that widen with the time since the last frame, and a greedy assignment in order
/// of match score.
///
/// Memory: the tracker keeps the centroids of the last two frames it was given and one track
/// per centroid of the last frame; its buffers grow to the largest frame seen and are reused.
///
/// Threading: not thread-safe. Construction, the setters and Process run on one thread at a
/// time (the camera's frame thread, under the camera's data lock); nothing is shared with
/// other threads except the confidence record, which nobody writes after creating it.
/// Not copyable: it owns per-frame buffers; the owner holds it by shared handle.
class VHardwareCentroidTracker
{
public:
    /// `frameRate` in frames per second scales the noise levels; a rate that is not a
    /// positive finite number leaves every gate empty, so no centroid is linked and each
    /// frame starts new tracks. The region x0, y0, x1, y1 is kept but not read by the
    /// tracking; the name labels the tracker (GetName). A null `confidence` stands for the
    /// default record (10.0, 0.4, 0.8, 2.0).
    VHardwareCentroidTracker(double frameRate, double x0, double y0, double x1, double y1,
                             std::string name,
                             std::shared_ptr<const VCentroidTrackerConfidence> confidence);

    VHardwareCentroidTracker(const VHardwareCentroidTracker&) = delete;
    VHardwareCentroidTracker& operator=(const VHardwareCentroidTracker&) = delete;

    /// The id the next new track gets; later tracks count up from it. It is also the first id
    /// again after the tracker resets itself (see Process). 0 after construction.
    void SetNextTrackId(std::uint64_t id);
    /// Position noise (pixels) of a track seen in one frame only. 120.0 after construction.
    void SetSingleTrackPositionNoise(double level);
    /// Position noise (pixels) of a track seen in two or more frames. 40.0 after construction.
    void SetTrackPositionNoise(double level);
    /// Radius noise (pixels). 10.0 after construction.
    void SetRadiusNoise(double level);

    /// Tracks one frame: `result` is resized to the number of centroids and entry i gets the
    /// track id, length (frames seen, this one included) and confidence of centroid i; its
    /// name is left alone. Nothing of the arguments is kept after the call.
    ///
    /// `frame` must be above the frame number of the previous call; when it is not (a replay
    /// wrap, or a frame number set back while the owner did not call), the tracker first
    /// resets itself: its tracks end and ids start again at the last id given to
    /// SetNextTrackId, as a new tracker would. The noise levels are kept.
    ///
    /// Centroids whose X, Y or Radius is not a finite number cannot be linked; each starts a
    /// new track.
    void Process(const ICentroidSetDirect& centroids, std::uint64_t frame,
                 ICentroidTrackSet& result);
    /// The same for a set without raw access: the centroids are copied first.
    void Process(const ICentroidSet& centroids, std::uint64_t frame, ICentroidTrackSet& result);
    /// The same for `count` centroids at `centroids` (which may be null only when count is 0).
    void Process(const ICentroidData* centroids, std::uint32_t count, std::uint64_t frame,
                 ICentroidTrackSet& result);

    /// Number of tracks carried into the next frame: the centroids of the last frame.
    std::size_t TrackCount() const { return m_Tracks.size(); }
    const std::string& GetName() const { return m_Name; }

private:
    /// One noise level with its variance and inverse variance at the tracker's frame rate.
    struct VNoise
    {
        double Level = 0.0;
        double Variance = 0.0;
        double Inverse = 0.0;
    };

    /// One live track: its centroid in the last frame (index into m_Previous) and, for tracks
    /// seen twice or more, the centroid before that (index into m_BeforePrevious).
    struct VTrack
    {
        std::uint64_t Id = 0;
        std::uint32_t Length = 0;
        std::uint32_t Last = 0;
        std::uint32_t Previous = 0;
    };

    /// Where a track's centroid is expected in this frame.
    struct VPrediction
    {
        double X = 0.0;
        double Y = 0.0;
        double Radius = 0.0;
        bool Single = false;
    };

    /// A centroid in x order, for the gate search.
    struct VSortedCentroid
    {
        double X = 0.0;
        std::uint32_t Index = 0;
    };

    /// The best candidate of one prediction.
    struct VMatch
    {
        double Score = 0.0;
        std::uint32_t Track = 0;
        std::uint32_t Centroid = 0;
    };

    void RecomputeNoise();
    void Restart();
    void SortCentroids();
    void Predict();
    void Score(std::uint64_t timeStep);
    void Assign(ICentroidTrackData* result);
    void StartTracks(ICentroidTrackData* result);
    double Confidence(const ICentroidData& centroid, const VPrediction& prediction) const;

    double m_FrameRate;
    double m_X0;
    double m_Y0;
    double m_X1;
    double m_Y1;
    std::string m_Name;
    std::shared_ptr<const VCentroidTrackerConfidence> m_Confidence;

    VNoise m_SingleTrackPosition;
    VNoise m_TrackPosition;
    VNoise m_Radius;

    std::uint64_t m_FirstTrackId = 0;
    std::uint64_t m_NextTrackId = 0;
    std::optional<std::uint64_t> m_LastFrame;

    std::vector<VTrack> m_Tracks;
    std::vector<ICentroidData> m_Frame;
    std::vector<ICentroidData> m_Previous;
    std::vector<ICentroidData> m_BeforePrevious;

    // Per-frame scratch, kept to reuse its capacity.
    std::vector<VTrack> m_NewTracks;
    std::vector<VSortedCentroid> m_Sorted;
    std::vector<VPrediction> m_Predictions;
    std::vector<VMatch> m_Matches;
    std::vector<char> m_CentroidAssigned;
    std::vector<char> m_TrackAssigned;
    VCentroidSet m_Copy;
};

} // namespace CoreOrvanAlgo
