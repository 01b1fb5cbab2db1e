// The sync unit's devices: definitions, the shell words with the examples a host relies on,
// the capture steps and skip line of each frame, and the status datagrams, through a manager
// without event manager (changes on the test's thread run at once).
#include "SyncUnitTestSupport.h"

#include "devices/VFakeDeviceManager.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "devices/syncunit/VFakeDeviceNetX2D.h"
#include "params/ParamAccess.h"
#include "tsmtrial/VX2DTrialGenerator.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "support/VUdpReceiver.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

namespace
{
using namespace SyncUnitTest;
using testsupport::VUdpReceiver;

constexpr std::uint32_t kLoopback = 0x7F000001u;
constexpr std::uint32_t kUnitId = 0x02000001;

class SyncUnitDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(VFakeDeviceNetSynthDefinitions.Register(), nullptr);
        ASSERT_NE(VFakeDeviceNetX1DDefinitions.Register(), nullptr);
        ASSERT_NE(VFakeDeviceNetX2DDefinitions.Register(), nullptr);
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        m_Manager = std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback),
                                                         htonl(kLoopback), options);
    }
    void TearDown() override
    {
        m_Manager.reset();
        VFakeDeviceNetSynthDefinitions.Release();
        VFakeDeviceNetX1DDefinitions.Release();
        VFakeDeviceNetX2DDefinitions.Release();
    }

    template <class TDevice, class... TArgs> std::shared_ptr<TDevice> Make(TArgs&&... args)
    {
        auto device = VFakeDevice::Create<TDevice>(*m_Manager, std::forward<TArgs>(args)...);
        m_Manager->AddDevice(device);
        return device;
    }
    std::shared_ptr<VFakeDeviceNetSynth> MakeSynth()
    {
        return Make<VFakeDeviceNetSynth>(kUnitId, 1u, htonl(kLoopback), htonl(kLoopback));
    }

    /// Connects and enables `device` as a host would ("datadisable false", DATA_DISABLE 0).
    static void Connect(VFakeDevice& device)
    {
        ASSERT_TRUE(SetParamValue<bool>(*device.GetParamList(), "Connected", true, true));
        device.SetParam("SystemEnabled", true);
        Command(device, "datadisable false");
    }
    static std::string Command(VFakeDevice& device, const std::string& line)
    {
        std::string reply;
        device.ProcessCommand(line, reply);
        return reply;
    }
    static void Tick(VFakeDevice& device, std::uint32_t frame)
    {
        device.SetNextFrameNumber(frame, false);
        device.OnMasterTick();
    }
    template <class T> static T Param(const VFakeDevice& device, const char* key)
    {
        T value{};
        EXPECT_TRUE(device.GetParam(key, value)) << key;
        return value;
    }

    std::unique_ptr<VFakeDeviceManager> m_Manager;
};

TEST_F(SyncUnitDevice, DefinitionsShowTheUnitAsTheHostKnowsIt)
{
    const std::shared_ptr<VParamDefinitionList> list = VFakeDeviceNetX2DDefinitions.Get();
    auto prototype = [&list](const char* key) -> const IParam*
    {
        const IParamDefinition* definition = list->FindDefinition(key);
        return definition != nullptr ? &definition->GetPrototype() : nullptr;
    };
    // Both prescalers are shown as "Sample Rate".
    for (const char* key : {"ClkOutPrescaler", "AnalogueSlot0Prescaler"})
    {
        ASSERT_NE(prototype(key), nullptr) << key;
        EXPECT_STREQ(prototype(key)->GetDisplayName(), "Sample Rate") << key;
    }
    EXPECT_STREQ(prototype("ClkOutDivisor")->GetGroup(), "Analogue Clock Out");
    EXPECT_STREQ(prototype("AnalogueSlot0Channel63Gain")->GetDisplayName(), "Channel 63 Gain");
    EXPECT_EQ(prototype("AnalogueSlot0Channel64Enabled"), nullptr);
    EXPECT_STREQ(prototype("GPO3")->GetDescription(), "General-purpose output 3");
    EXPECT_EQ(prototype("GPO4"), nullptr);
    EXPECT_STREQ(prototype("StartTime")->GetGroup(), "Timecode");
    EXPECT_EQ(VFakeDeviceNetX1DDefinitions.Get()->FindDefinition("StartTime"), nullptr);
    EXPECT_NE(VFakeDeviceNetSynthDefinitions.Get()->FindDefinition("AnalogueSlot0TestSignalFreq"),
              nullptr);

    auto unit = MakeSynth();
    EXPECT_EQ(Param<std::string>(*unit, "DeviceType"), "Vantrel");
    EXPECT_EQ(Param<std::string>(*unit, "Card0Type"), "Not populated");
    EXPECT_TRUE(Param<bool>(*unit, "RemoteStart"));
    EXPECT_EQ(unit->GetClassCode(), 2u);
}

