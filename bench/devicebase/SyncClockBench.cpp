// Runs a master's frame clock with two other connected devices at 100, 500 and
// 2000 Hz and reports the frames released against rate × time and how late each
// release came against its place on the ideal schedule.
//
// Usage: tsm_bench_devicebase [seconds per rate, default 10]
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VFakeDevice.h"
#include "devices/VFakeDeviceManager.h"
#include "params/ParamAccess.h"
#include "params/VParamDefinitionList.h"

#include <QCoreApplication>
#include <QTimer>

#include <arpa/inet.h>
#include <dirent.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

/// Records when each of its frames was produced.
class VBenchDevice final : public VFakeDevice
{
public:
    VBenchDevice(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                 IParamList* params)
        : VFakeDevice(manager, deviceId, position, htonl(0x7F000001u), htonl(0x7F000001u), params,
                      0)
    {
        m_Times.reserve(1 << 20);
    }

    void GetDescription(IString& out) const override { out.Assign("Bench device"); }

    /// The frame times so far, and forgets them.
    std::vector<Clock::time_point> TakeTimes()
    {
        std::lock_guard lock(m_Lock);
        std::vector<Clock::time_point> times;
        times.swap(m_Times);
        m_Times.reserve(1 << 20);
        return times;
    }

protected:
    void OnConnected() override {}
    void OnDisconnected() override {}
    void OnClassBroadcastCommand(const uint8_t*, size_t) override {}
    void OnTelnetCommand(const std::string&, std::string&) override {}
    void SetDataPort(uint32_t) override {}
    void OnFrame(uint32_t, uint32_t) override
    {
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(m_Lock);
        m_Times.push_back(now);
    }

private:
    std::mutex m_Lock; // guards m_Times
    std::vector<Clock::time_point> m_Times;
};

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

/// How the running frame clock is scheduled, read from /proc ("policy FIFO",
/// "policy OTHER, nice -10", ...); empty when no frame clock runs.
std::string DescribeSyncThread()
{
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr)
        return {};
    std::string description;
    while (dirent* entry = readdir(tasks))
    {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::string name;
        if (entry->d_name[0] == '.' || !std::getline(comm, name) || name != "tsm-sync")
            continue;
        std::ifstream statFile(task + "/stat");
        std::string stat;
        std::getline(statFile, stat);
        // Fields after the name: state is field 3, nice field 19, policy field 41.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::vector<std::string> values{std::istream_iterator<std::string>(fields), {}};
        if (values.size() > 38)
        {
            const int policy = std::atoi(values[38].c_str());
            description = policy == SCHED_FIFO ? "policy FIFO"
                          : policy == SCHED_RR ? "policy RR"
                                               : "policy OTHER, nice " + values[16];
        }
    }
    closedir(tasks);
    return description;
}

/// Turns the event loop for `seconds`, so that posted changes run meanwhile.
void RunLoopFor(double seconds)
{
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), QCoreApplication::instance(),
                       &QCoreApplication::quit);
    QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    if (!(seconds > 0.0))
    {
        std::fprintf(stderr, "usage: %s [seconds per rate]\n", argv[0]);
        return 1;
    }

    VEventManagerQt events;
    VParamDefinitionList definitions("Control", "Control parameters", "Description", "General");
    VFakeDevice::AddDeviceDefinitions(definitions);
    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    VFakeDeviceManager manager(&events, htonl(0x7F000001u), htonl(0x7F000001u), options);
    std::vector<std::shared_ptr<VBenchDevice>> devices;
    for (uint32_t id : {0x02000001u, 1u, 2u})
    {
        devices.push_back(VFakeDevice::Create<VBenchDevice>(
            manager, id, manager.GetDeviceCount() + 1, definitions.CreateParamList()));
        manager.AddDevice(devices.back());
        SetParamValue<bool>(*devices.back()->GetParamList(), "Connected", true, true);
    }
    VBenchDevice& master = *devices[0];

    std::printf("Master with two other devices, %.1f s per rate.\n", seconds);
    std::printf("%8s %10s %10s %9s %12s %12s %12s %10s\n", "rate Hz", "released", "expected",
                "off %", "late med us", "late p99 us", "late max us", "in step");
    bool allGood = true;
    std::string scheduling;
    for (double rate : {100.0, 500.0, 2000.0})
    {
        master.SetParam("SystemFrameRate", rate);
        for (const auto& device : devices)
            device->TakeTimes();
        master.SetParam("SyncMode", int32_t{VFakeDevice::SyncModeMaster});
        RunLoopFor(0.1);
        if (scheduling.empty())
            scheduling = DescribeSyncThread();
        // A little beyond the window, so the window holds only whole frames.
        RunLoopFor(seconds + 0.1);
        master.SetParam("SyncMode", int32_t{VFakeDevice::SyncModeFreeRunning});

        const std::vector<Clock::time_point> times = master.TakeTimes();
        if (times.empty())
        {
            std::printf("%8.0f no frames\n", rate);
            allGood = false;
            continue;
        }
        const Clock::time_point first = times.front();
        const Clock::time_point end = first + std::chrono::duration_cast<Clock::duration>(
                                                  std::chrono::duration<double>(seconds));
        std::vector<double> lateness;
        size_t released = 0;
        for (size_t k = 0; k < times.size() && times[k] < end; ++k)
        {
            ++released;
            const double ideal = static_cast<double>(k) / rate;
            const double actual = std::chrono::duration<double>(times[k] - first).count();
            lateness.push_back((actual - ideal) * 1e6);
        }
        const double expected = rate * seconds;
        const double off = 100.0 * (static_cast<double>(released) - expected) / expected;
        const double p99 = Percentile(lateness, 0.99);
        bool inStep = true;
        for (size_t i = 1; i < devices.size(); ++i)
            inStep = inStep && devices[i]->TakeTimes().size() == times.size();
        std::printf("%8.0f %10zu %10.0f %9.4f %12.1f %12.1f %12.1f %10s\n", rate, released,
                    expected, off, Percentile(lateness, 0.5), p99,
                    *std::max_element(lateness.begin(), lateness.end()), inStep ? "yes" : "NO");
        allGood = allGood && std::fabs(off) <= 0.1 && p99 < 500.0 && inStep;
    }
    std::printf("Frame clock scheduling: %s\n",
                scheduling.empty() ? "unknown" : scheduling.c_str());
    std::printf("%s\n", allGood ? "Targets met: released within 0.1 %, p99 lateness under 0.5 ms."
                                : "Targets NOT met.");
    return allGood ? 0 : 2;
}
