#include "tsmhost/HostReport.h"

#include "cli/JsonText.h"
#include "tsmhost/DiscoveryDatagram.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <map>

namespace
{

using HostPorts::EStreamRole;
using Clock = VHostDevice::Clock;

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Printf(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    return text;
}

/// Frames of the primary stream (centroids of a camera): what per-frame counts divide by.
std::uint64_t PrimaryFrames(const VHostDevice& device)
{
    return device.Stream(EStreamRole::Primary).Sequence.GetFrames();
}

double PerFrame(std::uint64_t count, std::uint64_t frames)
{
    return frames > 0 ? static_cast<double>(count) / static_cast<double>(frames) : 0.0;
}

/// Frames per second over the device's own streaming time.
double RunFrameRate(const VHostDevice& device)
{
    const std::uint64_t frames = device.GetFrames();
    if (!device.HasFrames || frames < 2)
        return 0.0;
    const double seconds =
        std::chrono::duration<double>(device.LastFrameAt - device.FirstFrameAt).count();
    return seconds > 0.0 ? static_cast<double>(frames - 1) / seconds : 0.0;
}

std::string Timecode(const VHostDevice& device)
{
    return device.LastTimecode.empty() ? "-" : device.LastTimecode;
}

constexpr const char* TableHeading =
    "device      type               frames/s  dgrams/s     MB/s  cent/fr  trk/fr    lost  "
    "order  timecode\n";

std::string TableLine(const VHostDevice& device, double framesPerSecond, double datagramsPerSecond,
                      double megabytesPerSecond, double centroidsPerFrame, double tracksPerFrame)
{
    std::string type = device.GetTypeText();
    if (type.size() > 18)
        type.resize(18);
    return Printf(
        "%-11u %-18s %9.1f %9.1f %8.3f %8.1f %7.1f %7llu %6llu  %s\n", device.Id, type.c_str(),
        framesPerSecond, datagramsPerSecond, megabytesPerSecond, centroidsPerFrame, tracksPerFrame,
        static_cast<unsigned long long>(device.GetLost()),
        static_cast<unsigned long long>(device.GetOutOfOrder()), Timecode(device).c_str());
}

std::string StateText(const VHostDevice& device)
{
    std::string state = ControlStateName(device.Control);
    if (device.Control == EControlState::Failed && !device.ControlError.empty())
        state += " (" + device.ControlError + ")";
    if (device.Silent)
        state += ", silent";
    if (device.AliveGaps > 0)
        state += ", " + std::to_string(device.AliveGaps) + " ALIVE missing";
    return state;
}

void AddCount(std::vector<std::string>& problems, const VHostDevice& device, std::uint64_t count,
              const char* what, const std::string& detail = {})
{
    if (count == 0)
        return;
    problems.push_back("device " + std::to_string(device.Id) + ": " + std::to_string(count) + " " +
                       what + (detail.empty() ? "" : " (" + detail + ")"));
}

/// The last problem text of any stream, for the verdict lines.
std::string LastProblem(const VHostDevice& device)
{
    for (const VStreamCounters& stream : device.Streams)
    {
        if (!stream.LastProblem.empty())
            return stream.LastProblem;
    }
    return {};
}

} // namespace

std::vector<std::string> JudgeRun(const std::vector<VHostDevice>& devices,
                                  const std::string& recordError)
{
    std::vector<std::string> problems;
    if (devices.empty())
        problems.push_back("no device announced itself");
    for (const VHostDevice& device : devices)
    {
        const std::string name = "device " + std::to_string(device.Id);
        if (device.Control == EControlState::Failed)
            problems.push_back(name + ": not configured: " + device.ControlError);
        else if (device.Control != EControlState::Ready)
            problems.push_back(name + ": never configured" +
                               (device.HasAwake ? "" : " (its position stayed unknown)"));
        if (device.Silent || device.SilentSpells > 0)
            problems.push_back(name + (device.Silent ? ": silent at the end" : ": fell silent") +
                               " (" + std::to_string(device.SilentSpells) + " time" +
                               (device.SilentSpells == 1 ? "" : "s") + ")");
        AddCount(problems, device, device.Restarts, "restarts");
        if (device.IsCamera() && device.Control == EControlState::Ready && device.GetFrames() == 0)
            problems.push_back(name + ": sent no frames");
        AddCount(problems, device, device.GetLost(), "frames lost");
        AddCount(problems, device, device.GetOutOfOrder(), "frames out of order");
        AddCount(problems, device, device.GetIncomplete(), "frames incomplete",
                 LastProblem(device));
        AddCount(problems, device, device.GetMalformed(), "malformed datagrams",
                 LastProblem(device));
    }
    if (!recordError.empty())
        problems.push_back(recordError);
    return problems;
}

