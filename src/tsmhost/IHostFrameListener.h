// A listener to the frames that reach the host, one call per device and frame number.
#pragma once

#include <cstdint>

/// Told about each frame a device delivered to the host: a camera's centroid stream frame
/// (checked against its trailer), a sync unit's timecode or analogue frame. Called by the
/// session on its receive thread, under the session's lock: must be quick and must not call
/// back into the session.
class IHostFrameListener
{
public:
    virtual ~IHostFrameListener() = default;
    virtual void OnDeviceFrame(std::uint32_t deviceId, std::uint32_t frameNumber) = 0;
};
