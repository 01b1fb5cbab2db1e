// The camera models that a generated trial can name: device-type label, sensor chip and
// sensor size, as the simulated cameras know them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One camera model.
struct VCameraModel
{
    const char* Label;      ///< the "DeviceType" label, e.g. "Zt-M4"
    const char* SensorType; ///< the sensor chip, e.g. "KS4A"
    std::uint32_t SensorWidth;
    std::uint32_t SensorHeight;
};

/// The model with `label` (exact, case-sensitive); null when there is none.
const VCameraModel* FindCameraModel(std::string_view label);

/// Every model, in the order of the camera's "DeviceType" options.
const std::vector<VCameraModel>& CameraModels();

/// The labels, separated by ", ", for messages.
std::string CameraModelLabels();
