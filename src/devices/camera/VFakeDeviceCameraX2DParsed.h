// The prepared-trial camera: one camera of an X2D trial whose streams were prepared in full
// before the cameras start, replayed from memory.
#pragma once

#include "devices/VDeviceClassDefinitions.h"
#include "devices/camera/TCameraSources.h"
#include "devices/camera/VFakeDeviceCamera.h"
#include "sources/VFakeSourceCentroidX2DParsed.h"
#include "sources/VFakeSourceGreyscaleX2DParsed.h"

#include <cstdint>
#include <memory>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;
class VX2DPreparedStreams;

/// The class-wide definition list of VFakeDeviceCameraX2DParsed (the camera's definitions
/// alone), registered by start-up.
extern constinit VDeviceClassDefinitions VFakeDeviceCameraX2DParsedDefinitions;

/// `VFakeDeviceCameraX2DParsed`: camera `cameraIndex` of a trial's prepared streams. Its
/// device id is the record's CameraId, "DeviceType" follows the record's type name as for
/// the trial-file camera but without the sensor-size fallback (the streams have filled empty
/// names already; a name still empty stays empty), then "SensorWidth", "SensorHeight" and
/// "SystemFrameRate" come from the record and the trial. A camera index beyond the camera
/// list stands for a default record. A type the model table does not hold gives a warning
/// that the camera will send nothing.
///
/// "portset" with port p (16-bit) makes a VFakeSourceCentroidX2DParsed at p and a
/// VFakeSourceGreyscaleX2DParsed at p + 1000. Each tick prints the skip line when the frame
/// number did not advance by one, then, while "Enabled" and "SystemEnabled" hold and
/// "Preview" does not, sends the centroid frame (when "SupportsCentroids") and the greyscale
/// frame (when "SupportsGreyscale").
///
/// Threading contract: that of VFakeDeviceCamera; the sources live in a TCameraSources under
/// the data lock. The prepared streams are immutable and shared. Create through
/// VFakeDevice::Create, on the main thread, after VFakeDeviceCameraX2DParsedDefinitions has
/// been registered. Not copyable.
class VFakeDeviceCameraX2DParsed : private VDefinitionListKeeper, public VFakeDeviceCamera
{
public:
    /// Fills the class-wide list: AddCameraDefinitions.
    static bool AddDefinitions(IParamDefinitionList& list);

    /// Addresses in network byte order; `streams` may be null (a trial without cameras and
    /// frames). Main thread.
    VFakeDeviceCameraX2DParsed(VFakeDeviceManager& manager,
                               std::shared_ptr<const VX2DPreparedStreams> streams,
                               uint32_t cameraIndex, uint32_t position, uint32_t localAddress,
                               uint32_t halAddress);
    ~VFakeDeviceCameraX2DParsed() override;

    /// "X2D: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

    uint32_t GetCameraIndex() const { return m_CameraIndex; }

protected:
    /// Releases the sources, then the camera's own disconnect handling.
    void OnDisconnected() override;
    void SetDataPort(uint32_t port) override;
    void OnFrame(uint32_t frame, uint32_t previous) override;

private:
    const std::shared_ptr<const VX2DPreparedStreams> m_Streams;
    const uint32_t m_CameraIndex;
    TCameraSources<VFakeSourceCentroidX2DParsed, VFakeSourceGreyscaleX2DParsed> m_Sources{
        GetDataLock()};
};