TEST_F(SyncUnitDevice, SampleRateSetsSlotChannelsAndTheFollowingClockOutput)
{
    auto unit = MakeSynth();
    Connect(*unit);
    // A new unit answers with slot 0's rate, C locale, six decimals.
    EXPECT_EQ(Command(*unit, "samplerate"), "180000.000000\r\n");

    // 180 kHz leaves one channel; the clock output follows while not set on its own.
    EXPECT_EQ(Command(*unit, "samplerate -s 0 5 150"), "");
    EXPECT_EQ(Param<double>(*unit, "AnalogueSlot0SampleRate"), 180000.0);
    EXPECT_EQ(Param<int32_t>(*unit, "AnalogueSlot0NumChannels"), 1);
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0Channel0Enabled"));
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0Channel1Enabled"));
    EXPECT_EQ(Param<double>(*unit, "ClkOutSampleRate"), 180000.0);
    EXPECT_EQ(Param<int32_t>(*unit, "ClkOutPrescaler"), 5);
    EXPECT_EQ(Param<int32_t>(*unit, "ClkOutDivisor"), 150);

    // Set on its own, the clock output keeps 6000 Hz through later slot settings…
    Command(*unit, "samplerate -s c 10 2250");
    EXPECT_EQ(Param<double>(*unit, "ClkOutSampleRate"), 6000.0);
    Command(*unit, "samplerate -s 0 100 450");
    EXPECT_EQ(Param<double>(*unit, "AnalogueSlot0SampleRate"), 3000.0);
    EXPECT_EQ(Param<int32_t>(*unit, "AnalogueSlot0NumChannels"), 64);
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0Channel63Enabled"));
    EXPECT_EQ(Param<double>(*unit, "ClkOutSampleRate"), 6000.0);
    EXPECT_EQ(Command(*unit, "samplerate"), "3000.000000\r\n");
    // …until "-f on" makes it follow again.
    Command(*unit, "samplerate -f on -s 0 5 150");
    EXPECT_EQ(Param<double>(*unit, "ClkOutSampleRate"), 180000.0);

    // A prescaler or divisor of 0 changes nothing (no division by zero).
    Command(*unit, "samplerate -s 0 0 150");
    Command(*unit, "samplerate -s c 5 0");
    EXPECT_EQ(Param<double>(*unit, "AnalogueSlot0SampleRate"), 180000.0);
    EXPECT_EQ(Param<double>(*unit, "ClkOutSampleRate"), 180000.0);
    EXPECT_EQ(VFakeDeviceNet::ChannelsForRate(6000.0), 32u);
    EXPECT_EQ(VFakeDeviceNet::ChannelsForRate(96000.0), 2u);
    EXPECT_EQ(VFakeDeviceNet::ChannelsForRate(96000.5), 1u);
}

