#include "tsmhost/HostReport.h"

#include "tsmhost/DiscoveryDatagram.h"

#include "tsmtrial/VJsonWriter.h"

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
    VJsonWriter json(2);
    json.BeginObject();
    json.Key("ok").Bool(summary.IsClean());
    json.Key("hal").String(summary.Hal.ToString());
    json.Key("rate").Number(summary.Rate);
    json.Key("master");
    if (summary.Master)
        json.Unsigned(*summary.Master);
    else
        json.Null();
    json.Key("stream_seconds").Number(summary.StreamSeconds);
    json.Key("stop_reason").String(summary.StopReason);
    std::size_t cameras = 0;
    for (const VHostDevice& device : summary.Devices)
        cameras += device.IsCamera() ? 1 : 0;
    json.Key("cameras").Unsigned(cameras);
    json.Key("devices").BeginArray();
    const double seconds = summary.StreamSeconds > 0.0 ? summary.StreamSeconds : 1.0;
    for (const VHostDevice& device : summary.Devices)
    {
        const std::uint64_t primary = PrimaryFrames(device);
        json.BeginObject();
        json.Key("id").Unsigned(device.Id);
        json.Key("class").String(DeviceClassName(device.ClassCode));
        json.Key("type").String(device.Info.DeviceType);
        json.Key("position").Unsigned(device.Position);
        json.Key("address").String(device.Address.ToString());
        json.Key("hardware_address").String(FormatHardwareAddress(device.HardwareAddress));
        json.Key("control").String(ControlStateName(device.Control));
        json.Key("control_error").String(device.ControlError);
        json.Key("protocol").Unsigned(device.Info.Protocol2 ? 2 : 1);
        json.Key("data_port").Unsigned(device.DataPort);
        json.Key("frames").Unsigned(device.GetFrames());
        json.Key("frames_per_second").Number(RunFrameRate(device));
        json.Key("datagrams").Unsigned(device.GetDatagrams());
        json.Key("datagrams_per_second").Number(device.GetDatagrams() / seconds);
        json.Key("bytes").Unsigned(device.GetBytes());
        json.Key("megabytes_per_second").Number(device.GetBytes() / 1.0e6 / seconds);
        json.Key("centroids_per_frame").Number(PerFrame(device.GetCentroids(), primary));
        json.Key("tracks_per_frame").Number(PerFrame(device.GetTracks(), primary));
        json.Key("lost").Unsigned(device.GetLost());
        json.Key("out_of_order").Unsigned(device.GetOutOfOrder());
        json.Key("incomplete").Unsigned(device.GetIncomplete());
        json.Key("malformed").Unsigned(device.GetMalformed());
        json.Key("alive_gaps").Unsigned(device.AliveGaps);
        json.Key("silent").Bool(device.Silent);
        json.Key("silent_spells").Unsigned(device.SilentSpells);
        json.Key("restarts").Unsigned(device.Restarts);
        json.Key("status_datagrams").Unsigned(device.StatusDatagrams);
        json.Key("last_timecode").String(device.LastTimecode);
        json.Key("streams").BeginObject();
        for (EStreamRole role : HostPorts::AllRoles)
        {
            const VStreamCounters& stream = device.Stream(role);
            if (stream.Datagrams == 0)
                continue;
            json.Key(HostPorts::RoleName(role)).BeginObject();
            json.Key("datagrams").Unsigned(stream.Datagrams);
            json.Key("bytes").Unsigned(stream.Bytes);
            json.Key("frames").Unsigned(stream.Sequence.GetFrames());
            json.Key("lost").Unsigned(stream.Sequence.GetLost());
            json.Key("out_of_order").Unsigned(stream.Sequence.GetOutOfOrder());
            json.Key("jumps").Unsigned(stream.Sequence.GetJumps());
            json.Key("incomplete").Unsigned(stream.Incomplete);
            json.Key("malformed").Unsigned(stream.Malformed);
            json.Key("last_problem").String(stream.LastProblem);
            json.EndObject();
        }
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
    json.Key("discovery_malformed").Unsigned(summary.Counters.DiscoveryMalformed);
    json.Key("recording");
    if (summary.Recording)
    {
        json.BeginObject();
        json.Key("path").String(summary.RecordPath);
        json.Key("frames").Unsigned(summary.RecordCounts.FramesWritten);
        json.Key("partial_frames").Unsigned(summary.RecordCounts.FramesPartial);
        json.Key("late_stream_frames").Unsigned(summary.RecordCounts.StreamFramesLate);
        json.Key("dropped_frames").Unsigned(summary.RecordCounts.FramesDropped);
        json.Key("error").String(summary.RecordError);
        json.EndObject();
    }
    else
    {
        json.Null();
    }
    json.Key("problems").BeginArray();
    for (const std::string& problem : summary.Problems)
        json.String(problem);
    json.EndArray();
    json.EndObject();
    return json.GetText() + "\n";
}
