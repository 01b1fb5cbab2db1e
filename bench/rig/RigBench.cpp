// How much the rig sustains: trial-file cameras replaying a generated trial, the first one
// master, at 100 Hz and 500 Hz, while a receiver on loopback drains every datagram as the
// host would. For each rate and marker count it doubles the cameras until a run fails, and
// reports the largest count that passed.
//
// A run passes when, over its window, every camera delivered every frame with consecutive
// numbers, the master's frames came at the rate (within 0.5 %), and their release jitter
// (kernel arrival time of the master's trailer against the ideal schedule, least-late frame
// taken as on time) has a 99th percentile under 1 ms.
//
// Usage: tsm_bench_rig [seconds per run, default 4] [greyscale|centroids|both, default both]
//                      [RATE MARKERS CAMERAS: one run of that configuration only] [sync]
//   greyscale: the cameras' default settings (centroid and greyscale streams);
//   centroids: "GreyMode" and "CoordMode" "none", so the greyscale stream is trailers only;
//   sync: every run also carries two sync units (VSyncUnitLoad: an X1D unit replaying 64
//   channels at 3000 Hz and a synthetic unit at 180 kHz), which must deliver every frame too.
#include "DatagramBatch.h"
#include "SyncUnitLoad.h"

#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/loading/VTrialLoader.h"
#include "params/ParamAccess.h"
#include "tsmhost/BroadcastEncoder.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <QCoreApplication>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr uint32_t kLoopback = 0x7F000001u;
constexpr uint32_t kTrialFrames = 250;

