// The trial-file greyscale source: replays one camera's greyscale blobs and edges of a loaded
// X2D trial.
#pragma once

#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "sources/VFakeSource.h"

#include <cstdint>
#include <memory>

class IFakeSourceParams;
class VX2DHolder;

/// `VFakeSourceGreyscaleX2D`: frame `frame` replays trial frame i = frame mod n (j =
/// previous mod n). The frame carries the camera's blobs and edges of trial frame i only when
/// previous < frame and j < i; otherwise (a wrap, a repeated or backward frame number, a
/// trial without frames) it is sent without blobs and edges. The stream is assembled with
/// the camera's current "GreyMode", "CoordMode", "ProtocolVersion", "Threshold", "MinRatio",
/// "MaxPixelsPerLine" and, for protocol 2, "SystemFrameRate" (VGreyscaleStreamAssembler).
/// The source sends to the port it is given: a protocol-2 camera passes its data port plus
/// 5000, a protocol-1 camera its data port plus 1000.
///
/// The trial frame comes from the holder's shared frames, with only the kinds this frame
/// sends decoded.
///
/// Threading contract: that of VFakeSource; the parameters are read through `params` on the
/// frame thread, the trial through its holder's shared frames. Not copyable.
class VFakeSourceGreyscaleX2D : public VFakeSource
{
public:
    /// Replays camera `cameraIndex` of `trial` (null: a trial without frames). `params` reads
    /// the camera's parameters and must outlive the source.
    VFakeSourceGreyscaleX2D(const IFakeSourceParams& params, const VFakeSourceTarget& target,
                            std::shared_ptr<VX2DHolder> trial, std::uint32_t cameraIndex);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

    /// The assembly settings of a frame, read from the camera's parameters; keys that cannot
    /// be read keep the parameters' defaults ("all", "all", protocol 1, threshold 128).
    /// The kinds of trial data (X2DFrameKind) that a frame assembled with `info` sends: blobs
    /// unless "GreyMode" is "none", edges unless "CoordMode" is "none", and for protocol 2
    /// with segments both (they are sorted together).
    static std::uint32_t KindsSent(const GreyscaleFrameInfo& info);

    static GreyscaleFrameInfo ReadFrameInfo(const IFakeSourceParams& params, std::uint32_t deviceId,
                                            std::uint32_t frame, std::uint32_t previous);

private:
    const IFakeSourceParams& m_Params;
    std::shared_ptr<VX2DHolder> m_Trial;
    std::uint32_t m_CameraIndex;

    // Reused from frame to frame.
    VGreyscaleStreamAssembler m_Assembler;
};
