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

/// Sample instants per second of one channel (the analogue sample rate the unit runs at), over
/// the device's own streaming time.
double AnalogueRate(const VHostDevice& device, const VStreamCounters& analogue)
{
    const std::uint64_t frames = analogue.Sequence.GetFrames();
    return frames > 0 ? RunFrameRate(device) * static_cast<double>(analogue.AnalogueInstants) /
                            static_cast<double>(frames)
                      : 0.0;
}

/// The table's last column: the timecode of the last frame and, for a sync unit that sends
/// analogue frames, its instants per frame, channels and samples per second of one channel.
std::string SignalText(const VHostDevice& device, double samplesPerSecond)
{
    std::string text = device.LastTimecode;
    if (const VStreamCounters* analogue = device.GetAnalogueStream())
    {
        if (!text.empty())
            text += "  ";
        text += Printf("%u/fr x %u ch, %.0f/s", analogue->LastInstants, analogue->LastChannels,
                       samplesPerSecond);
    }
    return text.empty() ? "-" : text;
}

constexpr const char* TableHeading =
    "device      type               frames/s  dgrams/s     MB/s  cent/fr  trk/fr    lost  "
    "order    dup   late  silent  restarts  timecode, analogue\n";

std::string TableLine(const VHostDevice& device, double framesPerSecond, double datagramsPerSecond,
                      double megabytesPerSecond, double centroidsPerFrame, double tracksPerFrame,
                      const std::string& signals)
{
    std::string type = device.GetTypeText();
    if (type.size() > 18)
        type.resize(18);
    // Centroids and tracks are the cameras' alone.
    const std::string perFrame = device.IsCamera()
                                     ? Printf("%8.1f %7.1f", centroidsPerFrame, tracksPerFrame)
                                     : Printf("%8s %7s", "-", "-");
    return Printf("%-11u %-18s %9.1f %9.1f %8.3f %s %7llu %6llu %6llu %6llu %7llu %9llu  %s\n",
                  device.Id, type.c_str(), framesPerSecond, datagramsPerSecond, megabytesPerSecond,
                  perFrame.c_str(), static_cast<unsigned long long>(device.GetLost()),
                  static_cast<unsigned long long>(device.GetOutOfOrder()),
                  static_cast<unsigned long long>(device.GetDuplicated()),
                  static_cast<unsigned long long>(device.GetLate()),
                  static_cast<unsigned long long>(device.SilentSpells),
                  static_cast<unsigned long long>(device.Restarts), signals.c_str());
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
        AddCount(problems, device, device.GetDuplicated(), "datagrams duplicated");
        AddCount(problems, device, device.GetIncomplete(), "frames incomplete",
                 LastProblem(device));
        AddCount(problems, device, device.GetMalformed(), "malformed datagrams",
                 LastProblem(device));
        AddCount(problems, device, device.TimecodeJumps, "timecode jumps",
                 device.Stream(EStreamRole::Timecode).LastProblem);
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
        const VStreamCounters* analogue = device.GetAnalogueStream();
        const VStreamCounters* analogueBefore = old.GetAnalogueStream();
        const std::uint64_t instants =
            analogue == nullptr
                ? 0
                : analogue->AnalogueInstants -
                      std::min(analogue->AnalogueInstants, analogueBefore != nullptr
                                                               ? analogueBefore->AnalogueInstants
                                                               : std::uint64_t{0});
        text += TableLine(device, static_cast<double>(frames) / span,
                          static_cast<double>(device.GetDatagrams() - old.GetDatagrams()) / span,
                          static_cast<double>(device.GetBytes() - old.GetBytes()) / 1.0e6 / span,
                          PerFrame(device.GetCentroids() - old.GetCentroids(), primary),
                          PerFrame(device.GetTracks() - old.GetTracks(), primary),
                          SignalText(device, static_cast<double>(instants) / span));
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
        const VStreamCounters* analogue = device.GetAnalogueStream();
        text += TableLine(
            device, RunFrameRate(device), static_cast<double>(device.GetDatagrams()) / seconds,
            static_cast<double>(device.GetBytes()) / 1.0e6 / seconds,
            PerFrame(device.GetCentroids(), primary), PerFrame(device.GetTracks(), primary),
            SignalText(device, analogue != nullptr ? AnalogueRate(device, *analogue) : 0.0));
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
    {
        std::string files = summary.RecordPath;
        if (!summary.AnalogueRecordPath.empty())
            files += (files.empty() ? "" : " and ") + summary.AnalogueRecordPath;
        text += Printf("Recorded %llu frames into %s (%llu with a device missing, %llu dropped, "
                       "%llu cut off by the start or stop)\n",
                       static_cast<unsigned long long>(summary.RecordCounts.FramesWritten),
                       files.c_str(),
                       static_cast<unsigned long long>(summary.RecordCounts.FramesPartial),
                       static_cast<unsigned long long>(summary.RecordCounts.FramesDropped),
                       static_cast<unsigned long long>(summary.RecordCounts.FramesCutOff));
    }
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

namespace
{
/// A sync unit's analogue frames as the trailers described them; null without any.
VJson AnalogueJson(const VHostDevice& device)
{
    const VStreamCounters* analogue = device.GetAnalogueStream();
    if (analogue == nullptr)
        return VJson(nullptr);
    const double frames = static_cast<double>(analogue->Sequence.GetFrames());
    const double rate = AnalogueRate(device, *analogue);
    return {{"frames", analogue->Sequence.GetFrames()},
            {"instants_per_frame", analogue->LastInstants},
            {"mean_instants_per_frame", static_cast<double>(analogue->AnalogueInstants) / frames},
            {"channels", analogue->LastChannels},
            {"channel_mask",
             Printf("0x%016llx", static_cast<unsigned long long>(analogue->LastChannelMask))},
            {"samples_per_second", rate},
            {"values_per_second", rate * analogue->LastChannels},
            {"instants", analogue->AnalogueInstants},
            {"values", analogue->AnalogueValues}};
}
} // namespace

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
                                                  {"duplicated", stream.Duplicated},
                                                  {"late", stream.Late},
                                                  {"jumps", stream.Sequence.GetJumps()},
                                                  {"incomplete", stream.Incomplete},
                                                  {"malformed", stream.Malformed},
                                                  {"last_problem", stream.LastProblem}};
        }
        devices.push_back(
            {{"id", device.Id},
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
             {"duplicated", device.GetDuplicated()},
             {"late", device.GetLate()},
             {"incomplete", device.GetIncomplete()},
             {"malformed", device.GetMalformed()},
             {"alive_gaps", device.AliveGaps},
             {"silent", device.Silent},
             {"silent_spells", device.SilentSpells},
             {"restarts", device.Restarts},
             {"status_datagrams", device.StatusDatagrams},
             {"last_timecode", device.LastTimecode},
             {"timecode_jumps", device.TimecodeJumps},
             {"timecode_standard",
              device.TimecodeStandardWord ? VJson(*device.TimecodeStandardWord) : VJson(nullptr)},
             {"input_levels", device.InputLevels ? VJson(*device.InputLevels) : VJson(nullptr)},
             {"analogue", AnalogueJson(device)},
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
                                  {"analogue_path", summary.AnalogueRecordPath},
                                  {"frames", summary.RecordCounts.FramesWritten},
                                  {"partial_frames", summary.RecordCounts.FramesPartial},
                                  {"late_stream_frames", summary.RecordCounts.StreamFramesLate},
                                  {"dropped_frames", summary.RecordCounts.FramesDropped},
                                  {"cut_off_frames", summary.RecordCounts.FramesCutOff},
                                  {"error", summary.RecordError}}
                          : VJson(nullptr);
    document["problems"] = summary.Problems;
    return JsonText::Write(document);
}
