#include "FileIO/X2DIO/VX1DExport.h"
#include "FileIO/X2DIO/VX1DHolder.h"
#include "FileIO/X2DIO/VX2DExport.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "TrialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace TrialTest;

TEST(X2DHolder, DevicesOnTwoThreadsReadConsistentFrames)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x2d");
    VX2DExportSettings settings;
    settings.Cameras = {MakeCamera(1), MakeCamera(2)};
    VX2DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    constexpr std::uint32_t kFrames = 8;
    for (std::uint32_t f = 0; f < kFrames; ++f)
    {
        VFrames frames;
        FillFrames(frames, 2, f);
        ASSERT_TRUE(writer.WriteFrame(f, &frames.Centroids, &frames.Tracks, &frames.Greyscale,
                                      &frames.Edges));
    }
    ASSERT_TRUE(writer.Close());

    std::vector<std::string> errors;
    std::shared_ptr<VX2DHolder> holder = VX2DHolder::Open(path, true, 1, &errors);
    ASSERT_NE(holder, nullptr);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(holder->GetFrameCount(), kFrames);
    EXPECT_EQ(holder->GetCameraNames(), (std::vector<std::string>{"zt:1", "zt:2"}));
    EXPECT_EQ(holder->WithImport([](const VX2DImport& import) { return import.GetDeviceCount(); }),
              2u);

    // Two devices ticking at once: each reads its own frames through the shared holder.
    std::atomic<int> mismatches{0};
    auto device = [&](std::uint32_t offset)
    {
        VFrames read;
        for (std::uint32_t i = 0; i < 2000; ++i)
        {
            const std::uint32_t f = (i + offset) % kFrames;
            if (!holder->ReadFrame(f, &read.Centroids, &read.Tracks, &read.Greyscale, &read.Edges))
            {
                ++mismatches;
                continue;
            }
            VFrames expected;
            FillFrames(expected, 2, f);
            for (std::uint32_t d = 0; d < 2; ++d)
            {
                if (read.Centroids.GetSetDirect(d)->Count() !=
                        expected.Centroids.GetSetDirect(d)->Count() ||
                    read.Greyscale.GetSetDirect(d)->GetInfoByte() !=
                        expected.Greyscale.GetSetDirect(d)->GetInfoByte())
                {
                    ++mismatches;
                }
            }
        }
    };
    std::thread first(device, 0);
    std::thread second(device, 3);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);

    EXPECT_EQ(VX2DHolder::Open(dir.File("missing.x2d")), nullptr);
}

TEST(X1DHolder, SharesOneReader)
{
    VTempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.File("trial.x1d");
    VX1DExportSettings settings;
    settings.DeviceCount = 2;
    settings.HeaderValue = 5;
    VX1DExport writer;
    ASSERT_TRUE(writer.Open(path, settings));
    for (std::uint32_t f = 0; f < 4; ++f)
    {
        VAnalogueBlockFrame frame;
        FillAnalogue(frame, 2, f);
        ASSERT_TRUE(writer.WriteFrame(f + 10, &frame));
    }
    ASSERT_TRUE(writer.Close());

    std::shared_ptr<VX1DHolder> holder = VX1DHolder::Open(path);
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->GetFrameCount(), 4u);
    EXPECT_EQ(holder->GetHeaderValue(), 5);
    std::atomic<int> failures{0};
    auto device = [&]
    {
        VAnalogueBlockFrame read;
        for (std::uint32_t i = 0; i < 2000; ++i)
        {
            const std::uint32_t f = i % 4;
            if (!holder->ReadFrameByNumber(f + 10, &read) || BlockBytes(read, 1, 1).size() != 3 ||
                BlockBytes(read, 1, 1)[0] != static_cast<std::uint8_t>(f * 7 + 3))
            {
                ++failures;
            }
        }
    };
    std::thread first(device);
    std::thread second(device);
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(VX1DHolder::Open(dir.File("missing.x1d")), nullptr);
}
