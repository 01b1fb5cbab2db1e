// The device manager's loading operations, supplied from outside the device base: they build
// device classes (trial-file cameras, synthetic cameras) that depend on the data sources and
// the trial readers, which the device base itself does not link.
#pragma once

#include <cstdint>
#include <string>

class VFakeDeviceManager;

/// Creates devices and appends them to a manager. The manager holds one (handed in with its
/// options) and forwards its AddX1D, AddX2D, AddSyntheticCamera and AddSyntheticSyncUnit to
/// it while holding its own lock, so an implementation may call the manager's
/// GetDeviceCount and AddDevice (the lock is recursive) and sees no other addition between
/// computing a position and appending the device.
///
/// Threading contract: every operation runs on the main thread, with the manager's lock
/// held. The manager must not be destroyed during a call.
class IDeviceLoader
{
public:
    virtual ~IDeviceLoader() = default;

    /// Loads an X1D trial file and creates its sync unit. False when nothing was made.
    virtual bool AddX1D(VFakeDeviceManager& manager, const std::string& path) = 0;
    /// Loads an X2D trial file and creates its cameras. False when the file could not be
    /// opened (nothing appended); true otherwise, also when the file has no cameras.
    virtual bool AddX2D(VFakeDeviceManager& manager, const std::string& path) = 0;
    /// Creates one synthetic camera of camera model index `model`. False when none was made.
    virtual bool AddSyntheticCamera(VFakeDeviceManager& manager, uint32_t model) = 0;
    /// Creates one synthetic sync unit. False when none was made.
    virtual bool AddSyntheticSyncUnit(VFakeDeviceManager& manager) = 0;
};