TEST_F(SyncUnitDevice, AnalogueControlAndCaptureWords)
{
    auto unit = MakeSynth();
    Connect(*unit);
    EXPECT_EQ(Command(*unit, "capture"), "Slot 0 capture off\r\n");

    Command(*unit, "anactl -a on");
    unit->SetParam("AnalogueSlot0InCapture", true);
    Command(*unit, "anactl -s 0 -r 4 7 off");
    for (int channel = 0; channel < 10; ++channel)
    {
        const std::string key = "AnalogueSlot0Channel" + std::to_string(channel) + "Enabled";
        EXPECT_EQ(Param<bool>(*unit, key.c_str()), channel < 4 || channel > 7) << key;
    }
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0InCapture"));
    EXPECT_EQ(unit->GetCaptureState().Step, 1u);

    Command(*unit, "anactl -c 3 -g 12 -r 9 8 off -r 0 64 off");
    EXPECT_EQ(Param<int32_t>(*unit, "AnalogueSlot0Channel3Gain"), 12);
    EXPECT_EQ(Param<int32_t>(*unit, "AnalogueSlot0Channel2Gain"), 1);
    // Backwards and wider-than-64 selections are ignored.
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0Channel8Enabled"));
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0Channel0Enabled"));

    Command(*unit, "capture on");
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0CaptureActive"));
    EXPECT_EQ(Command(*unit, "capture -s 0"), "Slot 0 capture on\r\n");
    EXPECT_TRUE(unit->GetCaptureState().Armed);
    EXPECT_EQ(unit->GetCaptureState().RestartCountdown, 2u);
    Command(*unit, "capture off");
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0CaptureActive"));

    // Words of the GPO layer come through the unit's handler.
    Command(*unit, "gpo 1 hi 3 lo 2 maybe 9 hi");
    EXPECT_TRUE(Param<bool>(*unit, "GPO1"));
    EXPECT_FALSE(Param<bool>(*unit, "GPO2"));
}

TEST_F(SyncUnitDevice, FramesStepCaptureAndReportSkippedFrames)
{
    auto unit = Make<VFakeDeviceNetX1D>(nullptr, kUnitId, 1u, htonl(kLoopback), htonl(kLoopback));
    Connect(*unit);
    EXPECT_EQ(Param<std::string>(*unit, "Card0Type"), "Analogue");
    unit->SetParam("AnalogueSlot0CaptureActive", true);
    unit->SetParam("AnalogueSlot0InCapture", true);
    // A reconfiguration stops capture and runs the capture steps from the next frame on.
    Command(*unit, "anactl -a on");
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0InCapture"));
    Tick(*unit, 10);
    EXPECT_EQ(unit->GetCaptureState().Step, 2u);

    testing::internal::CaptureStdout();
    Tick(*unit, 11);
    EXPECT_EQ(unit->GetCaptureState().Step, 3u);
    Tick(*unit, 13);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "Device 33554433 skipped 2 frames between frame numbers 11 and 13\n");

    // The last step arms capture; the restart countdown asserts "InCapture" a frame later
    // and again every second frame.
    EXPECT_EQ(unit->GetCaptureState().Step, 0u);
    EXPECT_TRUE(unit->GetCaptureState().Armed);
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0InCapture"));
    Tick(*unit, 14);
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0InCapture"));
    unit->SetParam("AnalogueSlot0InCapture", false);
    Tick(*unit, 15);
    EXPECT_FALSE(Param<bool>(*unit, "AnalogueSlot0InCapture"));
    Tick(*unit, 16);
    EXPECT_TRUE(Param<bool>(*unit, "AnalogueSlot0InCapture"));

    // A disabled unit produces no frame output and does not step.
    Command(*unit, "anactl -c 0 off");
    Command(*unit, "datadisable true");
    Tick(*unit, 17);
    EXPECT_EQ(unit->GetCaptureState().Step, 1u);
}

