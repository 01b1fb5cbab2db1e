// The camera loader: the cameras of an X2D trial and their positions, the file's camera
// count against its camera list, the bound that keeps every shell port a TCP port, files that
// cannot be loaded, and synthetic cameras. No socket is opened.
#include "devices/loading/VTrialLoader.h"

#include "FileIO/X2DIO/VX2DImport.h"
#include "devices/camera/VFakeDeviceCamera.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/camera/VFakeDeviceCameraX2DParsed.h"
#include "support/TrialWriters.h"
#include "support/VManagerFixture.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <sys/stat.h>

#include <memory>
#include <string>

namespace
{

using namespace testsupport;

constexpr std::uint32_t kLoopback = 0x7F000001u; // 127.0.0.1, host order

/// A device that does nothing: stands in for the devices already in a manager.
class VIdleDevice : public IFakeDevice
{
public:
    void OnBroadcastCommand(const uint8_t*, size_t) override {}
};

/// The camera at zero-based position `index` of the manager, or null.
std::shared_ptr<VFakeDeviceCamera> CameraAt(const VFakeDeviceManager& manager, uint32_t index)
{
    return std::dynamic_pointer_cast<VFakeDeviceCamera>(manager.GetDevice(index));
}

/// The camera classes registered, and a manager that opens no socket.
class TrialLoader : public VManagerFixture
{
protected:
    TrialLoader()
        : VManagerFixture({&VFakeDeviceCameraX2DDefinitions, &VFakeDeviceCameraX2DParsedDefinitions,
                           &VFakeDeviceCameraSynthDefinitions})
    {
    }

    /// A four-camera trial with ids 101 to 104.
    std::string FourCameraTrial()
    {
        const std::string path = m_Temp.File("four.x2d");
        VGeneratedTrialLayout layout;
        layout.Frames = 3;
        for (std::uint32_t id = 101; id <= 104; ++id)
            layout.Cameras.push_back(CameraRecord(id, "Zt-M4", 2352, 1728));
        EXPECT_TRUE(WriteGeneratedTrial(path, layout));
        return path;
    }

    VTrialLoader m_Loader;
};

TEST_F(TrialLoader, CamerasTakeConsecutivePositionsAfterTheDevicesThere)
{
    const std::string path = FourCameraTrial();
    m_Manager->AddDevice(std::make_shared<VIdleDevice>());

    ASSERT_TRUE(m_Loader.AddX2D(*m_Manager, path));
    ASSERT_EQ(m_Manager->GetDeviceCount(), 5u);
    for (uint32_t index = 1; index < 5; ++index)
    {
        SCOPED_TRACE(index);
        const std::shared_ptr<VFakeDeviceCamera> camera = CameraAt(*m_Manager, index);
        ASSERT_NE(camera, nullptr);
        auto* trialCamera = dynamic_cast<VFakeDeviceCameraX2D*>(camera.get());
        ASSERT_NE(trialCamera, nullptr);
        EXPECT_EQ(trialCamera->GetCameraIndex(), index - 1);
        EXPECT_EQ(camera->GetDeviceId(), 100 + index);
        EXPECT_EQ(camera->GetPosition(), index + 1);
        EXPECT_EQ(camera->GetParamOr("Port", uint32_t{0}), index + 1);
        EXPECT_EQ(camera->GetLocalAddress(), htonl(kLoopback));
        EXPECT_EQ(camera->GetHalAddress(), htonl(kLoopback));
        EXPECT_EQ(camera->GetParamOr<std::string>("DeviceType", ""), "Zt-M4");
    }

    // A second file's cameras follow the first's.
    ASSERT_TRUE(m_Loader.AddX2D(*m_Manager, path));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 9u);
    EXPECT_EQ(CameraAt(*m_Manager, 8)->GetPosition(), 9u);
}

TEST_F(TrialLoader, EveryCameraOfTheFileGetsADeviceWithDefaultsBeyondTheList)
{
    const std::string path = m_Temp.File("short-list.x2d");
    VGeneratedTrialLayout layout;
    layout.Cameras = {CameraRecord(201, "Zt-M1", 1280, 1024),
                      CameraRecord(202, "Zt-M1", 1280, 1024)};
    layout.DeviceCount = 4;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));

    testing::internal::CaptureStdout();
    const bool loaded = m_Loader.AddX2D(*m_Manager, path);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(loaded);
    ASSERT_EQ(m_Manager->GetDeviceCount(), 4u);
    EXPECT_EQ(CameraAt(*m_Manager, 0)->GetDeviceId(), 201u);
    EXPECT_EQ(CameraAt(*m_Manager, 1)->GetDeviceId(), 202u);
    // Cameras 2 and 3 have no record: the default one (id 10000, no type, no sensor).
    for (uint32_t index = 2; index < 4; ++index)
    {
        const std::shared_ptr<VFakeDeviceCamera> camera = CameraAt(*m_Manager, index);
        EXPECT_EQ(camera->GetDeviceId(), 10000u);
        EXPECT_EQ(camera->GetParamOr<std::string>("DeviceType", "?"), "");
        EXPECT_EQ(camera->GetParamOr("SensorWidth", int32_t{-1}), 0);
        EXPECT_EQ(camera->GetPosition(), index + 1);
    }
    EXPECT_NE(printed.find("10000: Camera type \"\" is not a known camera model"),
              std::string::npos)
        << printed;
}