std::string FormatLiveTable(const std::vector<VHostDevice>& current,
                            const std::vector<VHostDevice>& previous, double seconds,
                            const std::string& heading)
{
    std::map<std::uint32_t, const VHostDevice*> before;
    for (const VHostDevice& device : previous)
        before[device.Id] = &device;
    std::string text = heading + "\n" + TableHeading;
    const VHostDevice none;
    for (const VHostDevice& device : current)
    {
        const auto found = before.find(device.Id);
        const VHostDevice& old = found != before.end() ? *found->second : none;
        const double span = seconds > 0.0 ? seconds : 1.0;
        const std::uint64_t frames =
            device.GetFrames() - std::min(device.GetFrames(), old.GetFrames());
        const std::uint64_t primary =
            PrimaryFrames(device) - std::min(PrimaryFrames(device), PrimaryFrames(old));
        text += TableLine(device, static_cast<double>(frames) / span,
                          static_cast<double>(device.GetDatagrams() - old.GetDatagrams()) / span,
                          static_cast<double>(device.GetBytes() - old.GetBytes()) / 1.0e6 / span,
                          PerFrame(device.GetCentroids() - old.GetCentroids(), primary),
                          PerFrame(device.GetTracks() - old.GetTracks(), primary));
    }
    return text;
}

std::string FormatSummaryText(const VRunSummary& summary)
{
    std::string text = "Summary: " + std::to_string(summary.Devices.size()) + " device" +
                       (summary.Devices.size() == 1 ? "" : "s") + ", HAL " + summary.Hal.ToString();
    if (summary.Master)
        text += Printf(", master %u at %g Hz", *summary.Master, summary.Rate);
    text += Printf(", %.1f s streaming", summary.StreamSeconds);
    if (!summary.StopReason.empty())
        text += " (" + summary.StopReason + ")";
    text += "\n";
    text += TableHeading;
    const double seconds = summary.StreamSeconds > 0.0 ? summary.StreamSeconds : 1.0;
    for (const VHostDevice& device : summary.Devices)
    {
        const std::uint64_t primary = PrimaryFrames(device);
        text += TableLine(
            device, RunFrameRate(device), static_cast<double>(device.GetDatagrams()) / seconds,
            static_cast<double>(device.GetBytes()) / 1.0e6 / seconds,
            PerFrame(device.GetCentroids(), primary), PerFrame(device.GetTracks(), primary));
    }
    text += "\n";
    for (const VHostDevice& device : summary.Devices)
    {
        text +=
            Printf("device %u: %s, position %u, %s, hardware %s, data port %u, %llu frames, "
                   "%s\n",
                   device.Id, DeviceClassName(device.ClassCode).c_str(), device.Position,
                   device.Address.ToString().c_str(),
                   FormatHardwareAddress(device.HardwareAddress).c_str(), device.DataPort,
                   static_cast<unsigned long long>(device.GetFrames()), StateText(device).c_str());
    }
    if (summary.Counters.DiscoveryMalformed > 0)
        text += Printf("Discovery port: %llu datagrams ignored, the last: %s\n",
                       static_cast<unsigned long long>(summary.Counters.DiscoveryMalformed),
                       summary.Counters.LastDiscoveryProblem.c_str());
    if (summary.Recording)
        text += Printf("Recorded %llu frames into %s (%llu with a camera missing, %llu dropped)\n",
                       static_cast<unsigned long long>(summary.RecordCounts.FramesWritten),
                       summary.RecordPath.c_str(),
                       static_cast<unsigned long long>(summary.RecordCounts.FramesPartial),
                       static_cast<unsigned long long>(summary.RecordCounts.FramesDropped));
    if (summary.IsClean())
    {
        text += "Every device streamed its frames without loss.\n";
        return text;
    }
    text += "Problems:\n";
    for (const std::string& problem : summary.Problems)
        text += "  " + problem + "\n";
    return text;
}

