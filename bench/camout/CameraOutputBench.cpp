// Frame encoding of the camera streams (ns per centroid or greyscale item, without sockets)
// and the datagram rate of the socket sink on loopback, with a receiver draining the socket.
#include "devices/IDatagramSink.h"
#include "devices/VDataOutSocketSink.h"
#include "devices/camerawire/VCentroidStreamWriter.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"
#include "net/VDataOutSocket.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace
{

constexpr std::size_t Cameras = 64;

/// Counts what it is given and sends nothing: the encoders' own cost.
class VCountingSink : public IDatagramSink
{
public:
    bool Send(const std::uint8_t* bytes, std::size_t length) override
    {
        benchmark::DoNotOptimize(bytes);
        ++m_Datagrams;
        m_Bytes += length;
        return true;
    }
    std::uint64_t m_Datagrams = 0;
    std::uint64_t m_Bytes = 0;
};

struct CameraFrame
{
    std::vector<ICentroidData> Centroids;
    std::vector<ICentroidTrackData> Tracks;
};

std::vector<CameraFrame> MakeCentroidFrames(std::size_t centroidsPerCamera)
{
    std::vector<CameraFrame> frames(Cameras);
    for (std::size_t c = 0; c < Cameras; ++c)
    {
        for (std::size_t i = 0; i < centroidsPerCamera; ++i)
        {
            frames[c].Centroids.push_back({100.0 + 3.37 * static_cast<double>(i),
                                           50.0 + 1.91 * static_cast<double>(c), 2.5, 0.7});
            frames[c].Tracks.push_back({static_cast<std::int64_t>(i + 1000 * c), 12, 0.93f});
        }
    }
    return frames;
}

/// Encodes one system frame of 64 cameras × centroids (range 0) with or without tracks
/// (range 1).
void BM_EncodeCentroidFrame(benchmark::State& state)
{
    const auto perCamera = static_cast<std::size_t>(state.range(0));
    const bool tracks = state.range(1) != 0;
    const auto frames = MakeCentroidFrames(perCamera);
    std::vector<VCentroidStreamWriter> writers(Cameras);
    VCountingSink sink;
    std::uint32_t frameNumber = 0;
    for (auto _ : state)
    {
        ++frameNumber;
        for (std::size_t c = 0; c < Cameras; ++c)
        {
            CentroidFrameInfo info{static_cast<std::uint32_t>(c), frameNumber, frameNumber - 1,
                                   true, tracks};
            std::span<const ICentroidTrackData> trackSpan;
            if (tracks)
                trackSpan = frames[c].Tracks;
            benchmark::DoNotOptimize(
                writers[c].SendFrame(sink, frames[c].Centroids, trackSpan, info));
        }
    }
    const auto centroids = static_cast<double>(Cameras * perCamera);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Cameras * perCamera));
    // Shown with an SI prefix: "12.5n" is 12.5 ns of CPU time per centroid.
    state.counters["time_per_centroid"] = benchmark::Counter(
        centroids, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["datagrams_per_frame"] =
        static_cast<double>(sink.m_Datagrams) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EncodeCentroidFrame)
    ->ArgsProduct({{500}, {0, 1}})
    ->ArgNames({"centroids", "tracks"})
    ->Unit(benchmark::kMicrosecond);