TEST_F(TrialLoader, AFileWithoutCamerasLoadsAndMakesNoCamera)
{
    const std::string path = m_Temp.File("no-cameras.x2d");
    VGeneratedTrialLayout layout;
    layout.DeviceCount = 0;
    ASSERT_TRUE(WriteGeneratedTrial(path, layout));
    EXPECT_TRUE(m_Loader.AddX2D(*m_Manager, path));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);
}

TEST_F(TrialLoader, CamerasStopWhereTheShellPortWouldPass65535)
{
    EXPECT_EQ(VTrialLoader::MaxDevicePosition, 56535u);
    const std::string path = FourCameraTrial();
    // Positions 1 to 56533 are taken: only 56534 and 56535 (ports 65534, 65535) are left.
    const auto idle = std::make_shared<VIdleDevice>();
    for (uint32_t position = 1; position <= 56533; ++position)
        m_Manager->AddDevice(idle);

    testing::internal::CaptureStdout();
    const bool loaded = m_Loader.AddX2D(*m_Manager, path);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(loaded);
    ASSERT_EQ(m_Manager->GetDeviceCount(), 56535u);
    EXPECT_EQ(CameraAt(*m_Manager, 56533)->GetDeviceId(), 101u);
    EXPECT_EQ(CameraAt(*m_Manager, 56534)->GetDeviceId(), 102u);
    EXPECT_EQ(CameraAt(*m_Manager, 56534)->GetPosition(), 56535u);
    EXPECT_NE(printed.find("The X2D file has 4 cameras; only 2 of them get a device"),
              std::string::npos)
        << printed;

    // Nothing is left for a synthetic camera either.
    EXPECT_FALSE(m_Loader.AddSyntheticCamera(*m_Manager, 2));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 56535u);
}

TEST_F(TrialLoader, FilesThatCannotBeLoadedAppendNothing)
{
    // A file that does not exist: false, and the console stays quiet.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(m_Loader.AddX2D(*m_Manager, m_Temp.File("missing.x2d")));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);

    // A FIFO (whose open would wait for a writer for ever) or a folder: refused at once,
    // with a line that says why.
    const std::string fifo = m_Temp.File("fifo.x2d");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& special : {fifo, m_Temp.File("")})
    {
        testing::internal::CaptureStdout();
        EXPECT_FALSE(m_Loader.AddX2D(*m_Manager, special));
        EXPECT_FALSE(m_Loader.AddX1D(*m_Manager, special));
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(printed, "The X2D file " + special +
                               " is not a regular file (a FIFO, socket, device or folder): not "
                               "loaded\nThe X1D file " +
                               special +
                               " is not a regular file (a FIFO, socket, device or folder): not "
                               "loaded\n");
    }
    // Below the loader, the reader refuses it at once too, and says why.
    {
        VX2DImport import(1);
        EXPECT_FALSE(import.Open(fifo, true));
        ASSERT_FALSE(import.GetErrors().empty());
        EXPECT_EQ(import.GetErrors().front(),
                  "cannot open " + fifo + ": it is not a regular file (a FIFO, socket or device)");
    }
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);

    // A file that is not a trial.
    const std::string garbage = m_Temp.File("garbage.x2d");
    {
        std::FILE* file = std::fopen(garbage.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs("not a trial file at all", file);
        std::fclose(file);
    }
    EXPECT_FALSE(m_Loader.AddX2D(*m_Manager, garbage));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);

    // A good file while the camera class has no definitions: nothing is made.
    const std::string path = FourCameraTrial();
    VFakeDeviceCameraX2DDefinitions.Release();
    EXPECT_FALSE(m_Loader.AddX2D(*m_Manager, path));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);
    ASSERT_NE(VFakeDeviceCameraX2DDefinitions.Register(), nullptr);
    EXPECT_TRUE(m_Loader.AddX2D(*m_Manager, path));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 4u);

    // File kinds this loader does not make yet.
    EXPECT_FALSE(m_Loader.AddX1D(*m_Manager, path));
    EXPECT_FALSE(m_Loader.AddSyntheticSyncUnit(*m_Manager));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 4u);
}

