// Loading sync units: the X1D file's unit, the X2D file's unit after its cameras when the file
// has a start timecode, synthetic units, and what is made when a file or a class list is
// missing. No socket is opened.
#include "FileIO/X2DIO/VX1DHolder.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/loading/VTrialLoader.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "devices/syncunit/VFakeDeviceNetX2D.h"
#include "support/VTempDir.h"
#include "tsmtrial/VX1DTrialGenerator.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

namespace
{
using testsupport::VTempDir;

constexpr std::uint32_t kLoopback = 0x7F000001u;

class SyncUnitLoader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_Dir.IsValid());
        for (VDeviceClassDefinitions* list : kLists)
            ASSERT_NE(list->Register(), nullptr);
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        options.m_DeviceLoader = std::make_shared<VTrialLoader>();
        m_Manager = std::make_unique<VFakeDeviceManager>(nullptr, htonl(kLoopback),
                                                         htonl(kLoopback), options);
    }
    void TearDown() override
    {
        m_Manager.reset();
        for (VDeviceClassDefinitions* list : kLists)
            list->Release();
    }

    std::string WriteX2D(const std::string& name, const std::string& timecode)
    {
        VX2DGeneratorSettings settings;
        settings.Cameras = 4;
        settings.Frames = 3;
        settings.Markers = 2;
        settings.StartTimecode = timecode;
        std::string error;
        const std::string path = m_Dir.File(name);
        EXPECT_TRUE(WriteX2DTrial(path, settings, error)) << error;
        return path;
    }
    std::string WriteX1D(const std::string& name)
    {
        VX1DGeneratorSettings settings;
        settings.Frames = 3;
        std::string error;
        const std::string path = m_Dir.File(name);
        EXPECT_TRUE(WriteX1DTrial(path, settings, error)) << error;
        return path;
    }
    std::shared_ptr<VFakeDevice> DeviceAt(std::uint32_t index) const
    {
        return std::dynamic_pointer_cast<VFakeDevice>(m_Manager->GetDevice(index));
    }

    static constexpr VDeviceClassDefinitions* kLists[] = {
        &VFakeDeviceCameraX2DDefinitions, &VFakeDeviceNetX1DDefinitions,
        &VFakeDeviceNetX2DDefinitions, &VFakeDeviceNetSynthDefinitions};

    VTempDir m_Dir;
    std::unique_ptr<VFakeDeviceManager> m_Manager;
};

TEST_F(SyncUnitLoader, X1DUnitFirstThenTheCamerasAndTheX2DUnit)
{
    ASSERT_TRUE(m_Manager->AddX1D(WriteX1D("a.x1d")));
    ASSERT_TRUE(m_Manager->AddX2D(WriteX2D("b.x2d", "10:00:00:00")));
    ASSERT_EQ(m_Manager->GetDeviceCount(), 6u);

    const auto x1d = std::dynamic_pointer_cast<VFakeDeviceNetX1D>(DeviceAt(0));
    ASSERT_NE(x1d, nullptr);
    EXPECT_EQ(x1d->GetDeviceId(), 0x02000001u);
    EXPECT_EQ(x1d->GetPosition(), 1u);
    EXPECT_EQ(x1d->GetTrial()->GetFrameCount(), 3u);
    for (std::uint32_t index = 1; index <= 4; ++index)
    {
        const auto camera = std::dynamic_pointer_cast<VFakeDeviceCameraX2D>(DeviceAt(index));
        ASSERT_NE(camera, nullptr) << index;
        EXPECT_EQ(camera->GetDeviceId(), index);
        EXPECT_EQ(camera->GetPosition(), index + 1);
    }
    const auto x2d = std::dynamic_pointer_cast<VFakeDeviceNetX2D>(DeviceAt(5));
    ASSERT_NE(x2d, nullptr);
    EXPECT_EQ(x2d->GetDeviceId(), 0x02000006u);
    EXPECT_EQ(x2d->GetPosition(), 6u);
    EXPECT_EQ(x2d->GetParamOr<std::string>("StartTime", ""), "10:00:00:00");
    EXPECT_EQ(x2d->GetStreamTimecode().Standard, 2u); // PAL
    EXPECT_EQ(x2d->GetClassCode(), 2u);
}

TEST_F(SyncUnitLoader, WhatIsMadeWithoutTimecodeFilesOrClassLists)
{
    // No start timecode: the cameras alone.
    ASSERT_TRUE(m_Manager->AddX2D(WriteX2D("plain.x2d", "")));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 4u);
    // A missing X1D file, or an X2D file given as X1D: nothing, quietly.
    testing::internal::CaptureStdout();
    EXPECT_FALSE(m_Manager->AddX1D(m_Dir.File("missing.x1d")));
    EXPECT_FALSE(m_Manager->AddX1D(m_Dir.File("plain.x2d")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m_Manager->GetDeviceCount(), 4u);

    // Without the sync units' lists: no X1D unit, and an X2D file makes its cameras only.
    const std::string timed = WriteX2D("timed.x2d", "01:00:00:00");
    VFakeDeviceNetX1DDefinitions.Release();
    VFakeDeviceNetX2DDefinitions.Release();
    EXPECT_FALSE(m_Manager->AddX1D(WriteX1D("a.x1d")));
    EXPECT_TRUE(m_Manager->AddX2D(timed));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 8u);

    // A synthetic unit takes the next position; its id carries bit 25.
    ASSERT_TRUE(m_Manager->AddSyntheticSyncUnit());
    const auto synth = std::dynamic_pointer_cast<VFakeDeviceNetSynth>(DeviceAt(8));
    ASSERT_NE(synth, nullptr);
    EXPECT_EQ(synth->GetDeviceId(), 0x02000009u);
    VFakeDeviceNetSynthDefinitions.Release();
    EXPECT_FALSE(m_Manager->AddSyntheticSyncUnit());
    EXPECT_EQ(m_Manager->GetDeviceCount(), 9u);
}

} // namespace