/// A UDP socket on 127.0.0.1 with kernel receive time stamps. Not copyable.
class VTimestampedSocket
{
public:
    explicit VTimestampedSocket(uint16_t port)
    {
        m_Handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_Handle < 0)
            return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(kLoopback);
        address.sin_port = htons(port);
        const int on = 1;
        int size = 16 << 20;
        ::setsockopt(m_Handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        ::setsockopt(m_Handle, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        if (::bind(m_Handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        {
            ::close(m_Handle);
            m_Handle = -1;
        }
    }
    ~VTimestampedSocket()
    {
        if (m_Handle >= 0)
            ::close(m_Handle);
    }
    VTimestampedSocket(const VTimestampedSocket&) = delete;
    VTimestampedSocket& operator=(const VTimestampedSocket&) = delete;

    bool IsOpen() const { return m_Handle >= 0; }
    int GetHandle() const { return m_Handle; }
    uint16_t GetPort() const
    {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(m_Handle, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

private:
    int m_Handle = -1;
};

/// One centroid-stream trailer as received.
struct VTrailerArrival
{
    uint32_t m_DeviceId;
    uint32_t m_Frame;
    uint32_t m_Centroids;
    double m_Time; ///< kernel receive time, seconds
};

/// Drains the centroid and greyscale ports on its own thread, with recvmmsg, and keeps the
/// centroid trailers. Start and Stop on the owner's thread.
class VHostReceiver
{
public:
    VHostReceiver(VTimestampedSocket& centroids, VTimestampedSocket& greyscale)
        : m_Centroids(centroids), m_Greyscale(greyscale)
    {
    }
    ~VHostReceiver() { Stop(); }
    VHostReceiver(const VHostReceiver&) = delete;
    VHostReceiver& operator=(const VHostReceiver&) = delete;

    void Start()
    {
        m_Stop = false;
        m_Thread = std::thread([this] { Run(); });
    }
    void Stop()
    {
        m_Stop = true;
        if (m_Thread.joinable())
            m_Thread.join();
    }

    const std::vector<VTrailerArrival>& GetTrailers() const { return m_Trailers; }
    uint64_t GetDatagrams() const { return m_Datagrams; }
    uint64_t GetBytes() const { return m_Bytes; }

private:
    void Run()
    {
        VDatagramBatch batch;
        while (!m_Stop.load())
        {
            pollfd descriptors[2] = {{m_Centroids.GetHandle(), POLLIN, 0},
                                     {m_Greyscale.GetHandle(), POLLIN, 0}};
            if (::poll(descriptors, 2, 10) <= 0)
                continue;
            for (int which = 0; which < 2; ++which)
            {
                if ((descriptors[which].revents & POLLIN) == 0)
                    continue;
                const unsigned count = batch.Receive(descriptors[which].fd);
                for (unsigned i = 0; i < count; ++i)
                {
                    ++m_Datagrams;
                    m_Bytes += batch.Length(i);
                    if (which == 0)
                        Record(batch.Data(i), batch.Length(i), batch.Header(i));
                }
            }
        }
    }

    void Record(const uint8_t* data, size_t length, msghdr& header)
    {
        auto u32 = [data](size_t offset)
        {
            return static_cast<uint32_t>(data[offset]) |
                   (static_cast<uint32_t>(data[offset + 1]) << 8) |
                   (static_cast<uint32_t>(data[offset + 2]) << 16) |
                   (static_cast<uint32_t>(data[offset + 3]) << 24);
        };
        if (length != 36 || data[0] != 0x01 || data[1] != 0xC0)
            return;
        double time = 0.0;
        for (cmsghdr* control = CMSG_FIRSTHDR(&header); control != nullptr;
             control = CMSG_NXTHDR(&header, control))
        {
            if (control->cmsg_level == SOL_SOCKET && control->cmsg_type == SCM_TIMESTAMPNS)
            {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(control), sizeof stamp);
                time = static_cast<double>(stamp.tv_sec) + stamp.tv_nsec * 1e-9;
            }
        }
        m_Trailers.push_back({u32(8), u32(12), u32(20), time});
    }

    VTimestampedSocket& m_Centroids;
    VTimestampedSocket& m_Greyscale;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
    // Written by the receive thread only; read after Stop.
    std::vector<VTrailerArrival> m_Trailers;
    uint64_t m_Datagrams = 0;
    uint64_t m_Bytes = 0;
};

void RunLoopFor(double seconds)
{
    QTimer::singleShot(static_cast<int>(seconds * 1000.0), QCoreApplication::instance(),
                       &QCoreApplication::quit);
    QCoreApplication::exec();
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

struct VRunResult
{
    bool m_Passed = false;
    double m_CentroidsPerFrame = 0.0; ///< per camera and frame, averaged
    double m_P99Us = 0.0;
    double m_MaxUs = 0.0;
    double m_RateOffPercent = 0.0;
    double m_MBitPerSecond = 0.0;
    std::string m_Failure;
};

/// Runs `cameras` cameras of a trial with `markers` markers at `rate` for `seconds`, with the
/// sync units of VSyncUnitLoad replaying `analogueTrial` when it is not empty.
VRunResult RunRig(VEventManagerQt& events, const std::string& trial, uint32_t cameras, double rate,
                  double seconds, bool greyscale, const std::string& analogueTrial)
{
    VRunResult result;
    VTimestampedSocket centroidPort(0);
    std::unique_ptr<VTimestampedSocket> greyscalePort;
    for (int attempt = 0; attempt < 20 && greyscalePort == nullptr; ++attempt)
    {
        if (!centroidPort.IsOpen() || centroidPort.GetPort() > 64000)
            break;
        greyscalePort = std::make_unique<VTimestampedSocket>(centroidPort.GetPort() + 1000);
        if (!greyscalePort->IsOpen())
            greyscalePort.reset();
    }
    if (greyscalePort == nullptr)
    {
        result.m_Failure = "no port pair";
        return result;
    }

    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_DeviceLoader = std::make_shared<VTrialLoader>();
    auto manager =
        std::make_unique<VFakeDeviceManager>(&events, htonl(kLoopback), htonl(kLoopback), options);
    if (!manager->AddX2D(trial) || manager->GetDeviceCount() != cameras)
    {
        result.m_Failure = "trial not loaded";
        return result;
    }
    std::vector<uint32_t> ids;
    for (uint32_t index = 0; index < cameras; ++index)
    {
        auto camera = std::dynamic_pointer_cast<VFakeDevice>(manager->GetDevice(index));
        SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true);
        std::string reply;
        camera->ProcessCommand("portset " + std::to_string(centroidPort.GetPort()), reply);
        camera->ProcessCommand("datadisable false", reply);
        if (!greyscale)
        {
            camera->SetParam("GreyMode", "none");
            camera->SetParam("CoordMode", "none");
        }
        ids.push_back(camera->GetDeviceId());
    }

    VSyncUnitLoad syncUnits;
    if (!analogueTrial.empty() && !syncUnits.Add(*manager, analogueTrial, rate, result.m_Failure))
        return result;
    VHostReceiver receiver(centroidPort, *greyscalePort);
    receiver.Start();
    syncUnits.Start();
    const auto rateWords = SplitFrameRate(rate);
    const std::vector<uint8_t> master =
        EncodeBroadcastWords(MasterWords(ids[0], false, rateWords.value_or(VBroadcastFrameRate{})));
    const std::vector<uint8_t> enable = EncodeBroadcastWords(DataDisableWords(0));
    manager->OnBroadcastCommand(master.data(), master.size());
    manager->OnBroadcastCommand(enable.data(), enable.size());
    const double warmUp = 0.5;
    RunLoopFor(warmUp + seconds + 0.2);
    manager.reset();
    receiver.Stop();
    syncUnits.Stop();

    // The master's trailers give the release times; every camera's give the frame numbers.
    std::map<uint32_t, std::vector<const VTrailerArrival*>> byDevice;
    for (const VTrailerArrival& trailer : receiver.GetTrailers())
        byDevice[trailer.m_DeviceId].push_back(&trailer);
    const std::vector<const VTrailerArrival*>& masterTrailers = byDevice[ids[0]];
    if (masterTrailers.empty())
    {
        result.m_Failure = "no frames";
        return result;
    }
    const double windowStart = masterTrailers.front()->m_Time + warmUp;
    const double windowEnd = windowStart + seconds;
    std::vector<const VTrailerArrival*> window;
    for (const VTrailerArrival* trailer : masterTrailers)
    {
        if (trailer->m_Time >= windowStart && trailer->m_Time < windowEnd)
            window.push_back(trailer);
    }
    if (window.size() < 2)
    {
        result.m_Failure = "no frames in the window";
        return result;
    }
    const uint32_t firstFrame = window.front()->m_Frame;
    const uint32_t lastFrame = window.back()->m_Frame;
    std::vector<double> offsets;
    double earliest = 1e300;
    for (const VTrailerArrival* trailer : window)
    {
        const double ideal = static_cast<double>(trailer->m_Frame - firstFrame) / rate;
        offsets.push_back(trailer->m_Time - ideal);
        earliest = std::min(earliest, offsets.back());
    }
    std::vector<double> lateness;
    for (double offset : offsets)
        lateness.push_back((offset - earliest) * 1e6);
    result.m_P99Us = Percentile(lateness, 0.99);
    result.m_MaxUs = *std::max_element(lateness.begin(), lateness.end());
    const double expected = rate * seconds;
    result.m_RateOffPercent = 100.0 * (static_cast<double>(window.size()) - expected) / expected;

    // Every camera: every frame of the window, in order, once.
    uint64_t centroids = 0;
    uint64_t cameraFrames = 0;
    std::string failure;
    for (uint32_t id : ids)
    {
        uint32_t previous = 0;
        uint32_t seen = 0;
        bool ordered = true;
        for (const VTrailerArrival* trailer : byDevice[id])
        {
            if (trailer->m_Frame < firstFrame || trailer->m_Frame > lastFrame)
                continue;
            if (seen > 0 && trailer->m_Frame != previous + 1)
                ordered = false;
            previous = trailer->m_Frame;
            ++seen;
            centroids += trailer->m_Centroids;
            ++cameraFrames;
        }
        if (failure.empty() && (!ordered || seen != lastFrame - firstFrame + 1))
            failure = "camera " + std::to_string(id) + ": " + std::to_string(seen) + " of " +
                      std::to_string(lastFrame - firstFrame + 1) + " frames" +
                      (ordered ? "" : ", out of order");
    }
    result.m_CentroidsPerFrame =
        cameraFrames > 0 ? static_cast<double>(centroids) / static_cast<double>(cameraFrames) : 0.0;
    result.m_MBitPerSecond = static_cast<double>(receiver.GetBytes() + syncUnits.GetBytes()) * 8.0 /
                             (warmUp + seconds + 0.2) / 1e6;
    if (failure.empty() && !analogueTrial.empty())
        failure = syncUnits.Check(firstFrame, lastFrame);
    if (failure.empty() && std::fabs(result.m_RateOffPercent) > 0.5)
        failure = "frame rate off";
    if (failure.empty() && result.m_P99Us >= 1000.0)
        failure = "jitter p99 over 1 ms";
    result.m_Failure = failure;
    result.m_Passed = failure.empty();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const bool withSyncUnits = argc > 1 && std::string(argv[argc - 1]) == "sync";
    if (withSyncUnits)
        --argc;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    const std::string modes = argc > 2 ? argv[2] : "both";
    // One configuration only: rate, markers, cameras.
    const bool single = argc == 6;
    const double singleRate = single ? std::atof(argv[3]) : 0.0;
    const auto singleMarkers = static_cast<uint32_t>(single ? std::atoi(argv[4]) : 0);
    const auto singleCameras = static_cast<uint32_t>(single ? std::atoi(argv[5]) : 0);
    if (!(seconds > 0.0 && seconds < 5.0) ||
        (modes != "both" && modes != "greyscale" && modes != "centroids") ||
        (argc > 3 && !single) ||
        (single && (!(singleRate > 0.0) || singleMarkers == 0 || singleCameras == 0)))
    {
        std::fprintf(stderr,
                     "usage: %s [seconds per run, below 5] [greyscale|centroids|both] "
                     "[RATE MARKERS CAMERAS] [sync]\n",
                     argv[0]);
        return 1;
    }

    VEventManagerQt events;
    if (VFakeDeviceCameraX2DDefinitions.Register() == nullptr)
        return 1;
    char folderPattern[] = "/tmp/tsm-rig-XXXXXX";
    if (::mkdtemp(folderPattern) == nullptr)
        return 1;
    const std::filesystem::path folder = folderPattern;
    std::string analogueTrial;
    if (withSyncUnits)
    {
        analogueTrial = (folder / "rig-analogue.x1d").string();
        std::string error;
        if (!VSyncUnitLoad::RegisterClasses() ||
            !VSyncUnitLoad::WriteTrial(analogueTrial, kTrialFrames, error))
        {
            std::fprintf(stderr, "cannot prepare the sync units: %s\n", error.c_str());
            return 1;
        }
        double x1dNs = 0.0;
        double synthNs = 0.0;
        VSyncUnitLoad::TimeSources(2000, analogueTrial, x1dNs, synthNs);
        std::printf("Sync units beside the cameras: X1D unit 64 channels at 3000 Hz (30 instants "
                    "a frame, %.1f us a frame), synthetic unit 1 channel at 180 kHz (1800 "
                    "instants a frame, %.1f us a frame).\n",
                    x1dNs / 1000.0, synthNs / 1000.0);
    }

    std::vector<bool> greyscaleModes;
    if (modes != "centroids")
        greyscaleModes.push_back(true);
    if (modes != "greyscale")
        greyscaleModes.push_back(false);

    std::printf("Trial-file cameras (Zt-M4), first one master, receiver draining on loopback; "
                "%.1f s per run.\n",
                seconds);
    std::printf("%-10s %6s %8s %8s %11s %10s %10s %9s %8s  %s\n", "streams", "rate", "markers",
                "cameras", "centr/frame", "p99 us", "max us", "rate off%", "Mbit/s", "result");
    for (bool greyscale : greyscaleModes)
    {
        const std::vector<double> rates =
            single ? std::vector<double>{singleRate} : std::vector<double>{100.0, 500.0};
        const std::vector<uint32_t> markerCounts =
            single ? std::vector<uint32_t>{singleMarkers} : std::vector<uint32_t>{10, 50, 200};
        for (double rate : rates)
        {
            for (uint32_t markers : markerCounts)
            {
                uint32_t best = 0;
                for (uint32_t cameras = single ? singleCameras : 2;
                     cameras <= (single ? singleCameras : 128u); cameras *= 2)
                {
                    const std::string trial = (folder / ("rig-" + std::to_string(cameras) + "-" +
                                                         std::to_string(markers) + ".x2d"))
                                                  .string();
                    if (!std::filesystem::exists(trial))
                    {
                        VX2DGeneratorSettings settings;
                        settings.Cameras = cameras;
                        settings.Markers = markers;
                        settings.Frames = kTrialFrames;
                        settings.Rate = 100.0;
                        settings.StartTimecode.clear();
                        std::string error;
                        if (!WriteX2DTrial(trial, settings, error))
                        {
                            std::fprintf(stderr, "cannot write %s: %s\n", trial.c_str(),
                                         error.c_str());
                            return 1;
                        }
                    }
                    const VRunResult result =
                        RunRig(events, trial, cameras, rate, seconds, greyscale, analogueTrial);
                    std::printf("%-10s %6.0f %8u %8u %11.1f %10.0f %10.0f %9.3f %8.1f  %s\n",
                                greyscale ? "cent+grey" : "centroids", rate, markers, cameras,
                                result.m_CentroidsPerFrame, result.m_P99Us, result.m_MaxUs,
                                result.m_RateOffPercent, result.m_MBitPerSecond,
                                result.m_Passed ? "ok" : result.m_Failure.c_str());
                    std::fflush(stdout);
                    if (!result.m_Passed)
                        break;
                    best = cameras;
                }
                std::printf("=> %s %.0f Hz, %u markers: %u cameras sustained\n",
                            greyscale ? "cent+grey" : "centroids", rate, markers, best);
            }
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    VFakeDeviceCameraX2DDefinitions.Release();
    if (withSyncUnits)
        VSyncUnitLoad::ReleaseClasses();
    return 0;
}
