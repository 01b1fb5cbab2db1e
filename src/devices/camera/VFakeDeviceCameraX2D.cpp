#include "devices/camera/VFakeDeviceCameraX2D.h"

#include "FileIO/X2DIO/VX2DHolder.h"
#include "devices/ShellArguments.h"
#include "devices/cameramodels/CameraModelTable.h"
#include "params/IString.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

constinit VDeviceClassDefinitions
    VFakeDeviceCameraX2DDefinitions("Camera", "Camera parameters",
                                    &VFakeDeviceCameraX2D::AddDefinitions);

namespace
{
/// Where the greyscale source of a camera with data port p sends, by protocol.
constexpr uint32_t kGreyscalePortOffsetV1 = 1000;
constexpr uint32_t kGreyscalePortOffsetV2 = 5000;

int Signed(uint32_t value)
{
    return static_cast<int>(static_cast<int32_t>(value));
}

VFakeSourceTarget Target(const VFakeDevice& device, uint32_t port)
{
    VFakeSourceTarget target;
    target.DeviceId = device.GetDeviceId();
    target.HalAddress = device.GetHalAddress();
    target.LocalAddress = device.GetLocalAddress();
    target.Faults = &device.GetFaults();
    target.Port = static_cast<uint16_t>(port);
    return target;
}
} // namespace

bool VFakeDeviceCameraX2D::AddDefinitions(IParamDefinitionList& list)
{
    return VFakeDeviceCamera::AddCameraDefinitions(list);
}

std::string VFakeDeviceCameraX2D::DeviceTypeForTypeName(const std::string& typeName)
{
    if (typeName == "KS1A" || typeName == "Zt-H0")
        return "Zt-H0";
    if (typeName == "KS2A" || typeName == "Zt-M1")
        return "Zt-M1";
    if (typeName == "KS4A" || typeName == "Zt-M4")
        return "Zt-M4";
    return typeName;
}

std::string VFakeDeviceCameraX2D::DeviceTypeForRecord(const CameraInfoRecord& record)
{
    if (!record.TypeName.empty())
        return DeviceTypeForTypeName(record.TypeName);
    return CameraModelTable::DeviceTypeForSensorArea(record.SensorWidth, record.SensorHeight);
}

std::string VFakeDeviceCameraX2D::SkipLine(uint32_t deviceId, uint32_t frame, uint32_t previous)
{
    return ShellArguments::SkipLine(deviceId, frame, previous);
}

void VFakeDeviceCameraX2D::WarnIfUnknownModel(const VFakeDeviceCamera& camera)
{
    const std::string type = camera.GetParamOr<std::string>("DeviceType", "");
    if (CameraModelTable::Find(type) != nullptr)
        return;
    std::printf("%d: Camera type \"%s\" is not a known camera model: this camera will send no "
                "frame data\n",
                Signed(camera.GetDeviceId()), type.c_str());
    std::fflush(stdout);
}

VFakeDeviceCameraX2D::VTrialCamera VFakeDeviceCameraX2D::ReadTrialCamera(const VX2DHolder* trial,
                                                                         uint32_t cameraIndex)
{
    VTrialCamera camera;
    if (trial == nullptr)
        return camera;
    std::vector<CameraInfoRecord> records;
    trial->GetCameraInfo(records, camera.m_SystemFrameRate);
    if (cameraIndex < records.size())
        camera.m_Record = std::move(records[cameraIndex]);
    return camera;
}

VFakeDeviceCameraX2D::VFakeDeviceCameraX2D(VFakeDeviceManager& manager,
                                           std::shared_ptr<VX2DHolder> trial, uint32_t cameraIndex,
                                           uint32_t position, uint32_t localAddress,
                                           uint32_t halAddress)
    : VFakeDeviceCameraX2D(manager, trial, cameraIndex, position, localAddress, halAddress,
                           ReadTrialCamera(trial.get(), cameraIndex))
{
}

VFakeDeviceCameraX2D::VFakeDeviceCameraX2D(VFakeDeviceManager& manager,
                                           std::shared_ptr<VX2DHolder> trial, uint32_t cameraIndex,
                                           uint32_t position, uint32_t localAddress,
                                           uint32_t halAddress, const VTrialCamera& camera)
    : VDefinitionListKeeper(VFakeDeviceCameraX2DDefinitions.Get()),
      VFakeDeviceCamera(manager, camera.m_Record.CameraId, position, localAddress, halAddress,
                        CreateParamList()),
      m_Trial(std::move(trial)), m_CameraIndex(cameraIndex)
{
    // The type first: it fills the model's sensor size, which the record's then replaces.
    SetParam("DeviceType", DeviceTypeForRecord(camera.m_Record));
    SetParam("SensorWidth", camera.m_Record.SensorWidth);
    SetParam("SensorHeight", camera.m_Record.SensorHeight);
    SetParam("SystemFrameRate", camera.m_SystemFrameRate);
    WarnIfUnknownModel(*this);
}

VFakeDeviceCameraX2D::~VFakeDeviceCameraX2D() = default;

void VFakeDeviceCameraX2D::GetDescription(IString& out) const
{
    const std::string text = "X2D: " + GetParamOr<std::string>("DeviceType", "") + " " +
                             GetParamOr<std::string>("DeviceID", "");
    out.Assign(text.c_str());
}

void VFakeDeviceCameraX2D::OnDisconnected()
{
    m_Sources.Release();
    VFakeDeviceCamera::OnDisconnected();
}

void VFakeDeviceCameraX2D::SetDataPort(uint32_t port)
{
    switch (GetParamOr("ProtocolVersion", int32_t{0}))
    {
    case 1:
        m_Sources.Replace(
            std::make_unique<VFakeSourceCentroidX2D>(Target(*this, port), m_Trial, m_CameraIndex),
            std::make_unique<VFakeSourceGreyscaleX2D>(m_SourceParams,
                                                      Target(*this, port + kGreyscalePortOffsetV1),
                                                      m_Trial, m_CameraIndex));
        break;
    case 2:
        m_Sources.ReplaceGreyscale(std::make_unique<VFakeSourceGreyscaleX2D>(
            m_SourceParams, Target(*this, port + kGreyscalePortOffsetV2), m_Trial, m_CameraIndex));
        break;
    default:
        break;
    }
}

void VFakeDeviceCameraX2D::OnFrame(uint32_t frame, uint32_t previous)
{
    const std::string skipped = SkipLine(GetDeviceId(), frame, previous);
    if (!skipped.empty())
    {
        std::fputs(skipped.c_str(), stdout);
        std::fflush(stdout);
    }

    std::lock_guard lock(GetDataLock());
    if (!IsSendingAllowed())
        return;
    uint32_t bytesSent = 0;
    if (VFakeSourceCentroidX2D* centroids = m_Sources.GetCentroid();
        centroids != nullptr && GetParamOr("SupportsCentroids", false))
    {
        std::string tracking;
        if (GetParam("Tracking", tracking))
        {
            if (const std::optional<VFakeSourceCentroidX2D::ETrackingMode> mode =
                    VFakeSourceCentroidX2D::TrackingModeFromText(tracking))
                centroids->SetTrackingMode(*mode);
        }
        centroids->SendFrame(frame, previous, bytesSent);
    }
    if (VFakeSourceGreyscaleX2D* greyscale = m_Sources.GetGreyscale();
        greyscale != nullptr && GetParamOr("SupportsGreyscale", false))
        greyscale->SendFrame(frame, previous, bytesSent);
}
