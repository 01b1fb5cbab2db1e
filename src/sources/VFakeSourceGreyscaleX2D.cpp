#include "sources/VFakeSourceGreyscaleX2D.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "sources/IFakeSourceParams.h"
#include "sources/TrialFrameMapping.h"

#include <optional>
#include <span>
#include <string>

namespace
{
constexpr std::int32_t DefaultProtocolVersion = 1;
constexpr std::int32_t DefaultThreshold = 128;
constexpr std::int32_t ProtocolWithHeaders = 2;

CameraData::EncodingMode ReadMode(const IFakeSourceParams& params, const char* key)
{
    std::string text = "all";
    params.ReadParam(key, text);
    return CameraData::EncodingModeFromText(text);
}
} // namespace

VFakeSourceGreyscaleX2D::VFakeSourceGreyscaleX2D(const IFakeSourceParams& params,
                                                 const VFakeSourceTarget& target,
                                                 std::shared_ptr<VX2DHolder> trial,
                                                 std::uint32_t cameraIndex)
    : VFakeSource(target), m_Params(params), m_Trial(std::move(trial)), m_CameraIndex(cameraIndex)
{
}

GreyscaleFrameInfo VFakeSourceGreyscaleX2D::ReadFrameInfo(const IFakeSourceParams& params,
                                                          std::uint32_t deviceId,
                                                          std::uint32_t frame,
                                                          std::uint32_t previous)
{
    GreyscaleFrameInfo info;
    info.DeviceId = deviceId;
    info.FrameNumber = frame;
    info.PreviousFrame = previous;
    info.GreyMode = ReadMode(params, "GreyMode");
    info.CoordMode = ReadMode(params, "CoordMode");
    info.ProtocolVersion =
        params.ReadParamOr<std::int32_t>("ProtocolVersion", DefaultProtocolVersion);
    info.Threshold = params.ReadParamOr<std::int32_t>("Threshold", DefaultThreshold);
    info.MinRatio = params.ReadParamOr<std::int32_t>("MinRatio", 0);
    info.MaxPixelsPerLine = params.ReadParamOr<std::int32_t>("MaxPixelsPerLine", 0);
    if (info.ProtocolVersion == ProtocolWithHeaders)
    {
        info.SystemFrameRate = params.ReadParamOr<double>("SystemFrameRate", 0.0);
    }
    return info;
}

std::uint32_t VFakeSourceGreyscaleX2D::KindsSent(const GreyscaleFrameInfo& info)
{
    using CameraData::EncodingMode;
    const bool segments = info.GreyMode != EncodingMode::None;
    // Protocol 2 sorts segments and edges together whenever segments go out.
    if (info.ProtocolVersion == ProtocolWithHeaders && segments)
        return X2DFrameKind::Blobs | X2DFrameKind::Edges;
    return (segments ? X2DFrameKind::Blobs : 0u) |
           (info.CoordMode != EncodingMode::None ? X2DFrameKind::Edges : 0u);
}

void VFakeSourceGreyscaleX2D::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                        std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    const GreyscaleFrameInfo info = ReadFrameInfo(m_Params, GetDeviceId(), frame, previous);

    // The shared frames know the count without the trial's lock, which the read-ahead holds
    // while it decodes.
    const std::uint32_t frameCount = m_Trial ? m_Trial->GetSharedFrames().GetFrameCount() : 0;
    const std::optional<VTrialFrameMapping> mapping =
        VTrialFrameMapping::Map(frame, previous, frameCount);
    if (!mapping || previous >= frame || mapping->IsWrap())
    {
        bytesSent = m_Assembler.SendFrame(GetSink(), info, {}, {});
        return;
    }

    // Only the kinds this frame's settings send are taken from the shared frame (none at all
    // for a camera whose "GreyMode" and "CoordMode" are both "none").
    const std::uint32_t kinds = KindsSent(info);
    if (kinds == 0)
    {
        bytesSent = m_Assembler.SendFrame(GetSink(), info, {}, {});
        return;
    }
    const VX2DSharedFrames::VFrameRef trialFrame =
        m_Trial->GetSharedFrames().Acquire(mapping->Index, kinds);
    if (!trialFrame)
    {
        bytesSent = m_Assembler.SendFrame(GetSink(), info, {}, {});
        return;
    }

    std::span<const IGreyscaleBlobData> blobs;
    if (const VGreyscaleBlobSet* set = (kinds & X2DFrameKind::Blobs) != 0
                                           ? trialFrame->Blobs.GetSetDirect(m_CameraIndex)
                                           : nullptr)
    {
        const IGreyscaleBlobData* data = nullptr;
        std::uint32_t count = 0;
        set->GetData(&data, &count, nullptr);
        if (data != nullptr)
        {
            blobs = {data, count};
        }
    }
    std::span<const IEdgePairData> edges;
    if (const VEdgePairSet* set = (kinds & X2DFrameKind::Edges) != 0
                                      ? trialFrame->Edges.GetSetDirect(m_CameraIndex)
                                      : nullptr)
    {
        const IEdgePairData* data = nullptr;
        std::uint32_t count = 0;
        set->GetData(&data, &count);
        if (data != nullptr)
        {
            edges = {data, count};
        }
    }
    bytesSent = m_Assembler.SendFrame(GetSink(), info, blobs, edges);
}
