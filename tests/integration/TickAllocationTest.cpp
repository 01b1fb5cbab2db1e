// The frame path allocates nothing in steady state: trial-file cameras of every kind of
// stream (greyscale in the trial's order, centroids with generated and with read tracks,
// centroids alone) replay a generated trial through the shared frames and their read-ahead,
// tick after tick, and once every buffer has seen the trial's largest frame no thread of the
// process calls operator new. A replacement of the global operator new counts the calls.
#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/loading/VTrialLoader.h"
#include "params/ParamAccess.h"
#include "tsmhost/BroadcastEncoder.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

namespace
{

std::atomic<bool> g_Counting{false};
std::atomic<std::uint64_t> g_Allocations{0};

void* Allocate(std::size_t size, std::size_t alignment)
{
    if (g_Counting.load(std::memory_order_relaxed))
        g_Allocations.fetch_add(1, std::memory_order_relaxed);
    if (size == 0)
        size = 1;
    void* memory =
        alignment <= alignof(std::max_align_t)
            ? std::malloc(size)
            : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (memory == nullptr)
        throw std::bad_alloc();
    return memory;
}

} // namespace

void* operator new(std::size_t size)
{
    return Allocate(size, 0);
}
void* operator new[](std::size_t size)
{
    return Allocate(size, 0);
}
void* operator new(std::size_t size, std::align_val_t alignment)
{
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment)
{
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept
{
    std::free(memory);
}

namespace
{

constexpr std::uint32_t kLoopback = 0x7F000001u;
constexpr std::uint32_t kFrames = 12;

/// A bound UDP socket on loopback that nobody reads: what it cannot hold is dropped quietly.
class VSinkPort
{
public:
    explicit VSinkPort(std::uint16_t port)
    {
        m_Handle = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(kLoopback);
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        if (m_Handle >= 0 &&
            ::bind(m_Handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(m_Handle, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_Port = ntohs(address.sin_port);
    }
    ~VSinkPort()
    {
        if (m_Handle >= 0)
            ::close(m_Handle);
    }
    VSinkPort(const VSinkPort&) = delete;
    VSinkPort& operator=(const VSinkPort&) = delete;
    std::uint16_t Port() const { return m_Port; }

private:
    int m_Handle = -1;
    std::uint16_t m_Port = 0;
};

} // namespace

TEST(TickAllocation, SteadyTicksOfEveryKindOfCameraAllocateNothing)
{
    ASSERT_NE(VFakeDeviceCameraX2DDefinitions.Register(), nullptr);
    char folderPattern[] = "/tmp/tsm-alloc-XXXXXX";
    ASSERT_NE(::mkdtemp(folderPattern), nullptr);
    const std::filesystem::path folder = folderPattern;
    const std::string trial = (folder / "trial.x2d").string();
    {
        VX2DGeneratorSettings settings;
        settings.Cameras = 5;
        settings.Markers = 40;
        settings.Frames = kFrames;
        settings.StartTimecode.clear();
        std::string error;
        ASSERT_TRUE(WriteX2DTrial(trial, settings, error)) << error;
    }

    // One port pair for every camera (greyscale on port + 1000).
    VSinkPort centroids(0);
    ASSERT_NE(centroids.Port(), 0);
    VSinkPort greyscale(static_cast<std::uint16_t>(centroids.Port() + 1000));
    ASSERT_NE(greyscale.Port(), 0);

    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    auto manager =
        std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback), htonl(kLoopback), options);
    std::shared_ptr<VX2DHolder> holder = VX2DHolder::Open(trial);
    ASSERT_NE(holder, nullptr);
    ASSERT_EQ(VTrialLoader::AddX2DCameras(*manager, holder), 5u);
    ASSERT_TRUE(holder->GetSharedFrames().StartReadAhead(VTrialLoader::ReadAheadFrames));
    // Cameras 1 and 2 send the default greyscale stream, 3 generates tracks, 4 reads them
    // from the file, 5 sends centroids alone.
    const char* tracking[] = {"Off", "Off", "Generate", "Read", "Off"};
    for (std::uint32_t index = 0; index < 5; ++index)
    {
        auto camera = std::dynamic_pointer_cast<VFakeDevice>(manager->GetDevice(index));
        ASSERT_NE(camera, nullptr);
        SetParamValue<bool>(*camera->GetParamList(), "Connected", true, true);
        camera->SetParam("Tracking", tracking[index]);
        std::string reply;
        if (index == 4)
        {
            camera->ProcessCommand("greymode none", reply);
            camera->ProcessCommand("coordmode none", reply);
        }
        camera->ProcessCommand("portset " + std::to_string(centroids.Port()), reply);
        camera->ProcessCommand("datadisable false", reply);
    }
    const std::vector<std::uint8_t> enable = EncodeBroadcastWords(DataDisableWords(0));
    manager->OnBroadcastCommand(enable.data(), enable.size());

    // Three loops of the trial grow every buffer to its largest frame; three more must not
    // allocate, on the ticking thread or the read-ahead thread.
    for (std::uint32_t tick = 0; tick < 3 * kFrames; ++tick)
        manager->OnSyncTick(nullptr);
    const std::uint64_t decodesBefore = holder->GetSharedFrames().GetStatistics().Decodes;
    g_Allocations = 0;
    g_Counting = true;
    for (std::uint32_t tick = 0; tick < 3 * kFrames; ++tick)
        manager->OnSyncTick(nullptr);
    g_Counting = false;
    EXPECT_EQ(g_Allocations.load(), 0u) << "operator new calls in " << 3 * kFrames << " ticks";

    // Every source took its frame from the shared ones: 9 per tick (the fifth camera's
    // greyscale stream needs no trial data), 1 at the six wraps (only tracks read from the
    // file are sent there).
    const VX2DSharedFrames::VStatistics statistics = holder->GetSharedFrames().GetStatistics();
    EXPECT_EQ(statistics.Requests, 9u * (6 * kFrames - 6) + 6);
    EXPECT_LE(statistics.Decodes - decodesBefore, 3u * kFrames + 2)
        << "one decode per trial frame in steady state";
    manager.reset();
    holder.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    VFakeDeviceCameraX2DDefinitions.Release();
}
