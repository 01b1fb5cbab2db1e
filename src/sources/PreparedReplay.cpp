#include "sources/PreparedReplay.h"

#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/PreparedStream.h"

namespace PreparedReplay
{

std::uint32_t Send(IDatagramSink& sink, std::span<const std::uint8_t> prepared,
                   std::vector<std::uint8_t>& scratch, std::uint32_t frame, std::uint32_t previous)
{
    if (prepared.size() < FrameTrailer::Size)
    {
        return 0;
    }
    scratch.assign(prepared.begin(), prepared.end());
    FrameTrailer::PatchFrameNumbers(scratch.data() + scratch.size() - FrameTrailer::Size, frame,
                                    previous);
    return PreparedStream::Send(sink, scratch.data(), scratch.size());
}

} // namespace PreparedReplay
