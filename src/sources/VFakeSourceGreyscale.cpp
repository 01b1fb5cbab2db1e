#include "sources/VFakeSourceGreyscale.h"

#include "devices/camerawire/VGreyscaleStreamAssembler.h"

VFakeSourceGreyscale::VFakeSourceGreyscale(const VFakeSourceTarget& target) : VFakeSource(target) {}

void VFakeSourceGreyscale::SendFrame(std::uint32_t frame, std::uint32_t previous,
                                     std::uint32_t& bytesSent)
{
    bytesSent = 0;
    const VBatchedFrame batch(*this, bytesSent);
    bytesSent =
        VGreyscaleStreamAssembler::SendTrailerOnly(GetSink(), GetDeviceId(), frame, previous);
}
