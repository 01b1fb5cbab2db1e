// Trial files with chosen camera records, for the tests of the devices that replay them.
#pragma once

#include "FileIO/X2DIO/VCameraInfoHeader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport
{

/// A camera record of the given type name and sensor, with id `id`.
CameraInfoRecord CameraRecord(std::uint32_t id, const std::string& typeName, std::uint32_t width,
                              std::uint32_t height);

/// What WriteGeneratedTrial writes: the generator's frames of `Frames` frames for as many
/// cameras as `Cameras` holds, with these records in place of the generator's.
struct VGeneratedTrialLayout
{
    std::vector<CameraInfoRecord> Cameras;
    std::uint32_t Frames = 20;
    double Rate = 100.0;
    std::uint32_t Markers = 6;
    /// Cameras per frame; by default the number of records.
    std::optional<std::uint32_t> DeviceCount;
};

/// Writes an X2D trial of synthetic markers (VX2DTrialGenerator) whose camera list is
/// `layout.Cameras`. False, with a test failure, when it cannot be written.
bool WriteGeneratedTrial(const std::string& path, const VGeneratedTrialLayout& layout);

} // namespace testsupport
