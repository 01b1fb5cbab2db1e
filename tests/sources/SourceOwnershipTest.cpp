#include "SourceTestSupport.h"
#include "sources/VFakeSourceCentroidX2D.h"
#include "sources/VFakeSourceGreyscaleX2D.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

using namespace SourceTest;

namespace
{
/// Stands in for a trial-file camera: owns its two sources and follows the documented
/// protocol. The frame thread sends under the data lock; "portset" builds new sources
/// outside the lock, swaps them in under it and releases the old ones after unlocking; the
/// disconnect releases them under the lock; "notify" holds the lock while it re-targets the
/// device's own socket.
class VCameraStandIn
{
public:
    VCameraStandIn(std::shared_ptr<VX2DHolder> trial, const VParamTable& params,
                   VLoopbackReceiver& hal)
        : m_Trial(std::move(trial)), m_Params(params), m_Hal(hal)
    {
    }

    void SetDataPort()
    {
        auto centroids = std::make_shared<VFakeSourceCentroidX2D>(m_Hal.Target(7001), m_Trial, 0);
        auto greyscale =
            std::make_shared<VFakeSourceGreyscaleX2D>(m_Params, m_Hal.Target(7001), m_Trial, 0);
        {
            std::lock_guard<std::recursive_mutex> lock(m_DataLock);
            m_Centroids.swap(centroids);
            m_Greyscale.swap(greyscale);
        }
        // The old sources go here, outside the lock.
    }

    void OnFrame(std::uint32_t frame, std::uint32_t previous)
    {
        std::lock_guard<std::recursive_mutex> lock(m_DataLock);
        std::uint32_t bytes = 0;
        if (m_Centroids)
        {
            std::string text;
            m_Params.ReadParam("Tracking", text);
            if (auto mode = VFakeSourceCentroidX2D::TrackingModeFromText(text))
                m_Centroids->SetTrackingMode(*mode);
            m_Centroids->SendFrame(frame, previous, bytes);
            m_Sent += bytes;
        }
        if (m_Greyscale)
        {
            m_Greyscale->SendFrame(frame, previous, bytes);
            m_Sent += bytes;
        }
    }

    void Notify()
    {
        std::lock_guard<std::recursive_mutex> lock(m_DataLock);
        ++m_Notifies;
    }

    void OnDisconnected()
    {
        std::shared_ptr<VFakeSourceCentroidX2D> centroids;
        std::shared_ptr<VFakeSourceGreyscaleX2D> greyscale;
        {
            std::lock_guard<std::recursive_mutex> lock(m_DataLock);
            centroids.swap(m_Centroids);
            greyscale.swap(m_Greyscale);
        }
    }

    std::uint64_t GetSent() const { return m_Sent.load(); }

private:
    std::shared_ptr<VX2DHolder> m_Trial;
    const VParamTable& m_Params;
    VLoopbackReceiver& m_Hal;
    std::recursive_mutex m_DataLock; // guards m_Centroids, m_Greyscale, m_Notifies
    std::shared_ptr<VFakeSourceCentroidX2D> m_Centroids;
    std::shared_ptr<VFakeSourceGreyscaleX2D> m_Greyscale;
    std::uint64_t m_Notifies = 0;
    std::atomic<std::uint64_t> m_Sent{0};
};
} // namespace

// Frames, "portset", "notify" and the disconnect on four threads, two cameras sharing one
// trial, while another thread changes the parameters. Meant for the ThreadSanitizer build;
// elsewhere it shows that no interleaving crashes or sends on a released source.
TEST(SourceOwnership, ReplacingAndReleasingUnderTheDataLock)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    std::shared_ptr<VX2DHolder> trial = MakeTrial(dir, 20, 2);
    ASSERT_NE(trial, nullptr);
    VLoopbackReceiver hal;
    VParamTable params;
    params.Set("Tracking", "Generate");
    params.Set("ProtocolVersion", 1);
    VCameraStandIn first(trial, params, hal);
    VCameraStandIn second(trial, params, hal);
    first.SetDataPort();
    second.SetDataPort();

    constexpr std::uint32_t kFrames = 400;
    std::atomic<bool> framesDone{false};
    std::thread frames(
        [&]
        {
            for (std::uint32_t frame = 1; frame <= kFrames; ++frame)
            {
                first.OnFrame(frame, frame - 1);
                second.OnFrame(frame, frame - 1);
            }
            framesDone = true;
        });
    std::thread shell(
        [&]
        {
            for (int i = 0; i < 50 && !framesDone; ++i)
            {
                first.SetDataPort();
                second.Notify();
            }
        });
    std::thread disconnect(
        [&]
        {
            for (int i = 0; i < 20 && !framesDone; ++i)
            {
                second.OnDisconnected();
                second.SetDataPort();
            }
        });
    std::thread parameters(
        [&]
        {
            const char* modes[] = {"Off", "Generate", "Read", "bogus"};
            for (int i = 0; i < 200 && !framesDone; ++i)
            {
                params.Set("Tracking", modes[i % 4]);
                params.Set("GreyMode", i % 2 == 0 ? "all" : "none");
            }
        });
    frames.join();
    shell.join();
    disconnect.join();
    parameters.join();
    EXPECT_GT(first.GetSent(), 0u);
    EXPECT_GT(second.GetSent(), 0u);
}