TEST_F(SyncUnitDevice, InputAndTimecodeStatusReachTheDataTarget)
{
    VUdpReceiver status;
    ASSERT_NE(status.GetPort(), 0u);
    auto trial = std::shared_ptr<VX2DHolder>();
    auto unit = Make<VFakeDeviceNetX2D>(trial, kUnitId, 1u, htonl(kLoopback), htonl(kLoopback));
    Connect(*unit);
    Command(*unit, "notify data " + std::to_string(status.GetPort()) + " tag 77");
    // "notify" sends the sync status and, from the X2D unit, the timecode status.
    std::vector<Datagram> received = status.ReceiveAll(std::chrono::milliseconds(200));
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(U16(received[1], 0), 5u);
    EXPECT_EQ(U16(received[1], 2), 32u);
    EXPECT_EQ(U16(received[1], 6), 77u);
    EXPECT_EQ(U32(received[1], 8), kUnitId);
    EXPECT_EQ(U32(received[1], 24), 1u);
    EXPECT_EQ(U32(received[1], 28), 0x210F0000u); // no timecode: any other code

    unit->SetNextFrameNumber(41, false);
    unit->OnMasterTick();
    unit->SetParam("GPI2", true);
    received = status.ReceiveAll(std::chrono::milliseconds(200));
    ASSERT_EQ(received.size(), 1u);
    const Datagram& input = received[0];
    ASSERT_EQ(input.size(), 28u);
    EXPECT_EQ(U16(input, 0), 4u);
    EXPECT_EQ(U16(input, 2), 28u);
    EXPECT_EQ(U16(input, 4), 1u);
    EXPECT_EQ(U16(input, 6), 77u);
    EXPECT_EQ(U32(input, 8), kUnitId);
    EXPECT_EQ(U32(input, 12), 41u);
    EXPECT_EQ(U16(input, 16), 0x34u); // GPI2, RemoteStart and RemoteStop
    EXPECT_EQ(U16(input, 18), 4u);
    EXPECT_EQ(U32(input, 20), 0u);
    EXPECT_EQ(U32(input, 24), 0u);

    unit->SetParam("RemoteStop", false);
    received = status.ReceiveAll(std::chrono::milliseconds(200));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(U16(received[0], 16), 0x14u);
    EXPECT_EQ(U16(received[0], 18), 0x20u);

    Command(*unit, "tcctl -e on");
    Command(*unit, "tcctl -e off");
    Command(*unit, "vidref -e off");
    received = status.ReceiveAll(std::chrono::milliseconds(200));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(U16(received[0], 0), 5u);
}

TEST_F(SyncUnitDevice, InfoReportsOfTheThreeVariants)
{
    const std::string common = "Display Device Type : ZT Vantrel\n"
                               "Device Type : Vantrel\n"
                               "Device ID : 33554433\n";
    const std::string tail = "Firmware Target : Vantrel\n"
                             "Minimum HAL Version : 1\n"
                             "Firmware Version : 82\n"
                             "Status LED Count : 1\n"
                             "GPI Count : 4\n"
                             "GPO Count : 8\n"
                             "Output Clock Count : 1\n"
                             "Ethernet Master Able : yes\n";
    auto synth = MakeSynth();
    Connect(*synth);
    EXPECT_EQ(Command(*synth, "info"), common + "Slot1 : Not populated\n" + tail);

    auto x1d = Make<VFakeDeviceNetX1D>(nullptr, kUnitId, 2u, htonl(kLoopback), htonl(kLoopback));
    Connect(*x1d);
    EXPECT_EQ(Command(*x1d, "info"), common + "Slot1 : Analogue\n" + tail);

    auto x2d = Make<VFakeDeviceNetX2D>(std::shared_ptr<VX2DHolder>(), kUnitId, 3u, htonl(kLoopback),
                                       htonl(kLoopback));
    Connect(*x2d);
    EXPECT_EQ(Command(*x2d, "info"), common + "Slot1 : Analogue\n" + tail +
                                         "Timecode Source : FILM NTSC_DROP NTSC PAL Internal\n"
                                         "Genlock Source : FILM23.976 FILM24 NTSC PAL Internal\n");
    VStringStd description;
    x2d->GetDescription(description);
    EXPECT_STREQ(description.CStr(), "X2D: Vantrel 33554433");
}

