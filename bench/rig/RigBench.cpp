// How much the rig sustains: trial-file cameras replaying a generated trial, the first one
// master, while a receiver on loopback drains every datagram as the host would.
//
// The run first measures this machine's loopback ceiling: the datagrams of 1400 bytes a second
// that one bare sender (sendmmsg) pushes through to one draining receiver (recvmmsg), the best
// of three seconds. Then each configuration runs `--runs` times for `--seconds` and is
// reported run by run and as the median run (by release jitter), with the load average when
// it started and its datagram rate as a share of the ceiling.
//
// A run passes when, over its window:
// - every camera delivered every frame of the window on both streams, in order, once;
// - the master's rate (frames over the span of their arrival times) is within 0.1 % of the
//   rate asked for;
// - the release jitter has a 99th percentile under 1 ms. A frame's lateness is the arrival
//   (kernel time stamp) of the master's centroid trailer against its ideal time frame / rate,
//   less the least such offset of the second before it: the frame clock re-bases its schedule
//   every 5 s, which moves the ideal times by the lateness of that one tick.
// The tick span (first to last trailer of one frame number over every camera and stream, p99)
// shows how much of the frame period the master's tick takes.
//
// Usage: tsm_bench_rig [--seconds S] [--runs N] [--no-read-ahead] [--trials DIR] [--sync]
//                      [CONFIG...]
//   CONFIG = RATE:CAMERASxMARKERS[:centroids|:greyscale]; default: the stage targets
//   100:64x300:centroids 100:16x300:greyscale 500:32x300:centroids 2000:8x100:centroids.
//   centroids: trials of centroids and tracks only, cameras set to "GreyMode" and "CoordMode"
//   "none" as a host would, so the greyscale stream is trailers only; greyscale: trials with
//   blobs and edges, the cameras' default streams.
//   --trials DIR keeps the generated trials there for later runs (default: a temporary folder).
//   --sync: every run also carries two sync units (VSyncUnitLoad: an X1D unit replaying 64
//   channels at 3000 Hz and a synthetic unit at 180 kHz), which must deliver every frame too.
#include "DatagramBatch.h"
#include "SyncUnitLoad.h"