/// Greyscale frames of 64 protocol-2 (or protocol-1) cameras: 40 blobs of 8 lines of 24
/// pixels and 200 edges each, sorted and cut into datagrams.
void BM_EncodeGreyscaleFrame(benchmark::State& state)
{
    const std::int32_t protocol = static_cast<std::int32_t>(state.range(0));
    constexpr std::size_t Blobs = 40, Lines = 8, Pixels = 24, Edges = 200;
    std::vector<std::uint8_t> pixels(Pixels, 0x80);
    std::vector<IGreyscaleLineData> lines;
    for (std::size_t b = 0; b < Blobs; ++b)
        for (std::size_t l = 0; l < Lines; ++l)
            lines.push_back({static_cast<std::uint16_t>(37 * b % 1600),
                             static_cast<std::uint16_t>(11 * b + l), pixels.data(),
                             static_cast<std::uint16_t>(Pixels)});
    std::vector<IGreyscaleBlobData> blobs;
    for (std::size_t b = 0; b < Blobs; ++b)
        blobs.push_back({lines.data() + b * Lines, static_cast<std::uint16_t>(Lines),
                         static_cast<std::uint8_t>(b % 2)});
    std::vector<IEdgePairData> edges;
    for (std::size_t e = 0; e < Edges; ++e)
        edges.push_back({static_cast<std::uint16_t>(13 * e % 1600),
                         static_cast<std::uint16_t>(7 * e % 440), 3});

    std::vector<VGreyscaleStreamAssembler> assemblers(Cameras);
    VCountingSink sink;
    std::uint32_t frameNumber = 0;
    for (auto _ : state)
    {
        ++frameNumber;
        for (std::size_t c = 0; c < Cameras; ++c)
        {
            GreyscaleFrameInfo info;
            info.DeviceId = static_cast<std::uint32_t>(c);
            info.FrameNumber = frameNumber;
            info.PreviousFrame = frameNumber - 1;
            info.ProtocolVersion = protocol;
            info.SystemFrameRate = 100.0;
            benchmark::DoNotOptimize(assemblers[c].SendFrame(sink, info, blobs, edges));
        }
    }
    const std::size_t items = Cameras * (Blobs * Lines + Edges);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(items));
    state.counters["time_per_item"] = benchmark::Counter(
        static_cast<double>(items),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["datagrams_per_frame"] =
        static_cast<double>(sink.m_Datagrams) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_EncodeGreyscaleFrame)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("protocol")
    ->Unit(benchmark::kMicrosecond);

/// A loopback UDP socket drained by its own thread until stopped.
class VDrainingReceiver
{
public:
    VDrainingReceiver()
    {
        m_Fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int bufferSize = 8 << 20;
        setsockopt(m_Fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof(bufferSize));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        bind(m_Fd, reinterpret_cast<sockaddr*>(&address), length);
        getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_Port = ntohs(address.sin_port);
        m_Thread = std::thread([this] { Drain(); });
    }
    ~VDrainingReceiver()
    {
        m_Stop.store(true);
        m_Thread.join(); // the drain loop polls with a 50 ms limit
        close(m_Fd);
    }
    VDrainingReceiver(const VDrainingReceiver&) = delete;
    VDrainingReceiver& operator=(const VDrainingReceiver&) = delete;

    std::uint16_t Port() const { return m_Port; }
    std::uint64_t Received() const { return m_Received.load(); }

private:
    void Drain()
    {
        std::vector<std::uint8_t> buffer(65536);
        while (!m_Stop.load())
        {
            pollfd entry{m_Fd, POLLIN, 0};
            if (poll(&entry, 1, 50) <= 0)
                continue;
            while (recv(m_Fd, buffer.data(), buffer.size(), MSG_DONTWAIT) >= 0)
                m_Received.fetch_add(1, std::memory_order_relaxed);
        }
    }

    int m_Fd = -1;
    std::uint16_t m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::atomic<std::uint64_t> m_Received{0};
    std::thread m_Thread;
};

/// The send path: one camera's centroid frame (500 centroids with tracks: 13 datagrams)
/// per iteration through the socket sink to a receiver on loopback.
void BM_SendCentroidFrameLoopback(benchmark::State& state)
{
    VDrainingReceiver receiver;
    VDataOutSocket socket;
    if (!socket.Open(htonl(INADDR_LOOPBACK), receiver.Port()))
    {
        state.SkipWithError("cannot open the sending socket");
        return;
    }
    VDataOutSocketSink sink(socket);
    const auto frames = MakeCentroidFrames(500);
    VCentroidStreamWriter writer;
    std::uint32_t frameNumber = 0;
    for (auto _ : state)
    {
        ++frameNumber;
        CentroidFrameInfo info{1, frameNumber, frameNumber - 1, true, true};
        benchmark::DoNotOptimize(
            writer.SendFrame(sink, frames[0].Centroids, frames[0].Tracks, info));
    }
    const double sent = static_cast<double>(sink.GetSentCount());
    state.counters["datagrams_per_s"] = benchmark::Counter(sent, benchmark::Counter::kIsRate);
    state.counters["dropped"] = static_cast<double>(sink.GetDroppedCount());
    // What the receiver had taken when the sending stopped (loopback drops what it cannot
    // queue; the sender does not see that).
    state.counters["received_share"] =
        sent > 0 ? static_cast<double>(receiver.Received()) / sent : 0.0;
}
BENCHMARK(BM_SendCentroidFrameLoopback)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