std::string FormatSummaryJson(const VRunSummary& summary)
{
    std::size_t cameras = 0;
    for (const VHostDevice& device : summary.Devices)
        cameras += device.IsCamera() ? 1 : 0;
    const double seconds = summary.StreamSeconds > 0.0 ? summary.StreamSeconds : 1.0;
    VJson devices = VJson::array();
    for (const VHostDevice& device : summary.Devices)
    {
        const std::uint64_t primary = PrimaryFrames(device);
        VJson streams = VJson::object();
        for (EStreamRole role : HostPorts::AllRoles)
        {
            const VStreamCounters& stream = device.Stream(role);
            if (stream.Datagrams == 0)
                continue;
            streams[HostPorts::RoleName(role)] = {{"datagrams", stream.Datagrams},
                                                  {"bytes", stream.Bytes},
                                                  {"frames", stream.Sequence.GetFrames()},
                                                  {"lost", stream.Sequence.GetLost()},
                                                  {"out_of_order", stream.Sequence.GetOutOfOrder()},
                                                  {"jumps", stream.Sequence.GetJumps()},
                                                  {"incomplete", stream.Incomplete},
                                                  {"malformed", stream.Malformed},
                                                  {"last_problem", stream.LastProblem}};
        }
        devices.push_back({{"id", device.Id},
                           {"class", DeviceClassName(device.ClassCode)},
                           {"type", device.Info.DeviceType},
                           {"position", device.Position},
                           {"address", device.Address.ToString()},
                           {"hardware_address", FormatHardwareAddress(device.HardwareAddress)},
                           {"control", ControlStateName(device.Control)},
                           {"control_error", device.ControlError},
                           {"protocol", device.Info.Protocol2 ? 2 : 1},
                           {"data_port", device.DataPort},
                           {"frames", device.GetFrames()},
                           {"frames_per_second", RunFrameRate(device)},
                           {"datagrams", device.GetDatagrams()},
                           {"datagrams_per_second", device.GetDatagrams() / seconds},
                           {"bytes", device.GetBytes()},
                           {"megabytes_per_second", device.GetBytes() / 1.0e6 / seconds},
                           {"centroids_per_frame", PerFrame(device.GetCentroids(), primary)},
                           {"tracks_per_frame", PerFrame(device.GetTracks(), primary)},
                           {"lost", device.GetLost()},
                           {"out_of_order", device.GetOutOfOrder()},
                           {"incomplete", device.GetIncomplete()},
                           {"malformed", device.GetMalformed()},
                           {"alive_gaps", device.AliveGaps},
                           {"silent", device.Silent},
                           {"silent_spells", device.SilentSpells},
                           {"restarts", device.Restarts},
                           {"status_datagrams", device.StatusDatagrams},
                           {"last_timecode", device.LastTimecode},
                           {"streams", std::move(streams)}});
    }
    VJson document;
    document["ok"] = summary.IsClean();
    document["hal"] = summary.Hal.ToString();
    document["rate"] = summary.Rate;
    document["master"] = summary.Master ? VJson(*summary.Master) : VJson(nullptr);
    document["stream_seconds"] = summary.StreamSeconds;
    document["stop_reason"] = summary.StopReason;
    document["cameras"] = cameras;
    document["devices"] = std::move(devices);
    document["discovery_malformed"] = summary.Counters.DiscoveryMalformed;
    document["recording"] =
        summary.Recording ? VJson{{"path", summary.RecordPath},
                                  {"frames", summary.RecordCounts.FramesWritten},
                                  {"partial_frames", summary.RecordCounts.FramesPartial},
                                  {"late_stream_frames", summary.RecordCounts.StreamFramesLate},
                                  {"dropped_frames", summary.RecordCounts.FramesDropped},
                                  {"error", summary.RecordError}}
                          : VJson(nullptr);
    document["problems"] = summary.Problems;
    return JsonText::Write(document);
}
