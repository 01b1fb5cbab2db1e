#include "devices/camera/VFakeDeviceCameraSynth.h"

#include "params/IParamDefinitionList.h"
#include "params/IString.h"
#include "params/ParamAccess.h"
#include "sources/VFakeSourceCentroid.h"
#include "sources/VFakeSourceGreyscale.h"

#include <iterator>
#include <memory>
#include <string>

constinit VDeviceClassDefinitions
    VFakeDeviceCameraSynthDefinitions("Camera", "Camera parameters",
                                      &VFakeDeviceCameraSynth::AddDefinitions);

namespace
{
/// "DeviceType" by model index; null marks the index that has no model.
constexpr const char* kModelDeviceTypes[] = {"Zt-H0",
                                             "Zt-M1",
                                             "Zt-M4",
                                             "Zt-K1",
                                             "Zt-K2",
                                             "Zt-K4",
                                             "Zt-L2",
                                             "Zt-L4",
                                             "CellC",
                                             "CellD",
                                             "CellE",
                                             "CellF",
                                             "CellG",
                                             nullptr,
                                             "WREN_MOCAP_VGA",
                                             "WREN_VIDEO_VGA",
                                             "WREN_2_MOCAP_1MP",
                                             "WREN_2_VIDEO_1MP",
                                             "WREN_2_VIDEO_1MP_C"};

constexpr const char* kStrobeTypes[] = {"No Strobe", "Visible", "Near IR", "IR"};

constexpr const char* kUnknown = "Unknown";

/// Where the greyscale source of a camera with data port `port` sends.
constexpr uint32_t kGreyscalePortOffset = 1000;

bool AddGridDefinition(IParamDefinitionList& list, const char* key, const char* displayName,
                       const char* description)
{
    IParamDefinition* definition =
        AddTypedDefinition<int32_t>(list, key, displayName, description, "Output", 25);
    if (definition == nullptr || AddOptionValue<int32_t>(*definition, "Min", 0) == nullptr ||
        AddOptionValue<int32_t>(*definition, "Max", 50) == nullptr)
        return false;
    definition->SetOptionRange(true);
    return true;
}
} // namespace

bool VFakeDeviceCameraSynth::AddDefinitions(IParamDefinitionList& list)
{
    if (!VFakeDeviceCamera::AddCameraDefinitions(list))
        return false;
    if (!AddGridDefinition(list, "CentroidsX", "Centroids X",
                           "Number of centroids in the X direction for the centroid grid.") ||
        !AddGridDefinition(list, "CentroidsY", "Centroids Y",
                           "Number of centroids in the Y direction for the centroid grid."))
        return false;
    IParamDefinition* gridType =
        AddTypedDefinition<int32_t>(list, "GridType", "Pattern", "Output pattern.", "Output", 0);
    return gridType != nullptr &&
           AddOptionValue<int32_t>(*gridType, "Frame number", 0) != nullptr &&
           AddOptionValue<int32_t>(*gridType, "Grid", 1) != nullptr;
}

const char* VFakeDeviceCameraSynth::DeviceTypeForModel(uint32_t model)
{
    if (model >= std::size(kModelDeviceTypes) || kModelDeviceTypes[model] == nullptr)
        return kUnknown;
    return kModelDeviceTypes[model];
}

const char* VFakeDeviceCameraSynth::StrobeTypeForIndex(uint32_t strobe)
{
    return strobe < std::size(kStrobeTypes) ? kStrobeTypes[strobe] : kUnknown;
}

VFakeDeviceCameraSynth::VFakeDeviceCameraSynth(VFakeDeviceManager& manager, uint32_t deviceId,
                                               uint32_t position, uint32_t localAddress,
                                               uint32_t halAddress, uint32_t model, uint32_t strobe)
    : VDefinitionListKeeper(VFakeDeviceCameraSynthDefinitions.Get()),
      VFakeDeviceCamera(manager, deviceId, position, localAddress, halAddress, CreateParamList())
{
    SetParam("DeviceType", DeviceTypeForModel(model));
    SetParam("StrobeType", StrobeTypeForIndex(strobe));
}

VFakeDeviceCameraSynth::~VFakeDeviceCameraSynth() = default;

void VFakeDeviceCameraSynth::GetDescription(IString& out) const
{
    const std::string text = "Synth: " + GetParamOr<std::string>("DeviceType", "") + " " +
                             GetParamOr<std::string>("DeviceID", "");
    out.Assign(text.c_str());
}

void VFakeDeviceCameraSynth::OnDisconnected()
{
    m_Sources.Release();
    VFakeDeviceCamera::OnDisconnected();
}

void VFakeDeviceCameraSynth::SetDataPort(uint32_t port)
{
    VFakeSourceTarget centroids;
    centroids.DeviceId = GetDeviceId();
    centroids.HalAddress = GetHalAddress();
    centroids.LocalAddress = GetLocalAddress();
    centroids.Faults = &GetFaults();
    centroids.Port = static_cast<uint16_t>(port);
    VFakeSourceTarget greyscale = centroids;
    greyscale.Port = static_cast<uint16_t>(port + kGreyscalePortOffset);
    m_Sources.Replace(std::make_unique<VFakeSourceCentroid>(m_SourceParams, centroids),
                      std::make_unique<VFakeSourceGreyscale>(greyscale));
}

void VFakeDeviceCameraSynth::OnFrame(uint32_t frame, uint32_t previous)
{
    std::lock_guard lock(GetDataLock());
    if (!IsSendingAllowed())
        return;
    uint32_t bytesSent = 0;
    if (VFakeSource* centroids = m_Sources.GetCentroid();
        centroids != nullptr && GetParamOr("SupportsCentroids", false))
        centroids->SendFrame(frame, previous, bytesSent);
    if (VFakeSource* greyscale = m_Sources.GetGreyscale();
        greyscale != nullptr && GetParamOr("SupportsGreyscale", false))
        greyscale->SendFrame(frame, previous, bytesSent);
}
