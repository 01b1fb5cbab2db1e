#include "tsmhost/VHostRun.h"

#include "tsmhost/BroadcastEncoder.h"
#include "tsmhost/DiscoveryDatagram.h"
#include "tsmhost/VStreamServe.h"

#include "app/OwnAddress.h"
#include "devices/BroadcastCommand.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

namespace
{

constexpr std::uint32_t LimitedBroadcast = 0xFFFFFFFFu;
constexpr double DefaultRate = 100.0;

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

/// Devices ordered by position (unknown positions last), then id.
std::vector<const VHostDevice*> ByPosition(const std::vector<VHostDevice>& devices)
{
    std::vector<const VHostDevice*> ordered;
    for (const VHostDevice& device : devices)
        ordered.push_back(&device);
    std::sort(ordered.begin(), ordered.end(),
              [](const VHostDevice* a, const VHostDevice* b)
              {
                  const std::uint32_t pa = a->Position == 0 ? 0xFFFFFFFFu : a->Position;
                  const std::uint32_t pb = b->Position == 0 ? 0xFFFFFFFFu : b->Position;
                  return pa != pb ? pa < pb : a->Id < b->Id;
              });
    return ordered;
}

} // namespace

VHostRun::VHostRun(VRunOptions options, const std::atomic<bool>& stop, std::FILE* out,
                   std::FILE* err)
    : m_Options(std::move(options)), m_Stop(stop), m_Out(out), m_Err(err)
{
}

VHostSettings VHostRun::MakeSettings(const VRunOptions& options, const VNetAddress& hal)
{
    VHostSettings settings;
    settings.Hal = hal;
    settings.DiscoveryPort = options.DiscoveryPort;
    settings.BroadcastPort = options.BroadcastPort;
    settings.ShellPortBase = options.ShellPortBase;
    settings.DataPortBase = options.DataPortBase;
    settings.ShellTimeoutMs = options.ShellTimeoutMs;
    settings.AnaloguePrescaler = options.AnaloguePrescaler;
    settings.AnalogueDivisor = options.AnalogueDivisor;
    settings.LateMs = options.LateMs;
    settings.GreyMode = options.GreyMode;
    settings.CoordMode = options.CoordMode;
    if (options.BroadcastAddress)
        settings.BroadcastAddress = options.BroadcastAddress;
    else if (!options.BroadcastToDevices && !IsLoopbackAddress(hal))
        settings.BroadcastAddress = VNetAddress(LimitedBroadcast);
    // A tag of this run: status datagrams still aimed at an earlier host show up as foreign.
    settings.HostTag = static_cast<std::uint16_t>(1 + static_cast<unsigned>(getpid()) % 65535u);
    return settings;
}

std::optional<std::uint32_t> VHostRun::ChooseMaster(const std::vector<VHostDevice>& devices)
{
    const std::vector<const VHostDevice*> ordered = ByPosition(devices);
    for (const bool wantCamera : {false, true})
    {
        for (const VHostDevice* device : ordered)
        {
            if (device->Control == EControlState::Ready && device->IsCamera() == wantCamera &&
                (wantCamera || device->ClassCode == DeviceClassControl))
                return device->Id;
        }
    }
    return std::nullopt;
}

double VHostRun::ChooseRate(const std::vector<VHostDevice>& devices)
{
    for (const VHostDevice* device : ByPosition(devices))
    {
        if (device->IsCamera() && device->Control == EControlState::Ready &&
            device->Info.SystemFrameRate)
            return *device->Info.SystemFrameRate;
    }
    return DefaultRate;
}

