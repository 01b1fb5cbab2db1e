#include "sources/VFakeSourceCentroidX2DParsed.h"

#include "devices/IDatagramSink.h"
#include "devices/camerawire/CameraRecords.h"
#include "sources/PreparedReplay.h"
#include "sources/VX2DPreparedStreams.h"

#include <array>
#include <optional>

VFakeSourceCentroidX2DParsed::VFakeSourceCentroidX2DParsed(
    const VFakeSourceTarget& target, std::shared_ptr<const VX2DPreparedStreams> streams,
    std::uint32_t cameraIndex)
    : VFakeSource(target), m_Streams(std::move(streams)), m_CameraIndex(cameraIndex)
{
}

void VFakeSourceCentroidX2DParsed::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                             std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    const std::optional<std::uint32_t> index =
        m_Streams ? m_Streams->TrialFrameOf(frame) : std::nullopt;
    if (index)
    {
        const std::span<const std::uint8_t> prepared =
            m_Streams->GetCentroidStream(*index, m_CameraIndex);
        if (prepared.size() >= FrameTrailer::Size)
        {
            bytesSent = PreparedReplay::Send(GetSink(), prepared, m_Frame, frame, previous);
            return;
        }
    }

    // No prepared string (a trial without frames, a camera the trial does not list): the
    // frame still ends, with a trailer alone.
    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindCentroid;
    trailer.DeviceId = GetDeviceId();
    trailer.FrameNumber = frame;
    trailer.PreviousFrame = previous;
    trailer.Tracking = FrameTrailer::TrackingOn;
    std::array<std::uint8_t, FrameTrailer::Size> bytes{};
    trailer.Encode(bytes.data());
    if (GetSink().Send(bytes.data(), bytes.size()))
    {
        bytesSent = static_cast<std::uint32_t>(bytes.size());
    }
}
