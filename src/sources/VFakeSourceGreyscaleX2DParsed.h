// The parsed trial-file greyscale source: replays the greyscale strings prepared in advance
// for one camera of a trial.
#pragma once

#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "sources/VFakeSource.h"

#include <cstdint>
#include <memory>
#include <vector>

class VX2DPreparedStreams;

/// `VFakeSourceGreyscaleX2DParsed`: per frame the prepared greyscale string of the trial
/// frame that `VX2DPreparedStreams::TrialFrameOf` names, with the frame and previous frame
/// numbers written into its trailer, sent as PreparedStream::Send cuts it. A trial without
/// frames sends a greyscale frame without blobs and edges, assembled with the streams'
/// settings. Reports the bytes of the datagrams that went out.
///
/// Threading contract: that of VFakeSource. The prepared streams are shared and read only.
/// Not copyable.
class VFakeSourceGreyscaleX2DParsed : public VFakeSource
{
public:
    /// Replays camera `cameraIndex` of `streams` (null: a trial without frames).
    VFakeSourceGreyscaleX2DParsed(const VFakeSourceTarget& target,
                                  std::shared_ptr<const VX2DPreparedStreams> streams,
                                  std::uint32_t cameraIndex);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

private:
    std::shared_ptr<const VX2DPreparedStreams> m_Streams;
    std::uint32_t m_CameraIndex;
    std::vector<std::uint8_t> m_Frame;     // the string being sent; keeps its capacity
    VGreyscaleStreamAssembler m_Assembler; // frames of a trial without frames
};
