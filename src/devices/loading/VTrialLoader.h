// The device manager's loading operations: the sync unit of an X1D trial file, the cameras and
// sync unit of an X2D trial file, synthetic cameras and synthetic sync units, installed into
// the manager by start-up.
#pragma once

#include "devices/IDeviceLoader.h"
#include "devices/VFakeDevice.h"

#include <cstdint>
#include <memory>
#include <string>

class VFakeDeviceManager;
class VX2DHolder;

/// Creates the devices of trial files and synthetic devices for a VFakeDeviceManager, which
/// holds it (VFakeDeviceManagerOptions::m_DeviceLoader) and calls it under its lock. Each new
/// device takes position p = devices already in the manager + 1, and the manager's local and
/// HAL addresses; a sync unit's id is p OR 0x02000000.
///
/// - AddX2D opens the file (64 MiB reader, index rebuilt when missing) and shares its holder
///   between one VFakeDeviceCameraX2D per camera of the file: the file's DeviceCount, with a
///   default record standing in where the camera list is shorter. Cameras are made only while
///   their position keeps the shell port (9000 + position) within 65535; the cameras beyond
///   are left out with a warning. A file that cannot be opened appends nothing and returns
///   false; the reader's messages go to the log, nothing to the console.
///   When the file has a start timecode, its sync unit (VFakeDeviceNetX2D) follows the
///   cameras, sharing the holder. With cameras made, the holder's shared frames read
///   ReadAheadFrames frames ahead of the clock on a thread of their own.
/// - AddX1D opens the file (index rebuilt when missing) and appends one VFakeDeviceNetX1D
///   holding it; a file that cannot be opened appends nothing and returns false, as above.
/// - AddSyntheticCamera appends one VFakeDeviceCameraSynth with id and position p and strobe
///   index 3; AddSyntheticSyncUnit one VFakeDeviceNetSynth.
/// A device whose position would pass MaxDevicePosition is not made (false; for the sync
/// units of files with a console line). Every operation returns false, appending nothing, when
/// the class definition list it needs (VFakeDeviceCameraX2DDefinitions,
/// VFakeDeviceCameraSynthDefinitions, VFakeDeviceNetX1DDefinitions,
/// VFakeDeviceNetX2DDefinitions, VFakeDeviceNetSynthDefinitions) is not registered; an X2D
/// file whose sync-unit list is missing still makes its cameras.
///
/// Threading contract: as IDeviceLoader (main thread, manager lock held). Holds no state.
class VTrialLoader final : public IDeviceLoader
{
public:
    /// The highest device position whose shell port is still a TCP port.
    static constexpr uint32_t MaxDevicePosition = 65535 - VFakeDevice::ShellBasePort;
    /// Trial frames decoded ahead of the one the cameras send.
    static constexpr uint32_t ReadAheadFrames = 2;

    bool AddX1D(VFakeDeviceManager& manager, const std::string& path) override;
    bool AddX2D(VFakeDeviceManager& manager, const std::string& path) override;
    bool AddSyntheticCamera(VFakeDeviceManager& manager, uint32_t model) override;
    bool AddSyntheticSyncUnit(VFakeDeviceManager& manager) override;

    /// Runs on the shared frames' read-ahead thread of a trial as it starts: real-time
    /// priority just below the frame clock's (VFakeDevice::VSyncThread), else the clock's
    /// raised nice value, else as it is.
    static void RaiseReadAheadPriority();

    /// The camera part of AddX2D for an open trial: appends its cameras and returns how many
    /// were made. `trial` must not be null.
    static uint32_t AddX2DCameras(VFakeDeviceManager& manager,
                                  const std::shared_ptr<VX2DHolder>& trial);
    /// The sync-unit part of AddX2D for an open trial: appends its sync unit when the trial
    /// has a start timecode; true when one was made. `trial` must not be null.
    static bool AddX2DSyncUnit(VFakeDeviceManager& manager,
                               const std::shared_ptr<VX2DHolder>& trial);
};
