#include "devices/camera/VFakeDeviceCameraX2DParsed.h"

#include "FileIO/X2DIO/VCameraInfoHeader.h"
#include "devices/camera/VFakeDeviceCameraX2D.h"
#include "params/IString.h"
#include "sources/VX2DPreparedStreams.h"

#include <cstdio>
#include <string>
#include <utility>

constinit VDeviceClassDefinitions
    VFakeDeviceCameraX2DParsedDefinitions("Camera", "Camera parameters",
                                          &VFakeDeviceCameraX2DParsed::AddDefinitions);

namespace
{
constexpr uint32_t kGreyscalePortOffset = 1000;

/// The record of camera `index`, or a default record beyond the list.
CameraInfoRecord RecordOf(const VX2DPreparedStreams* streams, uint32_t index)
{
    if (streams == nullptr || index >= streams->GetCameraCount())
        return {};
    return streams->GetCameras()[index];
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

bool VFakeDeviceCameraX2DParsed::AddDefinitions(IParamDefinitionList& list)
{
    return VFakeDeviceCamera::AddCameraDefinitions(list);
}

VFakeDeviceCameraX2DParsed::VFakeDeviceCameraX2DParsed(
    VFakeDeviceManager& manager, std::shared_ptr<const VX2DPreparedStreams> streams,
    uint32_t cameraIndex, uint32_t position, uint32_t localAddress, uint32_t halAddress)
    : VDefinitionListKeeper(VFakeDeviceCameraX2DParsedDefinitions.Get()),
      VFakeDeviceCamera(manager, RecordOf(streams.get(), cameraIndex).CameraId, position,
                        localAddress, halAddress, CreateParamList()),
      m_Streams(std::move(streams)), m_CameraIndex(cameraIndex)
{
    const CameraInfoRecord record = RecordOf(m_Streams.get(), m_CameraIndex);
    // The type first: it fills the model's sensor size, which the record's then replaces.
    SetParam("DeviceType", VFakeDeviceCameraX2D::DeviceTypeForTypeName(record.TypeName));
    SetParam("SensorWidth", record.SensorWidth);
    SetParam("SensorHeight", record.SensorHeight);
    SetParam("SystemFrameRate", m_Streams != nullptr ? m_Streams->GetSystemFrameRate() : 0.0);
    VFakeDeviceCameraX2D::WarnIfUnknownModel(*this);
}

VFakeDeviceCameraX2DParsed::~VFakeDeviceCameraX2DParsed() = default;

void VFakeDeviceCameraX2DParsed::GetDescription(IString& out) const
{
    const std::string text = "X2D: " + GetParamOr<std::string>("DeviceType", "") + " " +
                             GetParamOr<std::string>("DeviceID", "");
    out.Assign(text.c_str());
}

void VFakeDeviceCameraX2DParsed::OnDisconnected()
{
    m_Sources.Release();
    VFakeDeviceCamera::OnDisconnected();
}

void VFakeDeviceCameraX2DParsed::SetDataPort(uint32_t port)
{
    m_Sources.Replace(std::make_unique<VFakeSourceCentroidX2DParsed>(Target(*this, port), m_Streams,
                                                                     m_CameraIndex),
                      std::make_unique<VFakeSourceGreyscaleX2DParsed>(
                          Target(*this, port + kGreyscalePortOffset), m_Streams, m_CameraIndex));
}

void VFakeDeviceCameraX2DParsed::OnFrame(uint32_t frame, uint32_t previous)
{
    const std::string skipped = VFakeDeviceCameraX2D::SkipLine(GetDeviceId(), frame, previous);
    if (!skipped.empty())
    {
        std::fputs(skipped.c_str(), stdout);
        std::fflush(stdout);
    }

    std::lock_guard lock(GetDataLock());
    if (!IsSendingAllowed())
        return;
    uint32_t bytesSent = 0;
    if (VFakeSourceCentroidX2DParsed* centroids = m_Sources.GetCentroid();
        centroids != nullptr && GetParamOr("SupportsCentroids", false))
        centroids->SendFrame(frame, previous, bytesSent);
    if (VFakeSourceGreyscaleX2DParsed* greyscale = m_Sources.GetGreyscale();
        greyscale != nullptr && GetParamOr("SupportsGreyscale", false))
        greyscale->SendFrame(frame, previous, bytesSent);
}
