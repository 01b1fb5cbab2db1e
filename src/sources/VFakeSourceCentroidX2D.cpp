#include "sources/VFakeSourceCentroidX2D.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "sources/TrialFrameMapping.h"

#include <span>
#include <string>
#include <vector>

namespace
{
/// Tracker settings relative to the sensor width: single-seen tracks may move 5 % of it per
/// frame (one standard deviation), established tracks a third of that.
constexpr double SingleTrackNoisePerWidth = 5 * 0.01;
constexpr double EstablishedTrackNoiseDivisor = 3.0;
constexpr double RadiusNoise = 10.0;

/// The centroids of camera `camera` in `frame`; empty when the frame has no such set.
std::span<const ICentroidData> CameraCentroids(const VCentroidFrame& frame, std::uint32_t camera)
{
    const VCentroidSet* set = frame.GetSetDirect(camera);
    if (set == nullptr)
    {
        return {};
    }
    const ICentroidData* data = nullptr;
    std::uint32_t count = 0;
    set->GetData(&data, &count, nullptr);
    return data != nullptr ? std::span<const ICentroidData>(data, count)
                           : std::span<const ICentroidData>();
}

std::span<const ICentroidTrackData> TrackSpan(const ICentroidTrackSet* set)
{
    if (set == nullptr)
    {
        return {};
    }
    const ICentroidTrackData* data = nullptr;
    std::uint32_t count = 0;
    set->GetData(&data, &count);
    return data != nullptr ? std::span<const ICentroidTrackData>(data, count)
                           : std::span<const ICentroidTrackData>();
}
} // namespace

std::optional<VFakeSourceCentroidX2D::ETrackingMode>
VFakeSourceCentroidX2D::TrackingModeFromText(std::string_view text)
{
    if (text == "Off")
    {
        return ETrackingMode::Off;
    }
    if (text == "Generate")
    {
        return ETrackingMode::Generate;
    }
    if (text == "Read")
    {
        return ETrackingMode::Read;
    }
    return std::nullopt;
}

VFakeSourceCentroidX2D::VFakeSourceCentroidX2D(const VFakeSourceTarget& target,
                                               std::shared_ptr<VX2DHolder> trial,
                                               std::uint32_t cameraIndex)
    : VFakeSource(target), m_Trial(std::move(trial)), m_CameraIndex(cameraIndex)
{
    Reset();
}

void VFakeSourceCentroidX2D::SetTrackingMode(ETrackingMode mode)
{
    if (mode != m_TrackingMode)
    {
        Reset();
    }
    m_TrackingMode = mode;
}

void VFakeSourceCentroidX2D::Reset()
{
    std::vector<CameraInfoRecord> cameras;
    double systemFrameRate = 0.0;
    if (m_Trial)
    {
        m_Trial->GetCameraInfo(cameras, systemFrameRate);
    }
    const CameraInfoRecord camera =
        m_CameraIndex < cameras.size() ? cameras[m_CameraIndex] : CameraInfoRecord{};

    m_Confidence = std::make_shared<const CoreOrvanAlgo::VCentroidTrackerConfidence>(
        CoreOrvanAlgo::VCentroidTrackerConfidence{10.0, 0.4, 0.8, 2.0});
    const double width = static_cast<double>(camera.SensorWidth);
    auto tracker = std::make_shared<CoreOrvanAlgo::VHardwareCentroidTracker>(
        systemFrameRate, 0.0, 0.0, width, static_cast<double>(camera.SensorHeight),
        "zt:" + std::to_string(camera.CameraId), m_Confidence);
    const double singleTrackNoise = width * SingleTrackNoisePerWidth;
    tracker->SetNextTrackId(FirstTrackId);
    tracker->SetSingleTrackPositionNoise(singleTrackNoise);
    tracker->SetTrackPositionNoise(singleTrackNoise / EstablishedTrackNoiseDivisor);
    tracker->SetRadiusNoise(RadiusNoise);
    m_Tracker = std::move(tracker); // the previous tracker and its tracks are dropped
    ++m_ResetCount;
}

void VFakeSourceCentroidX2D::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                       std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    if (frame <= previous)
    {
        Reset(); // the frame number stood still or went back: tracking starts again
    }

    CentroidFrameInfo info;
    info.DeviceId = GetDeviceId();
    info.FrameNumber = frame;
    info.PreviousFrame = previous;
    info.ReportCentroidCount = true;
    info.TrackingOn = m_TrackingMode != ETrackingMode::Off;

    // The shared frames know the count without the trial's lock, which the read-ahead holds
    // while it decodes.
    const std::uint32_t frameCount = m_Trial ? m_Trial->GetSharedFrames().GetFrameCount() : 0;
    const std::optional<VTrialFrameMapping> mapping =
        VTrialFrameMapping::Map(frame, previous, frameCount);
    const bool readsFile = mapping && (m_TrackingMode == ETrackingMode::Read || !mapping->IsWrap());
    if (!readsFile)
    {
        bytesSent = m_Writer.SendFrame(GetSink(), {}, {}, info);
        return;
    }

    // The frame every camera of the trial shares; this camera's sets are read from it.
    const bool readTracks = m_TrackingMode == ETrackingMode::Read;
    const VX2DSharedFrames::VFrameRef trialFrame = m_Trial->GetSharedFrames().Acquire(
        mapping->Index, X2DFrameKind::Centroids | (readTracks ? X2DFrameKind::Tracks : 0u));
    if (!trialFrame)
    {
        bytesSent = m_Writer.SendFrame(GetSink(), {}, {}, info);
        return;
    }
    const std::span<const ICentroidData> centroids =
        CameraCentroids(trialFrame->Centroids, m_CameraIndex);

    std::span<const ICentroidTrackData> tracks;
    if (readTracks)
    {
        tracks = TrackSpan(trialFrame->Tracks.GetSetDirect(m_CameraIndex));
    }
    else if (m_TrackingMode == ETrackingMode::Generate)
    {
        m_Tracker->Process(centroids.data(), static_cast<std::uint32_t>(centroids.size()), frame,
                           m_GeneratedTracks);
        tracks = TrackSpan(&m_GeneratedTracks);
    }
    bytesSent = m_Writer.SendFrame(GetSink(), centroids, tracks, info);
}