#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "FileIO/X2DIO/VX2DHolder.h"
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
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{

constexpr uint32_t kLoopback = 0x7F000001u;
constexpr size_t kCeilingDatagram = 1400;
constexpr double kWarmUp = 1.0;
constexpr double kCoolDown = 0.3;
constexpr uint32_t kCentroidStreamKind = 0x00000002u;

/// The table's stream: the devices' console lines go to standard output, which main sends to
/// /dev/null, so the table is written to a copy of the original.
FILE* g_Table = stdout;

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
        int size = 32 << 20;
        ::setsockopt(m_Handle, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        // Past the system's cap where allowed (SO_RCVBUFFORCE): this receiver stands in for a
        // host, and on a loaded machine a capped buffer overflows while its thread waits for a
        // core, which would be counted against the rig.
        if (::setsockopt(m_Handle, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
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

/// One end-of-frame trailer as received.
struct VTrailerArrival
{
    uint32_t m_StreamKind;
    uint32_t m_DeviceId;
    uint32_t m_Frame;
    uint32_t m_Centroids;
    double m_Time; ///< kernel receive time, seconds
};

double RealTimeNow()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

/// Drains its sockets on its own thread with recvmmsg, keeps every trailer and counts the
/// datagrams and bytes per millisecond of arrival. Start and Stop on the owner's thread.
class VDrainingReceiver
{
public:
    explicit VDrainingReceiver(std::vector<const VTimestampedSocket*> sockets, double seconds)
        : m_Sockets(std::move(sockets)), m_Bins(static_cast<size_t>(seconds * 1000.0) + 1)
    {
        m_Trailers.reserve(1 << 20);
    }
    ~VDrainingReceiver() { Stop(); }
    VDrainingReceiver(const VDrainingReceiver&) = delete;
    VDrainingReceiver& operator=(const VDrainingReceiver&) = delete;

    void Start()
    {
        m_Origin = RealTimeNow();
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
    /// Datagrams and bytes that arrived between `from` and `to` (receive times, seconds).
    void CountBetween(double from, double to, uint64_t& datagrams, uint64_t& bytes) const
    {
        datagrams = 0;
        bytes = 0;
        for (size_t bin = 0; bin < m_Bins.size(); ++bin)
        {
            const double time = m_Origin + static_cast<double>(bin) * 1e-3;
            if (time >= from && time < to)
            {
                datagrams += m_Bins[bin].m_Datagrams;
                bytes += m_Bins[bin].m_Bytes;
            }
        }
    }
    uint64_t GetDatagrams() const { return m_Datagrams; }

private:
    struct VBin
    {
        uint64_t m_Datagrams = 0;
        uint64_t m_Bytes = 0;
    };

    void Run()
    {
        VDatagramBatch batch;
        std::vector<pollfd> descriptors(m_Sockets.size());
        while (!m_Stop.load())
        {
            for (size_t i = 0; i < m_Sockets.size(); ++i)
                descriptors[i] = {m_Sockets[i]->GetHandle(), POLLIN, 0};
            if (::poll(descriptors.data(), descriptors.size(), 10) <= 0)
                continue;
            for (const pollfd& descriptor : descriptors)
            {
                if ((descriptor.revents & POLLIN) == 0)
                    continue;
                unsigned count = 0;
                do
                {
                    count = batch.Receive(descriptor.fd);
                    for (unsigned i = 0; i < count; ++i)
                        Record(batch.Data(i), batch.Length(i), batch.Header(i));
                } while (count == VDatagramBatch::Batch);
            }
        }
    }

    void Record(const uint8_t* data, size_t length, msghdr& header)
    {
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
        ++m_Datagrams;
        const double offset = (time - m_Origin) * 1000.0;
        if (offset >= 0.0 && offset < static_cast<double>(m_Bins.size()))
        {
            VBin& bin = m_Bins[static_cast<size_t>(offset)];
            ++bin.m_Datagrams;
            bin.m_Bytes += length;
        }
        // A trailer travels alone: 36 bytes, tag 0xC001 (a greyscale trailer may share its
        // datagram with items or follow a protocol-2 header, which the centroid-only runs
        // and the default protocol-1 cameras do not send).
        if (length < 36)
            return;
        const uint8_t* trailer = data + length - 36;
        if (trailer[0] != 0x01 || trailer[1] != 0xC0 || trailer[2] != 36 || trailer[3] != 0)
            return;
        auto u32 = [trailer](size_t offset)
        {
            return static_cast<uint32_t>(trailer[offset]) |
                   (static_cast<uint32_t>(trailer[offset + 1]) << 8) |
                   (static_cast<uint32_t>(trailer[offset + 2]) << 16) |
                   (static_cast<uint32_t>(trailer[offset + 3]) << 24);
        };
        m_Trailers.push_back({u32(4), u32(8), u32(12), u32(20), time});
    }

    std::vector<const VTimestampedSocket*> m_Sockets;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
    double m_Origin = 0.0;
    // Written by the receive thread only; read after Stop.
    std::vector<VTrailerArrival> m_Trailers;
    std::vector<VBin> m_Bins;
    uint64_t m_Datagrams = 0;
};

double LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    double load = -1.0;
    file >> load;
    return load;
}

/// This process's peak resident set in MB.
double PeakResidentMB()
{
    std::ifstream file("/proc/self/status");
    std::string line;
    while (std::getline(file, line))
    {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0.0;
}

struct VCeiling
{
    double m_SentPerSecond = 0.0;
    double m_ReceivedPerSecond = 0.0;
};

/// One bare sender pushing 1400-byte datagrams with sendmmsg (batches of 32) to one receiver
/// draining with recvmmsg, for `seconds`.
VCeiling MeasureCeilingOnce(double seconds)
{
    VCeiling ceiling;
    VTimestampedSocket target(0);
    if (!target.IsOpen())
        return ceiling;
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(kLoopback);
    address.sin_port = htons(target.GetPort());
    if (sender < 0 || ::connect(sender, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        if (sender >= 0)
            ::close(sender);
        return ceiling;
    }
    VDrainingReceiver receiver({&target}, seconds + 2.0);
    receiver.Start();
    constexpr unsigned kBatch = 32;
    std::vector<uint8_t> payload(kCeilingDatagram, 0x5A);
    std::vector<iovec> vectors(kBatch, iovec{payload.data(), payload.size()});
    std::vector<mmsghdr> messages(kBatch);
    for (unsigned i = 0; i < kBatch; ++i)
    {
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &vectors[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    uint64_t sent = 0;
    const auto start = std::chrono::steady_clock::now();
    const double startTime = RealTimeNow();
    while (std::chrono::steady_clock::now() - start < std::chrono::duration<double>(seconds))
    {
        const int count = ::sendmmsg(sender, messages.data(), kBatch, 0);
        if (count > 0)
            sent += static_cast<uint64_t>(count);
    }
    const double endTime = RealTimeNow();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    receiver.Stop();
    ::close(sender);
    uint64_t datagrams = 0;
    uint64_t bytes = 0;
    receiver.CountBetween(startTime, endTime + 0.05, datagrams, bytes);
    ceiling.m_SentPerSecond = static_cast<double>(sent) / seconds;
    ceiling.m_ReceivedPerSecond = static_cast<double>(datagrams) / (endTime - startTime);
    return ceiling;
}

/// The best of three one-second measurements: what one sender can push on this machine, less
/// the moments others took the processors.
VCeiling MeasureCeiling()
{
    VCeiling best;
    for (int i = 0; i < 3; ++i)
    {
        const VCeiling once = MeasureCeilingOnce(1.0);
        if (once.m_ReceivedPerSecond > best.m_ReceivedPerSecond)
            best = once;
    }
    return best;
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1))];
}

struct VConfig
{
    double m_Rate = 100.0;
    uint32_t m_Cameras = 1;
    uint32_t m_Markers = 1;
    bool m_Greyscale = false;

    std::string Name() const
    {
        char text[64];
        std::snprintf(text, sizeof text, "%g:%ux%u:%s", m_Rate, m_Cameras, m_Markers,
                      m_Greyscale ? "greyscale" : "centroids");
        return text;
    }
};

std::optional<VConfig> ParseConfig(const std::string& text)
{
    VConfig config;
    char streams[16] = "centroids";
    const int read = std::sscanf(text.c_str(), "%lf:%ux%u:%15s", &config.m_Rate, &config.m_Cameras,
                                 &config.m_Markers, streams);
    if (read < 3 || !(config.m_Rate > 0.0) || config.m_Cameras == 0)
        return std::nullopt;
    if (std::strcmp(streams, "greyscale") == 0)
        config.m_Greyscale = true;
    else if (std::strcmp(streams, "centroids") != 0)
        return std::nullopt;
    return config;
}

struct VRunResult
{
    bool m_Passed = false;
    double m_Load = 0.0;
    double m_CentroidsPerFrame = 0.0; ///< per camera and frame, averaged
    double m_P99Us = 0.0;
    double m_MaxUs = 0.0;
    double m_SpanP99Us = 0.0;
    double m_RateOffPercent = 0.0;
    double m_DatagramsPerSecond = 0.0;
    double m_MBitPerSecond = 0.0;
    std::string m_Failure;
};

/// Runs `config` once on `trial` for `seconds` of window, with the sync units of VSyncUnitLoad
/// replaying `analogueTrial` when it is not empty.
VRunResult RunRig(VEventManagerQt& events, const std::string& trial, const VConfig& config,
                  double seconds, bool readAhead, const std::string& analogueTrial)
{
    VRunResult result;
    result.m_Load = LoadAverage();
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
    auto manager =
        std::make_unique<VFakeDeviceManager>(&events, htonl(kLoopback), htonl(kLoopback), options);
    std::shared_ptr<VX2DHolder> holder = VX2DHolder::Open(trial);
    if (holder == nullptr || VTrialLoader::AddX2DCameras(*manager, holder) != config.m_Cameras)
    {
        result.m_Failure = "trial not loaded";
        return result;
    }
    if (readAhead)
        holder->GetSharedFrames().StartReadAhead(VTrialLoader::ReadAheadFrames,
                                                 &VTrialLoader::RaiseReadAheadPriority);
    std::vector<uint32_t> ids;
    for (uint32_t index = 0; index < config.m_Cameras; ++index)
    {
        auto camera = std::dynamic_pointer_cast<VFakeDevice>(manager->GetDevice(index));
        SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true);
        std::string reply;
        if (!config.m_Greyscale)
        {
            camera->ProcessCommand("greymode none", reply);
            camera->ProcessCommand("coordmode none", reply);
        }
        camera->ProcessCommand("portset " + std::to_string(centroidPort.GetPort()), reply);
        camera->ProcessCommand("datadisable false", reply);
        ids.push_back(camera->GetDeviceId());
    }

    VSyncUnitLoad syncUnits;
    if (!analogueTrial.empty() &&
        !syncUnits.Add(*manager, analogueTrial, config.m_Rate, result.m_Failure))
        return result;
    const double total = kWarmUp + seconds + kCoolDown;
    VDrainingReceiver receiver({&centroidPort, greyscalePort.get()}, total + 2.0);
    receiver.Start();
    syncUnits.Start();
    const auto rateWords = SplitFrameRate(config.m_Rate);
    const std::vector<uint8_t> master =
        EncodeBroadcastWords(MasterWords(ids[0], false, rateWords.value_or(VBroadcastFrameRate{})));
    const std::vector<uint8_t> enable = EncodeBroadcastWords(DataDisableWords(0));
    manager->OnBroadcastCommand(master.data(), master.size());
    manager->OnBroadcastCommand(enable.data(), enable.size());
    QTimer::singleShot(static_cast<int>(total * 1000.0), QCoreApplication::instance(),
                       &QCoreApplication::quit);
    QCoreApplication::exec();
    manager.reset();
    holder.reset();
    receiver.Stop();
    syncUnits.Stop();

    // The master's centroid trailers give the release times; every trailer gives the frames.
    std::map<std::pair<uint32_t, uint32_t>, std::vector<const VTrailerArrival*>> byStream;
    for (const VTrailerArrival& trailer : receiver.GetTrailers())
        byStream[{trailer.m_DeviceId, trailer.m_StreamKind}].push_back(&trailer);
    const std::vector<const VTrailerArrival*>& masterTrailers =
        byStream[{ids[0], kCentroidStreamKind}];
    if (masterTrailers.empty())
    {
        result.m_Failure = "no frames";
        return result;
    }
    const double windowStart = masterTrailers.front()->m_Time + kWarmUp;
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
    const double measuredRate = static_cast<double>(lastFrame - firstFrame) /
                                (window.back()->m_Time - window.front()->m_Time);
    result.m_RateOffPercent = 100.0 * (measuredRate - config.m_Rate) / config.m_Rate;

    // Lateness against the least offset of the second before.
    std::vector<double> offsets;
    for (const VTrailerArrival* trailer : window)
        offsets.push_back(trailer->m_Time -
                          static_cast<double>(trailer->m_Frame - firstFrame) / config.m_Rate);
    std::vector<double> lateness;
    size_t from = 0;
    for (size_t i = 0; i < window.size(); ++i)
    {
        while (window[i]->m_Time - window[from]->m_Time > 1.0)
            ++from;
        const double least = *std::min_element(offsets.begin() + static_cast<long>(from),
                                               offsets.begin() + static_cast<long>(i) + 1);
        lateness.push_back((offsets[i] - least) * 1e6);
    }
    result.m_P99Us = Percentile(lateness, 0.99);
    result.m_MaxUs = *std::max_element(lateness.begin(), lateness.end());

    // Every camera, both streams: every frame of the window, in order, once. The tick span
    // of each frame runs from its first trailer to its last.
    std::map<uint32_t, std::pair<double, double>> spans;
    uint64_t centroids = 0;
    uint64_t cameraFrames = 0;
    std::string failure;
    for (uint32_t id : ids)
    {
        for (uint32_t kind : {kCentroidStreamKind, 0x00010002u})
        {
            uint32_t previous = 0;
            uint32_t seen = 0;
            bool ordered = true;
            for (const VTrailerArrival* trailer : byStream[{id, kind}])
            {
                if (trailer->m_Frame < firstFrame || trailer->m_Frame > lastFrame)
                    continue;
                if (seen > 0 && trailer->m_Frame != previous + 1)
                    ordered = false;
                previous = trailer->m_Frame;
                ++seen;
                auto [span, added] =
                    spans.try_emplace(trailer->m_Frame, trailer->m_Time, trailer->m_Time);
                span->second.first = std::min(span->second.first, trailer->m_Time);
                span->second.second = std::max(span->second.second, trailer->m_Time);
                if (kind == kCentroidStreamKind)
                {
                    centroids += trailer->m_Centroids;
                    ++cameraFrames;
                }
            }
            if (failure.empty() && (!ordered || seen != lastFrame - firstFrame + 1))
                failure = "camera " + std::to_string(id) +
                          (kind == kCentroidStreamKind ? " centroids: " : " greyscale: ") +
                          std::to_string(seen) + " of " +
                          std::to_string(lastFrame - firstFrame + 1) + " frames" +
                          (ordered ? "" : ", out of order");
        }
    }
    std::vector<double> spanUs;
    for (const auto& [frame, span] : spans)
        spanUs.push_back((span.second - span.first) * 1e6);
    result.m_SpanP99Us = Percentile(spanUs, 0.99);
    result.m_CentroidsPerFrame =
        cameraFrames > 0 ? static_cast<double>(centroids) / static_cast<double>(cameraFrames) : 0.0;
    uint64_t datagrams = 0;
    uint64_t bytes = 0;
    receiver.CountBetween(window.front()->m_Time, window.back()->m_Time, datagrams, bytes);
    const double windowSeconds = window.back()->m_Time - window.front()->m_Time;
    result.m_DatagramsPerSecond = static_cast<double>(datagrams) / windowSeconds;
    result.m_MBitPerSecond = static_cast<double>(bytes) * 8.0 / windowSeconds / 1e6;
    if (failure.empty() && !analogueTrial.empty())
        failure = syncUnits.Check(firstFrame, lastFrame);
    if (failure.empty() && std::fabs(result.m_RateOffPercent) > 0.1)
        failure = "frame rate off";
    if (failure.empty() && result.m_P99Us >= 1000.0)
        failure = "jitter p99 over 1 ms";
    result.m_Failure = failure;
    result.m_Passed = failure.empty();
    return result;
}

bool MakeTrial(const std::string& path, const VConfig& config)
{
    if (std::filesystem::exists(path))
        return true;
    VX2DGeneratorSettings settings;
    settings.Cameras = config.m_Cameras;
    settings.Markers = config.m_Markers;
    // Greyscale trials are large (about 1.5 MB a frame at 16 x 300): fewer frames.
    settings.Frames = config.m_Greyscale ? 100 : 250;
    settings.Rate = 100.0;
    settings.StartTimecode.clear();
    settings.CentroidsOnly = !config.m_Greyscale;
    std::string error;
    if (!WriteX2DTrial(path, settings, error))
    {
        std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    return true;
}

void PrintRow(const char* label, const VConfig& config, const VRunResult& result, double ceiling)
{
    std::fprintf(g_Table,
                 "%-8s %-22s %5.1f %8.1f %9.0f %6.1f%% %8.1f %8.0f %8.0f %8.0f %9.3f  %s\n", label,
                 config.Name().c_str(), result.m_Load, result.m_CentroidsPerFrame,
                 result.m_DatagramsPerSecond,
                 ceiling > 0.0 ? 100.0 * result.m_DatagramsPerSecond / ceiling : 0.0,
                 result.m_MBitPerSecond, result.m_P99Us, result.m_MaxUs, result.m_SpanP99Us,
                 result.m_RateOffPercent, result.m_Passed ? "ok" : result.m_Failure.c_str());
    std::fflush(g_Table);
}

int Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [--seconds S] [--runs N] [--no-read-ahead] [--trials DIR] [--sync] "
                 "[RATE:CAMERASxMARKERS[:centroids|:greyscale] ...]\n",
                 program);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    double seconds = 10.0;
    int runs = 3;
    bool readAhead = true;
    std::string trialFolder;
    bool withSyncUnits = false;
    std::vector<VConfig> configs;
    for (int i = 1; i < argc; ++i)
    {
        const std::string word = argv[i];
        if (word == "--seconds" && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (word == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (word == "--no-read-ahead")
            readAhead = false;
        else if (word == "--trials" && i + 1 < argc)
            trialFolder = argv[++i];
        else if (word == "--sync")
            withSyncUnits = true;
        else if (const std::optional<VConfig> config = ParseConfig(word))
            configs.push_back(*config);
        else
            return Usage(argv[0]);
    }
    if (!(seconds > 0.0 && seconds <= 600.0) || runs < 1)
        return Usage(argv[0]);
    if (configs.empty())
    {
        for (const char* text : {"100:64x300:centroids", "100:16x300:greyscale",
                                 "500:32x300:centroids", "2000:8x100:centroids"})
            configs.push_back(*ParseConfig(text));
    }

    VEventManagerQt events;
    if (VFakeDeviceCameraX2DDefinitions.Register() == nullptr)
        return 1;
    bool temporary = false;
    if (trialFolder.empty())
    {
        char folderPattern[] = "/tmp/tsm-rig-XXXXXX";
        if (::mkdtemp(folderPattern) == nullptr)
            return 1;
        trialFolder = folderPattern;
        temporary = true;
    }
    std::filesystem::create_directories(trialFolder);
    std::string analogueTrial;
    if (withSyncUnits)
    {
        analogueTrial = (std::filesystem::path(trialFolder) / "rig-analogue.x1d").string();
        std::string error;
        if (!VSyncUnitLoad::RegisterClasses() ||
            (!std::filesystem::exists(analogueTrial) &&
             !VSyncUnitLoad::WriteTrial(analogueTrial, 250, error)))
        {
            std::fprintf(stderr, "cannot prepare the sync units: %s\n", error.c_str());
            return 1;
        }
    }

    // The devices print their console lines; the table goes to the original standard output.
    std::fflush(stdout);
    const int table = ::dup(STDOUT_FILENO);
    g_Table = table >= 0 ? ::fdopen(table, "w") : nullptr;
    if (g_Table == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;

    const VCeiling ceiling = MeasureCeiling();
    if (withSyncUnits)
    {
        double x1dNs = 0.0;
        double synthNs = 0.0;
        VSyncUnitLoad::TimeSources(2000, analogueTrial, x1dNs, synthNs);
        std::fprintf(g_Table,
                     "Sync units beside the cameras: X1D unit 64 channels at 3000 Hz (30 instants "
                     "a frame, %.1f us a frame), synthetic unit 1 channel at 180 kHz (1800 "
                     "instants a frame, %.1f us a frame).\n",
                     x1dNs / 1000.0, synthNs / 1000.0);
    }
    std::fprintf(g_Table,
                 "Loopback ceiling (one sender, sendmmsg of %zu-byte datagrams, to one draining "
                 "receiver, best of 3 s; load %.1f): %.0f datagrams/s received (%.0f sent, "
                 "%.2f Gbit/s)\n",
                 kCeilingDatagram, LoadAverage(), ceiling.m_ReceivedPerSecond,
                 ceiling.m_SentPerSecond,
                 ceiling.m_ReceivedPerSecond * kCeilingDatagram * 8.0 / 1e9);
    std::fprintf(g_Table,
                 "Trial-file cameras (Zt-M4), first one master, receiver draining on loopback; "
                 "%.0f s window after %.1f s warm-up, %d run(s) each, read-ahead %s.\n",
                 seconds, kWarmUp, runs, readAhead ? "on" : "off");
    std::fprintf(g_Table, "%-8s %-22s %5s %8s %9s %7s %8s %8s %8s %8s %9s  %s\n", "run", "config",
                 "load", "cent/fr", "dgram/s", "ceil", "Mbit/s", "p99 us", "max us", "span99",
                 "rate off%", "result");
    for (const VConfig& config : configs)
    {
        const std::string trial =
            (std::filesystem::path(trialFolder) /
             ("rig-" + std::to_string(config.m_Cameras) + "x" + std::to_string(config.m_Markers) +
              (config.m_Greyscale ? "-grey" : "-cent") + ".x2d"))
                .string();
        if (!MakeTrial(trial, config))
            return 1;
        std::vector<VRunResult> results;
        for (int run = 0; run < runs; ++run)
        {
            results.push_back(RunRig(events, trial, config, seconds, readAhead, analogueTrial));
            PrintRow(("#" + std::to_string(run + 1)).c_str(), config, results.back(),
                     ceiling.m_ReceivedPerSecond);
        }
        // The median run by jitter; the configuration passes when most runs passed.
        std::vector<const VRunResult*> ordered;
        for (const VRunResult& result : results)
            ordered.push_back(&result);
        std::sort(ordered.begin(), ordered.end(),
                  [](const VRunResult* a, const VRunResult* b) { return a->m_P99Us < b->m_P99Us; });
        VRunResult median = *ordered[ordered.size() / 2];
        const auto passed = std::count_if(results.begin(), results.end(),
                                          [](const VRunResult& result) { return result.m_Passed; });
        median.m_Failure = std::to_string(passed) + " of " + std::to_string(runs) + " passed";
        median.m_Passed = false;
        PrintRow("median", config, median, ceiling.m_ReceivedPerSecond);
    }
    std::fprintf(g_Table, "Peak resident memory of the benchmark process: %.0f MB\n",
                 PeakResidentMB());
    if (temporary)
    {
        std::error_code ignored;
        std::filesystem::remove_all(trialFolder, ignored);
    }
    if (withSyncUnits)
        VSyncUnitLoad::ReleaseClasses();
    VFakeDeviceCameraX2DDefinitions.Release();
    return 0;
}