int VHostRun::Run()
{
    m_Live = !m_Options.Json && isatty(fileno(m_Out)) != 0;
    const VNetAddress hal = m_Options.Hal.value_or(ResolveOwnAddress());
    // Outlives the session, whose receive thread tells it the frames.
    VStreamServe stream;
    VHostSession session(MakeSettings(m_Options, hal));
    VRunSummary summary;
    summary.Hal = hal;

    std::string error;
    if (!session.Start(error))
    {
        std::fprintf(m_Err, "tsmhost: %s\n", error.c_str());
        return ExitCannotStart;
    }
    std::fprintf(m_Err, "tsmhost: HAL %s, listening for devices on UDP port %u\n",
                 hal.ToString().c_str(), m_Options.DiscoveryPort);
    if (m_Options.ServeStream &&
        !stream.Start(hal, *m_Options.ServeStream,
                      std::chrono::milliseconds(m_Options.StreamDelayMs), error))
    {
        std::fprintf(m_Err, "tsmhost: %s\n", error.c_str());
        session.Stop();
        return ExitCannotStart;
    }
    if (stream.IsServing())
        std::fprintf(m_Err, "tsmhost: serving the data stream on %s\n", stream.GetWhere().c_str());

    std::string reason;
    if (!Discover(session, reason))
    {
        summary.StopReason = reason;
        return Finish(session, summary);
    }

    const std::vector<VHostDevice> devices = session.GetDevices();
    const std::optional<std::uint32_t> defaultMaster = ChooseMaster(devices);
    if (!defaultMaster)
    {
        summary.StopReason = "no device could be configured";
        return Finish(session, summary);
    }
    m_Master = m_Options.Master.value_or(*defaultMaster);
    m_Rate = m_Options.Rate.value_or(ChooseRate(devices));
    if (m_Options.Master && std::none_of(devices.begin(), devices.end(),
                                         [this](const VHostDevice& d) { return d.Id == m_Master; }))
        std::fprintf(m_Err, "tsmhost: warning: the master %u is none of the devices heard\n",
                     m_Master);
    summary.Master = m_Master;
    summary.Rate = m_Rate;

    VFrameRecorder recorder;
    if (!m_Options.Record.empty())
    {
        std::vector<VRecordedCamera> cameras;
        std::vector<std::uint32_t> syncUnits;
        for (const VHostDevice& device : devices)
        {
            if (device.Control != EControlState::Ready)
                continue;
            if (device.IsCamera())
                cameras.push_back({device.Id, device.Info.SensorWidth, device.Info.SensorHeight,
                                   device.Info.DeviceType, device.Info.Protocol2});
            else if (device.ClassCode == DeviceClassControl)
                syncUnits.push_back(device.Id);
        }
        if (!recorder.Open(m_Options.Record, cameras, syncUnits, m_Rate, error))
        {
            std::fprintf(m_Err, "tsmhost: %s\n", error.c_str());
            session.Stop();
            return ExitCannotStart;
        }
        summary.Recording = true;
        summary.RecordPath = cameras.empty() ? std::string() : m_Options.Record;
        summary.AnalogueRecordPath = recorder.GetAnaloguePath();
        session.SetRecorder(&recorder);
    }

    if (stream.IsServing())
    {
        stream.BeginStreaming(m_Rate, devices);
        session.SetFrameListener(&stream);
    }
    session.SetStreaming(true);
    if (!SendSync(session, true))
    {
        session.SetRecorder(nullptr);
        recorder.Close(error);
        session.Stop();
        return ExitCannotStart;
    }
    Stream(session, summary);

    // Stop the rig's output before the ports close, then the recording.
    std::string ignored;
    session.Broadcast(DataDisableWords(1), ignored);
    if (const auto rate = SplitFrameRate(m_Rate))
        session.Broadcast(MasterWords(BROADCAST_CMD_ALL_DEVICES, false, *rate), ignored);
    std::this_thread::sleep_for(std::chrono::milliseconds(DrainMs));
    session.SetRecorder(nullptr);
    if (summary.Recording)
    {
        if (!recorder.Close(summary.RecordError))
            std::fprintf(m_Err, "tsmhost: %s\n", summary.RecordError.c_str());
        summary.RecordCounts = recorder.GetCounts();
    }
    session.SetFrameListener(nullptr);
    if (stream.IsServing())
        std::fprintf(m_Err, "tsmhost: %s\n", stream.Describe().c_str());
    return Finish(session, summary);
}

