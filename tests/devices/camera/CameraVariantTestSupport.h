// Helpers of the camera-variant tests: the streams' trailers, and a fixture with the variants'
// definition lists and a manager that opens no socket.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/camera/VFakeDeviceCameraX2DParsed.h"
#include "params/ParamAccess.h"
#include "support/TrialWriters.h"
#include "support/VManagerFixture.h"
#include "support/VUdpReceiver.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace variants_test
{

using namespace testsupport;
using namespace std::chrono_literals;

constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order

constexpr std::uint16_t kTrailerTag = 0xC001;
constexpr std::uint32_t kCentroidStream = 0x00000002;
constexpr std::uint32_t kGreyscaleStream = 0x00010002;

/// Whether `datagram` is a 36-byte frame trailer.
inline bool IsTrailer(const Bytes& datagram)
{
    return datagram.size() == 36 && U16(datagram, 0) == kTrailerTag;
}

/// The last 36 bytes of `datagram`: the trailer of a greyscale frame, which ends the frame's
/// last datagram (empty when the datagram is shorter).
inline Bytes TrailingTrailer(const Bytes& datagram)
{
    if (datagram.size() < 36)
        return {};
    return Bytes(datagram.end() - 36, datagram.end());
}

/// The variants' definition lists registered, and a manager without broadcast socket, event
/// manager or connection parts (VManagerFixture).
class VariantFixture : public testsupport::VManagerFixture
{
protected:
    VariantFixture()
        : VManagerFixture({&VFakeDeviceCameraX2DDefinitions, &VFakeDeviceCameraX2DParsedDefinitions,
                           &VFakeDeviceCameraSynthDefinitions})
    {
    }
};

} // namespace variants_test
