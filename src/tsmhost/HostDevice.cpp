#include "tsmhost/HostDevice.h"

#include "tsmhost/DiscoveryDatagram.h"

#include <algorithm>

namespace
{

template <typename Get> std::uint64_t SumStreams(const VHostDevice& device, Get get)
{
    std::uint64_t sum = 0;
    for (const VStreamCounters& stream : device.Streams)
        sum += get(stream);
    return sum;
}

/// A frame lost on the centroid and the greyscale stream is one frame lost: per-frame counts
/// are the most of any stream.
template <typename Get> std::uint64_t MostOfStreams(const VHostDevice& device, Get get)
{
    std::uint64_t most = 0;
    for (const VStreamCounters& stream : device.Streams)
        most = std::max<std::uint64_t>(most, get(stream));
    return most;
}

} // namespace

const char* ControlStateName(EControlState state)
{
    switch (state)
    {
    case EControlState::Waiting:
        return "waiting";
    case EControlState::Configuring:
        return "configuring";
    case EControlState::Ready:
        return "ready";
    case EControlState::Failed:
        return "failed";
    }
    return "?";
}

bool VHostDevice::IsCamera() const
{
    return ClassCode == DeviceClassCamera;
}

std::uint64_t VHostDevice::GetFrames() const
{
    std::uint64_t frames = 0;
    for (const VStreamCounters& stream : Streams)
        frames = std::max(frames, stream.Sequence.GetFrames());
    return frames;
}

std::uint64_t VHostDevice::GetLost() const
{
    return MostOfStreams(*this, [](const VStreamCounters& s) { return s.Sequence.GetLost(); });
}

std::uint64_t VHostDevice::GetOutOfOrder() const
{
    return MostOfStreams(*this,
                         [](const VStreamCounters& s) { return s.Sequence.GetOutOfOrder(); });
}

std::uint64_t VHostDevice::GetIncomplete() const
{
    return MostOfStreams(*this, [](const VStreamCounters& s) { return s.Incomplete; });
}

std::uint64_t VHostDevice::GetLate() const
{
    return MostOfStreams(*this, [](const VStreamCounters& s) { return s.Late; });
}

std::uint64_t VHostDevice::GetDuplicated() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Duplicated; });
}

std::uint64_t VHostDevice::GetMalformed() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Malformed; });
}

std::uint64_t VHostDevice::GetDatagrams() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Datagrams; });
}

std::uint64_t VHostDevice::GetBytes() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Bytes; });
}

std::uint64_t VHostDevice::GetCentroids() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Centroids; });
}

std::uint64_t VHostDevice::GetTracks() const
{
    return SumStreams(*this, [](const VStreamCounters& s) { return s.Tracks; });
}

std::string VHostDevice::GetTypeText() const
{
    if (!Info.DeviceType.empty())
        return Info.DeviceType;
    return DeviceClassName(ClassCode);
}

const VStreamCounters* VHostDevice::GetAnalogueStream() const
{
    if (IsCamera())
        return nullptr;
    const VStreamCounters* found = nullptr;
    for (HostPorts::EStreamRole role :
         {HostPorts::EStreamRole::Primary, HostPorts::EStreamRole::AnalogueSynth})
    {
        const VStreamCounters& stream = Stream(role);
        if (stream.Sequence.GetFrames() > 0 &&
            (found == nullptr || stream.Sequence.GetFrames() > found->Sequence.GetFrames()))
            found = &stream;
    }
    return found;
}
