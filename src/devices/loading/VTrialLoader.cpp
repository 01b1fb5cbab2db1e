#include "devices/loading/VTrialLoader.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "lumen/Log.h"

#include <cstdio>
#include <vector>

namespace
{
/// The reader's buffer for a trial file, in MiB.
constexpr uint32_t kTrialBufferMiB = 64;

/// The position the next device of `manager` takes, or 0 when its shell port would not be
/// a TCP port.
uint32_t NextPosition(const VFakeDeviceManager& manager)
{
    const uint32_t position = manager.GetDeviceCount() + 1;
    return position <= VTrialLoader::MaxDevicePosition ? position : 0;
}
} // namespace

bool VTrialLoader::AddX1D(VFakeDeviceManager& manager, const std::string& path)
{
    (void)manager;
    ZEL_LOG("Devices", 1, "X1D trial files cannot be loaded yet: %s", path.c_str());
    return false;
}

bool VTrialLoader::AddX2D(VFakeDeviceManager& manager, const std::string& path)
{
    if (VFakeDeviceCameraX2DDefinitions.Get() == nullptr)
    {
        ZEL_LOG("Devices", 1, "X2D cameras have no registered definitions: %s not loaded",
                path.c_str());
        return false;
    }
    std::vector<std::string> errors;
    const std::shared_ptr<VX2DHolder> trial =
        VX2DHolder::Open(path, true, kTrialBufferMiB, &errors);
    if (trial == nullptr)
    {
        // The console stays as it is: start-up has printed the file's name and goes on
        // without its devices. The reader's own messages go to the log.
        ZEL_LOG("Devices", 1, "Cannot open the X2D file %s", path.c_str());
        for (const std::string& error : errors)
            ZEL_LOG("Devices", 1, "  %s", error.c_str());
        return false;
    }
    AddX2DCameras(manager, trial);
    // A trial with a start timecode also brings a sync unit; that device class is made
    // elsewhere and joins here when it exists.
    return true;
}

uint32_t VTrialLoader::AddX2DCameras(VFakeDeviceManager& manager,
                                     const std::shared_ptr<VX2DHolder>& trial)
{
    const uint32_t cameras = trial->GetDeviceCount();
    uint32_t made = 0;
    for (uint32_t index = 0; index < cameras; ++index)
    {
        const uint32_t position = NextPosition(manager);
        if (position == 0)
        {
            std::printf("The X2D file has %u cameras; only %u of them get a device: device "
                        "positions end at %u (shell port 65535)\n",
                        cameras, made, MaxDevicePosition);
            std::fflush(stdout);
            break;
        }
        manager.AddDevice(VFakeDevice::Create<VFakeDeviceCameraX2D>(
            manager, trial, index, position, manager.GetLocalAddress(), manager.GetHalAddress()));
        ++made;
    }
    return made;
}

bool VTrialLoader::AddSyntheticCamera(VFakeDeviceManager& manager, uint32_t model)
{
    if (VFakeDeviceCameraSynthDefinitions.Get() == nullptr)
    {
        ZEL_LOG("Devices", 1, "Synthetic cameras have no registered definitions");
        return false;
    }
    const uint32_t position = NextPosition(manager);
    if (position == 0)
        return false;
    manager.AddDevice(VFakeDevice::Create<VFakeDeviceCameraSynth>(
        manager, position, position, manager.GetLocalAddress(), manager.GetHalAddress(), model,
        VFakeDeviceCameraSynth::DefaultStrobeIndex));
    return true;
}

bool VTrialLoader::AddSyntheticSyncUnit(VFakeDeviceManager& manager)
{
    (void)manager;
    ZEL_LOG("Devices", 1, "Synthetic sync units cannot be made yet");
    return false;
}
