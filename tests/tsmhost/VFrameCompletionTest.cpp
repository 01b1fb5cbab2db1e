// When the stand-in host counts a frame as complete: every expected device has delivered it;
// silent devices stop holding frames back; numbers that start again start afresh.
#include "tsmhost/VFrameCompletion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace
{

using Frames = std::vector<std::uint32_t>;

struct VCompletionFixture
{
    Frames m_Reported;
    VFrameCompletion m_Completion{[this](std::uint32_t frame) { m_Reported.push_back(frame); }};

    /// Reports that came from delivering `frame` from each of `devices`.
    Frames Deliver(std::uint32_t frame, std::initializer_list<std::uint32_t> devices)
    {
        const size_t before = m_Reported.size();
        for (const std::uint32_t device : devices)
            m_Completion.OnDeviceFrame(device, frame);
        return Frames(m_Reported.begin() + static_cast<long>(before), m_Reported.end());
    }
};

} // namespace

TEST(FrameCompletion, AFrameIsCompleteOnceEveryExpectedDeviceDeliveredIt)
{
    VCompletionFixture fixture;
    fixture.m_Completion.ExpectDevice(1);
    fixture.m_Completion.ExpectDevice(2);
    EXPECT_EQ(fixture.Deliver(10, {1}), Frames{});
    EXPECT_EQ(fixture.Deliver(10, {2}), Frames{10});
    EXPECT_EQ(fixture.Deliver(10, {1, 2}), Frames{}) << "reported once";

    // A device that delivers frames is waited for from then on (a sync unit's timecode).
    EXPECT_EQ(fixture.Deliver(11, {9, 1}), Frames{});
    EXPECT_EQ(fixture.Deliver(11, {2}), Frames{11});
    EXPECT_EQ(fixture.Deliver(12, {1, 2}), Frames{});
    EXPECT_EQ(fixture.Deliver(12, {9}), Frames{12});
    EXPECT_EQ(fixture.m_Completion.GetCounts().Completed, 3u);
}

TEST(FrameCompletion, ASilentDeviceStopsHoldingFramesBackAfterTheWindow)
{
    VCompletionFixture fixture;
    for (const std::uint32_t camera : {1, 2, 3})
        fixture.m_Completion.ExpectDevice(camera);
    // Camera 3 never sends. Once the newest number is more than the window past the first,
    // it is no longer waited for: frame 0 is given up, the frames held are reported in order.
    constexpr std::uint32_t kWindow = VFrameCompletion::WindowFrames;
    for (std::uint32_t frame = 0; frame <= kWindow; ++frame)
        EXPECT_EQ(fixture.Deliver(frame, {1, 2}), Frames{}) << frame;
    Frames held;
    for (std::uint32_t frame = 1; frame <= kWindow + 1; ++frame)
        held.push_back(frame);
    EXPECT_EQ(fixture.Deliver(kWindow + 1, {1, 2}), held);
    EXPECT_EQ(fixture.m_Completion.GetCounts().Abandoned, 1u);
    EXPECT_EQ(fixture.Deliver(kWindow + 2, {1, 2}), Frames{kWindow + 2});

    // Camera 3 comes back: it is waited for again.
    EXPECT_EQ(fixture.Deliver(40, {3, 1}), Frames{});
    EXPECT_EQ(fixture.Deliver(40, {2}), Frames{40});
}

TEST(FrameCompletion, NumbersThatStartAgainStartAfresh)
{
    VCompletionFixture fixture;
    fixture.m_Completion.ExpectDevice(1);
    fixture.m_Completion.ExpectDevice(2);
    for (std::uint32_t frame = 500; frame < 600; ++frame)
        fixture.Deliver(frame, {1, 2});
    ASSERT_EQ(fixture.m_Reported.size(), 100u);
    // FRAME_NUMBER 0: camera 1 restarts first, camera 2's last old frame is still on its way.
    EXPECT_EQ(fixture.Deliver(0, {1}), Frames{});
    EXPECT_EQ(fixture.Deliver(0, {2}), Frames{0});
    EXPECT_EQ(fixture.Deliver(1, {1, 2}), Frames{1});
}