TEST_F(TrialLoader, SyntheticCamerasTakeTheirPositionAsId)
{
    m_Manager->AddDevice(std::make_shared<VIdleDevice>());
    ASSERT_TRUE(m_Loader.AddSyntheticCamera(*m_Manager, 11));
    ASSERT_TRUE(m_Loader.AddSyntheticCamera(*m_Manager, 13));
    ASSERT_EQ(m_Manager->GetDeviceCount(), 3u);
    const std::shared_ptr<VFakeDeviceCamera> cellF = CameraAt(*m_Manager, 1);
    EXPECT_EQ(cellF->GetDeviceId(), 2u);
    EXPECT_EQ(cellF->GetPosition(), 2u);
    EXPECT_EQ(cellF->GetParamOr<std::string>("DeviceType", ""), "CellF");
    EXPECT_EQ(cellF->GetParamOr<std::string>("StrobeType", ""), "IR");
    EXPECT_EQ(cellF->GetParamOr("SensorWidth", int32_t{0}), 2344);
    EXPECT_EQ(cellF->GetParamOr("CentroidsX", int32_t{0}), 25);
    EXPECT_EQ(CameraAt(*m_Manager, 2)->GetParamOr<std::string>("DeviceType", ""), "Unknown");

    // Without the synthetic class's definitions nothing is made.
    VFakeDeviceCameraSynthDefinitions.Release();
    EXPECT_FALSE(m_Loader.AddSyntheticCamera(*m_Manager, 2));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 3u);
}

// The manager's own loading operations reach the loader it was given.
TEST_F(TrialLoader, TheManagerLoadsThroughItsLoader)
{
    const std::string path = FourCameraTrial();
    // Without a loader nothing is made.
    EXPECT_FALSE(m_Manager->AddX2D(path));
    EXPECT_FALSE(m_Manager->AddSyntheticCamera(2));
    EXPECT_EQ(m_Manager->GetDeviceCount(), 0u);

    VFakeDeviceManagerOptions options;
    options.m_OpenReceiver = false;
    options.m_DeviceLoader = std::make_shared<VTrialLoader>();
    VFakeDeviceManager manager(nullptr, htonl(kLoopback), htonl(kLoopback), options);
    EXPECT_TRUE(manager.AddX2D(path));
    EXPECT_TRUE(manager.AddSyntheticCamera(0));
    EXPECT_FALSE(manager.AddX2D(m_Temp.File("missing.x2d")));
    EXPECT_FALSE(manager.AddX1D(path));
    EXPECT_FALSE(manager.AddSyntheticSyncUnit());
    ASSERT_EQ(manager.GetDeviceCount(), 5u);
    EXPECT_EQ(CameraAt(manager, 3)->GetDeviceId(), 104u);
    EXPECT_EQ(CameraAt(manager, 4)->GetDeviceId(), 5u);
    EXPECT_EQ(CameraAt(manager, 4)->GetParamOr<std::string>("DeviceType", ""), "Zt-H0");
}

TEST(DeviceClassDefinitions, ListsOutliveTheirDevicesAndRegisterOnce)
{
    ASSERT_EQ(VFakeDeviceCameraSynthDefinitions.Get(), nullptr);
    std::shared_ptr<VParamDefinitionList> list = VFakeDeviceCameraSynthDefinitions.Register();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(VFakeDeviceCameraSynthDefinitions.Register(), list) << "registered twice";
    EXPECT_STREQ(list->GetName(), "Camera");
    EXPECT_STREQ(list->GetDescription(), "Camera parameters");
    EXPECT_STREQ(list->GetText3(), "Description");
    EXPECT_STREQ(list->GetText4(), "General");
    // The camera's definitions first, the grid's three last.
    const unsigned count = list->GetDefinitionCount();
    ASSERT_GE(count, 3u);
    EXPECT_STREQ(list->GetDefinitionKey(0), "Connected");
    EXPECT_STREQ(list->GetDefinitionKey(count - 3), "CentroidsX");
    EXPECT_STREQ(list->GetDefinitionKey(count - 2), "CentroidsY");
    EXPECT_STREQ(list->GetDefinitionKey(count - 1), "GridType");
    const std::weak_ptr<VParamDefinitionList> watch = list;

    {
        VFakeDeviceManagerOptions options;
        options.m_OpenReceiver = false;
        VFakeDeviceManager manager(nullptr, htonl(kLoopback), htonl(kLoopback), options);
        auto camera = VFakeDevice::Create<VFakeDeviceCameraSynth>(manager, 1u, 1u, htonl(kLoopback),
                                                                  htonl(kLoopback), 2u, 3u);
        EXPECT_EQ(list->GetLiveListCount(), 1u);
        EXPECT_EQ(camera->GetParamOr("GridType", int32_t{-1}), 0);
        // Released while a camera still uses it: the camera keeps it.
        VFakeDeviceCameraSynthDefinitions.Release();
        EXPECT_EQ(VFakeDeviceCameraSynthDefinitions.Get(), nullptr);
        list.reset();
        EXPECT_FALSE(watch.expired());
        EXPECT_EQ(camera->GetParamOr<std::string>("DeviceType", ""), "Zt-M4");
    }
    EXPECT_TRUE(watch.expired()) << "the last camera should release the list";
}

} // namespace
