// The parsed trial-file centroid source: replays the centroid strings prepared in advance for
// one camera of a trial.
#pragma once

#include "sources/VFakeSource.h"

#include <cstdint>
#include <memory>
#include <vector>

class VX2DPreparedStreams;

/// `VFakeSourceCentroidX2DParsed`: per frame the prepared centroid string of the trial frame
/// that `VX2DPreparedStreams::TrialFrameOf` names, with the frame and previous frame numbers
/// written into its trailer, sent as PreparedStream::Send cuts it (1400-byte pieces, the
/// remainder, then the trailer on its own). A trial without frames sends a trailer alone
/// (stream kind 2, no records). Reports the bytes of the datagrams that went out.
///
/// Threading contract: that of VFakeSource. The prepared streams are shared and read only;
/// the string is patched in a copy of the source's own. Not copyable.
class VFakeSourceCentroidX2DParsed : public VFakeSource
{
public:
    /// Replays camera `cameraIndex` of `streams` (null: a trial without frames).
    VFakeSourceCentroidX2DParsed(const VFakeSourceTarget& target,
                                 std::shared_ptr<const VX2DPreparedStreams> streams,
                                 std::uint32_t cameraIndex);

    void SendFrame(std::uint32_t frame, std::uint32_t previous, std::uint32_t& bytesSent) override;

private:
    std::shared_ptr<const VX2DPreparedStreams> m_Streams;
    std::uint32_t m_CameraIndex;
    std::vector<std::uint8_t> m_Frame; // the string being sent; keeps its capacity
};
