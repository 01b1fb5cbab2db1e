// The trial-file camera: one camera record of a loaded X2D trial, replayed frame by frame
// through the trial-file sources.
#pragma once

#include "devices/camera/TCameraSources.h"
#include "devices/camera/VFakeDeviceCamera.h"
#include "devices/VDeviceClassDefinitions.h"
#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "sources/IFakeSourceParams.h"
#include "sources/VFakeSourceCentroidX2D.h"
#include "sources/VFakeSourceGreyscaleX2D.h"

#include <cstdint>
#include <memory>
#include <string>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;
class VX2DHolder;

/// The class-wide definition list of VFakeDeviceCameraX2D (the camera's definitions alone),
/// registered by start-up.
extern constinit VDeviceClassDefinitions VFakeDeviceCameraX2DDefinitions;

/// `VFakeDeviceCameraX2D`: camera `cameraIndex` of a trial shared by every device made from
/// the file. Its device id is the record's CameraId; "DeviceType" follows the record's type
/// name (DeviceTypeForRecord), then "SensorWidth" and "SensorHeight" take the record's values
/// and "SystemFrameRate" the trial's. A camera index beyond the file's camera list stands for
/// a default record (id 10000, no type, sensor 0 × 0). A type the model table does not hold
/// ("KS3A", say) gives protocol 0 and no stream support; the constructor then prints a
/// warning that the camera will send nothing.
///
/// "portset" with port p (16-bit): protocol 1 makes a VFakeSourceCentroidX2D at p and a
/// VFakeSourceGreyscaleX2D at p + 1000; protocol 2 replaces only the greyscale source, at p +
/// 5000; any other protocol changes nothing. Each tick first prints the skip line
/// (SkipLine) when the frame number did not advance by exactly one, then, while "Enabled" and
/// "SystemEnabled" hold and "Preview" does not, hands the centroid source the mode of
/// "Tracking" and sends its frame (when "SupportsCentroids"), then the greyscale frame (when
/// "SupportsGreyscale").
///
/// Threading contract: that of VFakeDeviceCamera. The sources live in a TCameraSources under
/// the data lock: made on the shell's receive thread, used on the frame thread, released on
/// the main thread by OnDisconnected. The trial is read through its holder's own lock. Create
/// through VFakeDevice::Create, on the main thread, after VFakeDeviceCameraX2DDefinitions has
/// been registered (otherwise the camera has no parameters and does nothing). Not copyable.
class VFakeDeviceCameraX2D : private VDefinitionListKeeper, public VFakeDeviceCamera
{
public:
    /// Fills the class-wide list: AddCameraDefinitions.
    static bool AddDefinitions(IParamDefinitionList& list);

    /// The "DeviceType" a record's type name stands for: "KS1A" and "Zt-H0" give "Zt-H0",
    /// "KS2A" and "Zt-M1" give "Zt-M1", "KS4A" and "Zt-M4" give "Zt-M4", any other non-empty
    /// name is used as it is; an empty name gives "".
    static std::string DeviceTypeForTypeName(const std::string& typeName);
    /// As DeviceTypeForTypeName, but a record without a type name is judged by its sensor
    /// size (CameraModelTable::DeviceTypeForSensorArea: 2352 × 1728 "Zt-M4", 2344 × 1728
    /// "CellF", 659 × 494 "Zt-H0", 1280 × 1024 "Zt-M1", otherwise "").
    static std::string DeviceTypeForRecord(const CameraInfoRecord& record);

    /// The line printed when `frame` does not follow `previous` directly: "Device <id>
    /// skipped <frame - previous> frames between frame numbers <previous> and <frame>\n",
    /// every number printed as a signed 32-bit value (a jump backwards shows a negative
    /// count). Empty when frame - previous is 1.
    static std::string SkipLine(uint32_t deviceId, uint32_t frame, uint32_t previous);

    /// Prints the warning about a camera of a type that the model table does not hold, when
    /// the camera's "DeviceType" is such a type. Shared with the prepared-trial camera.
    static void WarnIfUnknownModel(const VFakeDeviceCamera& camera);

    /// Addresses in network byte order. `trial` is shared with the file's other devices;
    /// null stands for a trial without cameras and frames. Main thread.
    VFakeDeviceCameraX2D(VFakeDeviceManager& manager, std::shared_ptr<VX2DHolder> trial,
                         uint32_t cameraIndex, uint32_t position, uint32_t localAddress,
                         uint32_t halAddress);
    ~VFakeDeviceCameraX2D() override;

    /// "X2D: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

    uint32_t GetCameraIndex() const { return m_CameraIndex; }

protected:
    /// Releases the sources, then the camera's own disconnect handling.
    void OnDisconnected() override;
    void SetDataPort(uint32_t port) override;
    void OnFrame(uint32_t frame, uint32_t previous) override;

private:
    /// What the constructor takes from the trial before the device base is built.
    struct VTrialCamera
    {
        CameraInfoRecord m_Record; ///< a default record beyond the camera list
        double m_SystemFrameRate = 0.0;
    };
    static VTrialCamera ReadTrialCamera(const VX2DHolder* trial, uint32_t cameraIndex);

    VFakeDeviceCameraX2D(VFakeDeviceManager& manager, std::shared_ptr<VX2DHolder> trial,
                         uint32_t cameraIndex, uint32_t position, uint32_t localAddress,
                         uint32_t halAddress, const VTrialCamera& camera);

    const std::shared_ptr<VX2DHolder> m_Trial;
    const uint32_t m_CameraIndex;
    TDeviceParamReader<VFakeDevice> m_SourceParams{*this}; // read by the greyscale source
    TCameraSources<VFakeSourceCentroidX2D, VFakeSourceGreyscaleX2D> m_Sources{GetDataLock()};
};
