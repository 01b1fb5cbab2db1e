// The sync unit's parameter changes from the shell's and the frame clock's threads go through
// the device's typed setters to the main thread, as the device base requires: nothing changes
// until the main thread's event loop runs them.
#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "params/ParamAccess.h"
#include "support/EventLoopPump.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <thread>

namespace
{
constexpr std::uint32_t kLoopback = 0x7F000001u;

TEST(SyncUnitThreads, ShellAndFrameThreadChangesRunOnTheMainThread)
{
    ASSERT_NE(VFakeDeviceNetX1DDefinitions.Register(), nullptr);
    VEventManagerQt events;
    {
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        VFakeDeviceManager manager(&events, htonl(kLoopback), htonl(kLoopback), options);
        auto unit = VFakeDevice::Create<VFakeDeviceNetX1D>(manager, nullptr, 0x02000001u, 1u,
                                                           htonl(kLoopback), htonl(kLoopback));
        manager.AddDevice(unit);
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return unit->GetParamOr<std::string>("DeviceType", "") == "Vantrel"; }));
        ASSERT_TRUE(SetParamValue<bool>(*unit->GetParamList(), "Connected", true, true));
        unit->SetParam("SystemEnabled", true);
        unit->SetParam("Enabled", true);
        unit->SetParam("AnalogueSlot0CaptureActive", true);

        // The shell's receive thread.
        std::thread shell(
            [&]
            {
                std::string reply;
                unit->ProcessCommand("samplerate -s 0 100 450", reply);
                unit->ProcessCommand("anactl -c 2 off", reply);
            });
        shell.join();
        EXPECT_EQ(unit->GetParamOr("AnalogueSlot0SampleRate", 0.0), 180000.0)
            << "a change from the shell's thread ran before the main thread's loop";
        ASSERT_TRUE(testsupport::PumpUntil(
            [&] { return unit->GetParamOr("AnalogueSlot0SampleRate", 0.0) == 3000.0; }));
        EXPECT_EQ(unit->GetParamOr("AnalogueSlot0NumChannels", int32_t{0}), 64);
        EXPECT_TRUE(unit->GetParamOr("AnalogueSlot0Channel1Enabled", false));
        EXPECT_FALSE(unit->GetParamOr("AnalogueSlot0Channel2Enabled", true));

        // The frame clock's thread: the capture steps assert "InCapture" three frames on.
        std::thread clock(
            [&]
            {
                for (std::uint32_t frame = 1; frame <= 4; ++frame)
                    unit->OnMasterTick();
            });
        clock.join();
        EXPECT_FALSE(unit->GetParamOr("AnalogueSlot0InCapture", true));
        EXPECT_TRUE(testsupport::PumpUntil(
            [&] { return unit->GetParamOr("AnalogueSlot0InCapture", false); }))
            << "the frame thread's change never reached the parameter";
    }
    VFakeDeviceNetX1DDefinitions.Release();
}

} // namespace