bool VHostRun::Discover(VHostSession& session, std::string& reason)
{
    const Clock::time_point start = Clock::now();
    Clock::time_point firstHeard{};
    bool heard = false;
    for (;;)
    {
        session.Tick();
        PrintEvents(session);
        if (m_Stop)
        {
            reason = "stopped while looking for devices";
            return false;
        }
        const std::vector<VHostDevice> devices = session.GetDevices();
        const Clock::time_point now = Clock::now();
        if (devices.empty())
        {
            if (SecondsSince(start) >= m_Options.Wait)
            {
                reason = "no device announced itself on UDP port " +
                         std::to_string(m_Options.DiscoveryPort) + " within " +
                         std::to_string(static_cast<int>(m_Options.Wait)) + " s";
                std::fprintf(m_Err, "tsmhost: %s\n", reason.c_str());
                return false;
            }
        }
        else
        {
            if (!heard)
            {
                heard = true;
                firstHeard = now;
            }
            const bool settled =
                now - session.GetLastNewDeviceTime() >= std::chrono::milliseconds(SettleMs);
            const VHostSettings& settings = session.GetSettings();
            const bool positionsKnown =
                std::all_of(devices.begin(), devices.end(),
                            [&](const VHostDevice& d)
                            {
                                return d.HasAwake || d.Silent ||
                                       (d.ResetsSent >= settings.ResetAttempts &&
                                        now - d.LastResetSent >=
                                            std::chrono::milliseconds(settings.ResetIntervalMs));
                            });
            if (settled && positionsKnown && session.IsControlIdle())
                return true;
            if (SecondsSince(firstHeard) >= m_Options.Wait)
            {
                std::fprintf(m_Err,
                             "tsmhost: some devices are still not configured after %g s; "
                             "going on without them\n",
                             m_Options.Wait);
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(TickMs));
    }
}

bool VHostRun::SendSync(VHostSession& session, bool withFrameNumber)
{
    const std::optional<VBroadcastFrameRate> rate = SplitFrameRate(m_Rate);
    std::string error;
    const bool mastered = rate && session.Broadcast(MasterWords(m_Master, false, *rate), error);
    // No frame numbered from this FRAME_NUMBER can leave the rig before it is sent.
    const Clock::time_point numbered = Clock::now();
    const bool sent = mastered &&
                      (!withFrameNumber || session.Broadcast(FrameNumberWords(0), error)) &&
                      session.Broadcast(DataDisableWords(0), error);
    if (sent && withFrameNumber)
        session.StartSchedule(numbered, m_Rate);
    if (!sent)
    {
        std::fprintf(m_Err, "tsmhost: cannot send the sync commands: %s\n", error.c_str());
        return false;
    }
    std::fprintf(m_Err, "tsmhost: sent MASTER (device %u at %g Hz)%s and DATA_DISABLE 0\n",
                 m_Master, m_Rate, withFrameNumber ? ", FRAME_NUMBER 0" : "");
    return true;
}

void VHostRun::Stream(VHostSession& session, VRunSummary& summary)
{
    const Clock::time_point start = Clock::now();
    Clock::time_point lastTable = start;
    bool retried = false;
    m_PreviousShown = session.GetDevices();
    m_PreviousShownAt = start;
    for (;;)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(TickMs));
        session.Tick();
        PrintEvents(session);
        const double elapsed = SecondsSince(start);
        std::vector<VHostDevice> devices = session.GetDevices();

        const std::vector<std::uint32_t> joined = session.TakeDevicesNeedingSync();
        if (!joined.empty())
        {
            for (std::uint32_t id : joined)
                std::fprintf(m_Err, "tsmhost: device %u joined while streaming\n", id);
            SendSync(session, false);
        }
        if (!retried && elapsed * 1000.0 >= SyncRetryMs)
        {
            retried = true;
            const bool anyFrames = std::any_of(devices.begin(), devices.end(),
                                               [](const VHostDevice& d) { return d.HasFrames; });
            if (!anyFrames)
            {
                std::fprintf(m_Err, "tsmhost: no frames yet; sending the sync commands again\n");
                SendSync(session, true);
            }
        }

        if (m_Live && Clock::now() - lastTable >= std::chrono::seconds(1))
        {
            lastTable = Clock::now();
            char heading[160];
            std::snprintf(heading, sizeof(heading), "tsmhost: master %u at %g Hz, %.0f s", m_Master,
                          m_Rate, elapsed);
            ShowLiveTable(devices,
                          std::chrono::duration<double>(lastTable - m_PreviousShownAt).count(),
                          heading);
            m_PreviousShown = devices;
            m_PreviousShownAt = lastTable;
        }

        if (m_Stop)
        {
            summary.StopReason = "stopped";
            break;
        }
        if (m_Options.Duration && elapsed >= *m_Options.Duration)
        {
            summary.StopReason = "duration reached";
            break;
        }
        if (!devices.empty() && std::all_of(devices.begin(), devices.end(),
                                            [](const VHostDevice& d) { return d.Silent; }))
        {
            summary.StopReason = "every device fell silent";
            std::fprintf(m_Err, "tsmhost: every device fell silent; stopping\n");
            break;
        }
    }
    summary.StreamSeconds = SecondsSince(start);
    ClearLiveTable();
}

