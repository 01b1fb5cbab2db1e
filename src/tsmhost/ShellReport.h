// Reading a device shell's "info" report: lines of "name : value", and the items the host
// needs from it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

/// The items of one report, in their order; names and values trimmed. Lines without " : "
/// are kept apart. A value type.
struct VShellReport
{
    std::vector<std::pair<std::string, std::string>> Items;
    std::vector<std::string> OtherLines;

    /// The value of the first item called `name` (exact), or nothing.
    std::optional<std::string> Find(std::string_view name) const;
    /// The values of every item called `name`, in order.
    std::vector<std::string> FindAll(std::string_view name) const;
};

/// Splits a reply into its lines ("\n", with or without "\r") and each line at the first
/// " : ". Empty lines are skipped.
VShellReport ParseShellReport(std::string_view reply);

/// What the host learns from a device's "info" report.
struct VDeviceInfo
{
    std::string DeviceType;        ///< "Device Type"
    std::string DisplayDeviceType; ///< "Display Device Type"
    std::optional<std::uint32_t> DeviceId;
    std::uint32_t SensorWidth = 0; ///< "Sensor Dimensions", "W x H"; 0 when absent
    std::uint32_t SensorHeight = 0;
    /// A "Stream" item whose value starts with "V2": the camera frames its greyscale stream
    /// with headers on the data port + 5000 and sends no centroid stream.
    bool Protocol2 = false;
    /// The system frame rate, when the report names one ("SystemFrameRate", "System Frame
    /// Rate" or "Frame Rate"); the device classes of this system do not.
    std::optional<double> SystemFrameRate;
};

/// Reads the items above from `report`. Values that do not read as numbers are left out.
VDeviceInfo ReadDeviceInfo(const VShellReport& report);