TEST_F(SyncUnitDevice, EachVariantSendsToItsOwnPort)
{
    using testsupport::OpenPortPair;
    // The X1D unit's card on the port itself (a trial without frames: trailers alone).
    auto x1d = Make<VFakeDeviceNetX1D>(nullptr, kUnitId, 1u, htonl(kLoopback), htonl(kLoopback));
    VUdpReceiver x1dPort;
    ASSERT_TRUE(x1dPort.IsOpen());
    Connect(*x1d);
    Command(*x1d, "portset " + std::to_string(x1dPort.GetPort()));
    Tick(*x1d, 1);
    std::optional<testsupport::Bytes> trailer = x1dPort.Receive();
    ASSERT_TRUE(trailer.has_value());
    EXPECT_EQ(U16(*trailer, 0), 0xC005u);

    // The synthetic card on p + 3000, and only with an analogue card fitted.
    std::unique_ptr<VUdpReceiver> synthBase;
    std::unique_ptr<VUdpReceiver> synthCard;
    ASSERT_TRUE(OpenPortPair(synthBase, synthCard, 3000));
    auto bare = Make<VFakeDeviceNetSynth>(0x02000002u, 2u, htonl(kLoopback), htonl(kLoopback));
    auto synth = Make<VFakeDeviceNetSynth>(0x02000003u, 3u, htonl(kLoopback), htonl(kLoopback));
    synth->SetParam("Card0Type", "Analogue");
    for (VFakeDeviceNetSynth* unit : {bare.get(), synth.get()})
    {
        Connect(*unit);
        unit->SetParam("SystemFrameRate", 100.0);
        Command(*unit, "samplerate -s 0 5 150");
        Command(*unit, "capture on");
        Command(*unit, "portset " + std::to_string(synthBase->GetPort()));
        Tick(*unit, 1);
    }
    const std::vector<testsupport::Bytes> card = synthCard->ReceiveAll();
    ASSERT_EQ(card.size(), 4u); // 700, 700, 400 samples and the trailer, all from one unit
    EXPECT_EQ(U32(card.back(), 8), 0x02000003u);
    EXPECT_TRUE(synthBase->ReceiveAll().empty());
    // Connected, the card type cannot be changed by a checked set.
    EXPECT_FALSE(SetParamValue<std::string>(*synth->GetParamList(), "Card0Type", "Audio", true));

    // The X2D unit's timecode on p + 2000, taken as 16 bits.
    VTempDir dir;
    VX2DGeneratorSettings settings;
    settings.Cameras = 1;
    settings.Frames = 2;
    std::string error;
    ASSERT_TRUE(WriteX2DTrial(dir.File("t.x2d"), settings, error)) << error;
    auto x2d = Make<VFakeDeviceNetX2D>(VX2DHolder::Open(dir.File("t.x2d")), 0x02000004u, 4u,
                                       htonl(kLoopback), htonl(kLoopback));
    EXPECT_EQ(x2d->GetParamOr<std::string>("StartTime", ""), "10:00:00:00");
    std::unique_ptr<VUdpReceiver> x2dBase;
    std::unique_ptr<VUdpReceiver> x2dTimecode;
    ASSERT_TRUE(OpenPortPair(x2dBase, x2dTimecode, 2000));
    Connect(*x2d);
    x2d->SetParam("SystemFrameRate", 100.0);
    Command(*x2d, "portset " + std::to_string(x2dBase->GetPort()));
    Tick(*x2d, 5);
    const std::optional<testsupport::Bytes> timecode = x2dTimecode->Receive();
    ASSERT_TRUE(timecode.has_value());
    EXPECT_EQ(U16(*timecode, 0), 0xC003u);
    EXPECT_EQ(U32(*timecode, 24), 0x01000010u); // 10:00:00:01, k = 1
    EXPECT_EQ(VFakeDeviceNetX2D::TimecodePort(9000), 11000u);
    EXPECT_EQ(VFakeDeviceNetX2D::TimecodePort(63536), 0u);
    EXPECT_EQ(VFakeDeviceNetX2D::TimecodePort(64000), 464u);
}

TEST_F(SyncUnitDevice, NumbersDoNotFollowTheProcessLocale)
{
    // A locale that writes a decimal comma, made for this test (the machine may have none).
    VTempDir locales;
    ASSERT_TRUE(locales.IsValid());
    const std::string make =
        "localedef -i de_DE -f UTF-8 '" + locales.File("de_DE.UTF-8") + "' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0)
        GTEST_SKIP() << "localedef cannot make a de_DE locale here";
    ::setenv("LOCPATH", locales.Path().c_str(), 1);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the de_DE locale made by localedef cannot be used";
    char probe[32];
    std::snprintf(probe, sizeof probe, "%f", 1.5);
    EXPECT_STREQ(probe, "1,500000") << "the locale does not write a comma";

    auto unit = MakeSynth();
    Connect(*unit);
    Command(*unit, "samplerate -s 0 4 150");
    const std::string reply = Command(*unit, "samplerate");
    std::setlocale(LC_NUMERIC, "C");
    ::unsetenv("LOCPATH");
    EXPECT_EQ(reply, "225000.000000\r\n");
}

} // namespace
