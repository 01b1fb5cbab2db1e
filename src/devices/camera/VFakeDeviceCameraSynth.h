// The synthetic camera: a camera of a chosen model whose frames are computed, a grid of
// centroids showing the frame number and an empty greyscale stream.
#pragma once

#include "devices/VDeviceClassDefinitions.h"
#include "devices/camera/TCameraSources.h"
#include "devices/camera/VFakeDeviceCamera.h"
#include "sources/IFakeSourceParams.h"
#include "sources/VFakeSource.h"

#include <cstdint>

class IParamDefinitionList;
class IString;
class VFakeDeviceManager;

/// The class-wide definition list of VFakeDeviceCameraSynth: the camera's definitions, then
/// "CentroidsX", "CentroidsY" and "GridType". Start-up does not register it; whoever creates
/// synthetic cameras registers it first.
extern constinit VDeviceClassDefinitions VFakeDeviceCameraSynthDefinitions;

/// `VFakeDeviceCameraSynth`: a camera whose data comes from the synthetic sources. On
/// "portset" with port p it makes a VFakeSourceCentroid at p and a VFakeSourceGreyscale at
/// p + 1000 (16-bit ports), towards the HAL's address; each tick sends one frame through
/// them while "Enabled" and "SystemEnabled" hold and "Preview" does not, the centroids only
/// when "SupportsCentroids" and the greyscale only when "SupportsGreyscale" is true. A model
/// outside the table (index 13, say) gives "DeviceType" "Unknown", protocol 0 and no support
/// for either stream, so such a camera sends nothing.
///
/// Threading contract: that of VFakeDeviceCamera. The sources live in a TCameraSources under
/// the data lock: made on the shell's receive thread, used on the frame thread, released on
/// the main thread by OnDisconnected. Create through VFakeDevice::Create, on the main thread,
/// after VFakeDeviceCameraSynthDefinitions has been registered (otherwise the camera has no
/// parameters and does nothing). Not copyable.
class VFakeDeviceCameraSynth : private VDefinitionListKeeper, public VFakeDeviceCamera
{
public:
    /// The strobe index the device manager passes ("IR").
    static constexpr uint32_t DefaultStrobeIndex = 3;

    /// Fills the class-wide list: AddCameraDefinitions, then the grid's three definitions.
    static bool AddDefinitions(IParamDefinitionList& list);

    /// The "DeviceType" of model index `model` ("Zt-H0" for 0 … "WREN_2_VIDEO_1MP_C" for
    /// 18); "Unknown" for 13 and for every index beyond the table.
    static const char* DeviceTypeForModel(uint32_t model);
    /// The "StrobeType" of strobe index `strobe`: "No Strobe", "Visible", "Near IR", "IR";
    /// "Unknown" for any other.
    static const char* StrobeTypeForIndex(uint32_t strobe);

    /// Addresses in network byte order. Sets "DeviceType" from `model`, then "StrobeType"
    /// from `strobe`. Main thread.
    VFakeDeviceCameraSynth(VFakeDeviceManager& manager, uint32_t deviceId, uint32_t position,
                           uint32_t localAddress, uint32_t halAddress, uint32_t model,
                           uint32_t strobe);
    ~VFakeDeviceCameraSynth() override;

    /// "Synth: ", "DeviceType", " ", "DeviceID".
    void GetDescription(IString& out) const override;

protected:
    /// Releases the sources, then the camera's own disconnect handling.
    void OnDisconnected() override;
    void SetDataPort(uint32_t port) override;
    void OnFrame(uint32_t frame, uint32_t previous) override;

private:
    TDeviceParamReader<VFakeDevice> m_SourceParams{*this}; // read by the sources
    TCameraSources<VFakeSource, VFakeSource> m_Sources{GetDataLock()};
};
