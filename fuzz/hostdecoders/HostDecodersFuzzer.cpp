// libFuzzer entry for tsmhost's decoders of what devices send: discovery (awake and alive),
// device status, camera centroid and greyscale streams, analogue trailers and timecode
// datagrams. A device under development may send anything; the host must never read past a
// datagram, crash, hang or grow without bound.
//
// Input: datagrams, each introduced by two bytes: the decoder (byte mod 6) and the length
// (0 to 255; one running past the end takes what is left). The two stream decoders keep
// their state across the datagrams of one input, as they do across a run.
#include "tsmhost/CameraStreamDecoder.h"
#include "tsmhost/DiscoveryDatagram.h"
#include "tsmhost/StatusDatagramDecoder.h"
#include "tsmhost/SyncUnitStreamDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace
{

/// Touches what a decoded frame holds, so that a frame built wrongly is read in full.
void Inspect(const VCameraStreamFrame& frame)
{
    std::size_t sum = frame.Centroids.size() + frame.Tracks.size() + frame.Segments.size() +
                      frame.Edges.size() + frame.Pixels.size();
    for (const VWireSegment& segment : frame.Segments)
    {
        // A segment's pixels lie within the frame's pixel bytes, whatever was sent.
        if (std::size_t{segment.PixelOffset} + segment.PixelCount > frame.Pixels.size())
            __builtin_trap();
        sum += segment.BlobPosition() + segment.BlobFlag();
    }
    for (const std::uint8_t pixel : frame.Pixels)
        sum += pixel;
    volatile std::size_t sink = sum;
    (void)sink;
    (void)frame.IsComplete();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    VCameraStreamDecoder centroids([](VCameraStreamFrame& frame) { Inspect(frame); });
    VCameraStreamDecoder greyscale([](VCameraStreamFrame& frame) { Inspect(frame); });
    size_t at = 0;
    while (at + 2 <= size)
    {
        const uint8_t decoder = data[at] % 6;
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        at += 2;
        // An exact-size copy, so that the sanitizer catches any read past the datagram.
        const std::unique_ptr<uint8_t[]> datagram(new uint8_t[length > 0 ? length : 1]);
        std::copy(data + at, data + at + length, datagram.get());
        at += length;
        std::string error;
        switch (decoder)
        {
        case 0:
        {
            VDiscoveryMessage message;
            if (DecodeDiscoveryDatagram(datagram.get(), length, message, error))
                (void)FormatHardwareAddress(message.HardwareAddress);
            break;
        }
        case 1:
        {
            VStatusMessage message;
            if (DecodeStatusDatagram(datagram.get(), length, message, error))
                (void)StatusTypeName(message.Type);
            break;
        }
        case 2:
            centroids.Feed(datagram.get(), length);
            break;
        case 3:
            greyscale.Feed(datagram.get(), length);
            break;
        case 4:
        {
            VAnalogueTrailer trailer;
            (void)DecodeAnalogueTrailer(datagram.get(), length, trailer);
            break;
        }
        default:
        {
            VTimecodeDatagram timecode;
            if (DecodeTimecodeDatagram(datagram.get(), length, timecode))
                (void)timecode.Format();
            break;
        }
        }
    }
    return 0;
}
