#include "devices/loading/VTrialLoader.h"

#include "FileIO/X2DIO/VX1DHolder.h"
#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/VFakeDeviceManager.h"
#include "devices/VSyncThread.h"
#include "devices/camera/VFakeDeviceCameraSynth.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "devices/syncunit/VFakeDeviceNetSynth.h"
#include "devices/syncunit/VFakeDeviceNetX1D.h"
#include "devices/syncunit/VFakeDeviceNetX2D.h"
#include "timecode/VTimecode.h"
#include "lumen/Log.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>
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

/// Sync units carry bit 25 in their id beside their position.
constexpr uint32_t kSyncUnitIdBit = 0x02000000u;

/// The console line of a device left out because no position is left for it.
void PrintNoPositionLeft(const char* what)
{
    std::printf("The %s gets no device: device positions end at %u (shell port 65535)\n", what,
                VTrialLoader::MaxDevicePosition);
    std::fflush(stdout);
}

/// False, with a console line, when `path` names something that is there but is not a
/// regular file (a FIFO, socket, device or folder): a user who named one by mistake
/// learns why no device came, where a missing file keeps the console quiet.
bool IsLoadable(const std::string& path, const char* kind)
{
    std::error_code failure;
    const std::filesystem::file_status status = std::filesystem::status(path, failure);
    if (failure || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status))
        return true;
    std::printf("The %s file %s is not a regular file (a FIFO, socket, device or folder): not "
                "loaded\n",
                kind, path.c_str());
    std::fflush(stdout);
    return false;
}
} // namespace

bool VTrialLoader::AddX1D(VFakeDeviceManager& manager, const std::string& path)
{
    if (!IsLoadable(path, "X1D"))
        return false;
    if (VFakeDeviceNetX1DDefinitions.Get() == nullptr)
    {
        ZEL_LOG("Devices", 1, "X1D sync units have no registered definitions: %s not loaded",
                path.c_str());
        return false;
    }
    std::vector<std::string> errors;
    const std::shared_ptr<VX1DHolder> trial = VX1DHolder::Open(path, &errors);
    if (trial == nullptr)
    {
        // As for X2D files: the console stays as it is, the reader's messages go to the log.
        ZEL_LOG("Devices", 1, "Cannot open the X1D file %s", path.c_str());
        for (const std::string& error : errors)
            ZEL_LOG("Devices", 1, "  %s", error.c_str());
        return false;
    }
    const uint32_t position = NextPosition(manager);
    if (position == 0)
    {
        PrintNoPositionLeft("sync unit of the X1D file");
        return false;
    }
    manager.AddDevice(
        VFakeDevice::Create<VFakeDeviceNetX1D>(manager, trial, position | kSyncUnitIdBit, position,
                                               manager.GetLocalAddress(), manager.GetHalAddress()));
    return true;
}

bool VTrialLoader::AddX2D(VFakeDeviceManager& manager, const std::string& path)
{
    if (!IsLoadable(path, "X2D"))
        return false;
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
    // The cameras share each decoded trial frame; reading it ahead of the clock keeps the
    // decoding off the master's tick.
    if (AddX2DCameras(manager, trial) > 0)
        trial->GetSharedFrames().StartReadAhead(ReadAheadFrames, &RaiseReadAheadPriority);
    AddX2DSyncUnit(manager, trial);
    return true;
}

void VTrialLoader::RaiseReadAheadPriority()
{
    // The frame clock waits for a frame that the read-ahead is still decoding (and for the
    // trial's lock while it reads): at a lower priority than the clock's, a busy machine
    // would keep it, and so the clock, waiting for milliseconds. Just below the clock, or
    // the clock's fallback, or as it is.
    sched_param param{};
    param.sched_priority = VFakeDevice::VSyncThread::RealTimePriority - 1;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()),
                VFakeDevice::VSyncThread::RaisedNiceValue);
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

bool VTrialLoader::AddX2DSyncUnit(VFakeDeviceManager& manager,
                                  const std::shared_ptr<VX2DHolder>& trial)
{
    VTimecode start;
    if (!trial->GetStartTimecode(start))
        return false;
    if (VFakeDeviceNetX2DDefinitions.Get() == nullptr)
    {
        ZEL_LOG("Devices", 1, "X2D sync units have no registered definitions");
        return false;
    }
    const uint32_t position = NextPosition(manager);
    if (position == 0)
    {
        PrintNoPositionLeft("sync unit of the X2D file");
        return false;
    }
    manager.AddDevice(
        VFakeDevice::Create<VFakeDeviceNetX2D>(manager, trial, position | kSyncUnitIdBit, position,
                                               manager.GetLocalAddress(), manager.GetHalAddress()));
    return true;
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
    if (VFakeDeviceNetSynthDefinitions.Get() == nullptr)
    {
        ZEL_LOG("Devices", 1, "Synthetic sync units have no registered definitions");
        return false;
    }
    const uint32_t position = NextPosition(manager);
    if (position == 0)
        return false;
    manager.AddDevice(VFakeDevice::Create<VFakeDeviceNetSynth>(manager, position | kSyncUnitIdBit,
                                                               position, manager.GetLocalAddress(),
                                                               manager.GetHalAddress()));
    return true;
}