void VHostRun::PrintEvents(VHostSession& session)
{
    const std::vector<std::string> events = session.TakeEvents();
    if (events.empty())
        return;
    ClearLiveTable();
    for (const std::string& event : events)
        std::fprintf(m_Err, "tsmhost: %s\n", event.c_str());
    std::fflush(m_Err);
}

void VHostRun::ShowLiveTable(const std::vector<VHostDevice>& devices, double seconds,
                             const std::string& heading)
{
    ClearLiveTable();
    const std::string table = FormatLiveTable(devices, m_PreviousShown, seconds, heading);
    std::fputs(table.c_str(), m_Out);
    std::fflush(m_Out);
    m_LiveLines = static_cast<int>(std::count(table.begin(), table.end(), '\n'));
}

void VHostRun::ClearLiveTable()
{
    if (m_LiveLines == 0)
        return;
    // Up to the table's first line, then erase to the end of the screen.
    std::fprintf(m_Out, "\x1b[%dA\x1b[J", m_LiveLines);
    std::fflush(m_Out);
    m_LiveLines = 0;
}

int VHostRun::Finish(VHostSession& session, VRunSummary& summary)
{
    session.Stop();
    PrintEvents(session);
    summary.Devices = session.GetDevices();
    summary.Counters = session.GetCounters();
    summary.Problems = JudgeRun(summary.Devices, summary.RecordError);
    // A recording with a hole in it is no clean run, whatever the streams' counters say.
    if (summary.Recording)
    {
        const VRecorderCounts& counts = summary.RecordCounts;
        if (counts.FramesPartial > 0)
            summary.Problems.push_back("recording: " + std::to_string(counts.FramesPartial) +
                                       " frames written with a camera missing");
        if (counts.FramesDropped > 0)
            summary.Problems.push_back("recording: " + std::to_string(counts.FramesDropped) +
                                       " frames dropped (the writer fell behind)");
    }
    const std::string text =
        m_Options.Json ? FormatSummaryJson(summary) : FormatSummaryText(summary);
    std::fputs(text.c_str(), m_Out);
    std::fflush(m_Out);
    return summary.IsClean() ? ExitClean : ExitProblems;
}
