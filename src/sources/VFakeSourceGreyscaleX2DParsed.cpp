#include "sources/VFakeSourceGreyscaleX2DParsed.h"

#include "devices/camerawire/CameraRecords.h"
#include "sources/PreparedReplay.h"
#include "sources/VX2DPreparedStreams.h"

#include <optional>

VFakeSourceGreyscaleX2DParsed::VFakeSourceGreyscaleX2DParsed(
    const VFakeSourceTarget& target, std::shared_ptr<const VX2DPreparedStreams> streams,
    std::uint32_t cameraIndex)
    : VFakeSource(target), m_Streams(std::move(streams)), m_CameraIndex(cameraIndex)
{
}

void VFakeSourceGreyscaleX2DParsed::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                              std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    const std::optional<std::uint32_t> index =
        m_Streams ? m_Streams->TrialFrameOf(frame) : std::nullopt;
    if (index)
    {
        const std::span<const std::uint8_t> prepared =
            m_Streams->GetGreyscaleStream(*index, m_CameraIndex);
        if (prepared.size() >= FrameTrailer::Size)
        {
            bytesSent = PreparedReplay::Send(GetSink(), prepared, m_Frame, frame, previous);
            return;
        }
    }

    // No prepared string (a trial without frames, a camera the trial does not list): a frame
    // without blobs and edges.
    GreyscaleFrameInfo info;
    info.DeviceId = GetDeviceId();
    info.FrameNumber = frame;
    info.PreviousFrame = previous;
    if (m_Streams)
    {
        const VPreparedStreamSettings& settings = m_Streams->GetSettings();
        info.ProtocolVersion = settings.ProtocolVersion;
        info.GreyMode = settings.GreyMode;
        info.CoordMode = settings.CoordMode;
        info.Threshold = settings.Threshold;
        info.MinRatio = settings.MinRatio;
        info.MaxPixelsPerLine = settings.MaxPixelsPerLine;
        info.SystemFrameRate = m_Streams->GetSystemFrameRate();
    }
    bytesSent = m_Assembler.SendFrame(GetSink(), info, {}, {});
}
