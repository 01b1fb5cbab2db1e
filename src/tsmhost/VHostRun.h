// One "tsmhost run": discovery, control, the sync commands, reception with the live table,
// the end of the rig's streaming, and the summary with its exit code.
#pragma once

#include "tsmhost/HostReport.h"
#include "tsmhost/RunCommandLine.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

/// Drives a VHostSession through a run. Phases: discovery (until at least one device is
/// heard and every device heard has been configured, or given up on, with no new device for
/// SettleMs; at most the --wait time for the first device and as long again for the rest);
/// sync (MASTER naming the master at the rate, FRAME_NUMBER 0, DATA_DISABLE 0); reception
/// until --duration, a stop request, or every device falling silent; then DATA_DISABLE 1 and
/// MASTER naming no device, so the rig stops sending. Devices configured while streaming get
/// MASTER and DATA_DISABLE 0 again. Event lines go to `err` as they happen; the live table
/// goes to `out` once a second when `out` is a terminal and JSON was not asked for; the
/// summary (text or JSON) goes to `out` at the end.
///
/// Threading contract: Run on one thread (the main thread); `stop` may be set from any
/// thread or a signal handler and is checked every TickMs. Not copyable.
class VHostRun
{
public:
    static constexpr int ExitClean = 0;
    static constexpr int ExitProblems = 1;
    static constexpr int ExitCannotStart = 3;
    static constexpr std::uint32_t TickMs = 100;
    static constexpr std::uint32_t SettleMs = 500;
    /// A camera silent this long after the sync commands gets them once more.
    static constexpr std::uint32_t SyncRetryMs = 2000;
    /// How long the host still receives after it told the rig to stop its data: frames
    /// already on their way, and those the rig sends before it has taken the command in.
    static constexpr std::uint32_t DrainMs = 200;

    VHostRun(VRunOptions options, const std::atomic<bool>& stop, std::FILE* out, std::FILE* err);
    VHostRun(const VHostRun&) = delete;
    VHostRun& operator=(const VHostRun&) = delete;

    /// Runs to the end; returns the exit status (ExitClean, ExitProblems, ExitCannotStart).
    int Run();

    /// The settings the session gets from `options` (the HAL address already resolved).
    static VHostSettings MakeSettings(const VRunOptions& options, const VNetAddress& hal);
    /// The master by default: the first configured sync unit (class 2, lowest position),
    /// else the first configured camera; none when no device is configured.
    static std::optional<std::uint32_t> ChooseMaster(const std::vector<VHostDevice>& devices);
    /// The rate by default: the first camera's reported SystemFrameRate, else 100.
    static double ChooseRate(const std::vector<VHostDevice>& devices);

private:
    using Clock = std::chrono::steady_clock;

    bool Discover(VHostSession& session, std::string& reason);
    void Stream(VHostSession& session, VRunSummary& summary);
    void PrintEvents(VHostSession& session);
    void ShowLiveTable(const std::vector<VHostDevice>& devices, double seconds,
                       const std::string& heading);
    void ClearLiveTable();
    bool SendSync(VHostSession& session, bool withFrameNumber);
    int Finish(VHostSession& session, VRunSummary& summary);

    VRunOptions m_Options;
    const std::atomic<bool>& m_Stop;
    std::FILE* m_Out;
    std::FILE* m_Err;
    bool m_Live = false;
    int m_LiveLines = 0; // lines of the table now on screen
    std::vector<VHostDevice> m_PreviousShown;
    Clock::time_point m_PreviousShownAt{};
    std::uint32_t m_Master = 0;
    double m_Rate = 100.0;
};
