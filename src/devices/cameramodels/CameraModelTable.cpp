#include "devices/cameramodels/CameraModelTable.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace
{

// clang-format off
constexpr std::array<VCameraModel, 24> kModels = {{
    // type                  P  C      G     V      sensor     W     H     GW   GH   TW  TH
    {"Zt-H0",                1, true,  true, false, "KS1A",    659,  493,  132, 247, 5,  2},
    {"Zt-H1",                1, true,  true, false, "KS1A",    659,  493,  132, 247, 5,  2},
    {"Zt-M1",                1, true,  true, false, "KS2A",    1280, 1024, 256, 103, 5,  10},
    {"Zt-K1",                1, true,  true, false, "KS2A",    1280, 1024, 256, 103, 5,  10},
    {"Zt-K2",                1, true,  true, false, "KS3A",    1600, 1280, 200, 80,  8,  16},
    {"Zt-L2",                1, true,  true, false, "TR3B",    1600, 1280, 200, 80,  8,  16},
    {"Zt-M4",                1, true,  true, false, "KS4A",    2352, 1728, 294, 108, 8,  16},
    {"Zt-M4x",               1, true,  true, false, "KS4A",    2352, 1728, 294, 108, 8,  16},
    {"Zt-K4",                1, true,  true, false, "KS4A",    2352, 1728, 294, 108, 8,  16},
    {"Zt-L4",                1, true,  true, false, "TR5B",    2352, 1728, 294, 108, 8,  16},
    {"CellA",                1, true,  true, false, "TR1B",    1120, 896,  140, 56,  8,  16},
    {"CellB",                1, true,  true, false, "TR2B",    1120, 896,  140, 56,  8,  16},
    {"CellC",                1, true,  true, false, "TR3B",    1600, 1280, 200, 80,  8,  16},
    {"CellD",                1, true,  true, false, "TR4B",    1600, 1280, 200, 80,  8,  16},
    {"CellE",                1, true,  true, false, "TR5B",    2352, 1728, 294, 108, 8,  16},
    // Narrower than the other 1728-line sensors: 2344, not 2352.
    {"CellF",                1, true,  true, false, "TR6B",    2344, 1728, 294, 108, 8,  16},
    {"CellG",                1, true,  true, false, "TR7B",    4704, 3456, 294, 108, 16, 32},
    {"WREN_MOCAP_VGA",       2, false, true, false, "LUPA300", 640,  480,  80,  60,  8,  8},
    {"WREN_VIDEO_VGA",       2, false, true, true,  "LUPA300", 640,  480,  80,  60,  8,  8},
    {"WREN_2_MOCAP_1MP",     2, false, true, false, "CMV2000", 1024, 1024, 128, 128, 8,  8},
    {"WREN_2_VIDEO_1MP",     2, false, true, true,  "CMV2000", 1280, 720,  160, 90,  8,  8},
    {"WREN_2_VIDEO_1MP_C",   2, false, true, true,  "CMV2000", 1280, 720,  160, 90,  8,  8},
    {"WREN_2_VIDEO_VGA",     2, false, true, true,  "CMV2000", 640,  480,  80,  60,  8,  8},
    {"WREN_2_MOCAP_VGA",     2, false, true, false, "CMV2000", 1024, 1024, 128, 128, 8,  8},
}};
// clang-format on

/// The models offered as "DeviceType" options, in option order.
constexpr const char* kOfferedTypes[] = {"Zt-H1",
                                         "Zt-H0",
                                         "Zt-M1",
                                         "Zt-M4",
                                         "Zt-K1",
                                         "Zt-K2",
                                         "Zt-K4",
                                         "Zt-L2",
                                         "Zt-L4",
                                         "CellA",
                                         "CellB",
                                         "CellC",
                                         "CellD",
                                         "CellE",
                                         "CellF",
                                         "CellG",
                                         "WREN_MOCAP_VGA",
                                         "WREN_VIDEO_VGA",
                                         "WREN_2_MOCAP_1MP",
                                         "WREN_2_VIDEO_1MP",
                                         "WREN_2_VIDEO_1MP_C"};

/// A sensor size that names a device type when a trial file gives no type.
struct VSensorAreaRule
{
    uint64_t m_Width;
    uint64_t m_Height;
    const char* m_DeviceType;
};

// Written as width and height so that each area is exactly the product of the
// sensor it names. The "Zt-H0" rule names a 659 x 494 sensor, one line more than
// the model's row; that model's threshold grid covers 660 x 494 pixels.
constexpr VSensorAreaRule kSensorAreaRules[] = {
    {2352, 1728, "Zt-M4"},
    {2344, 1728, "CellF"},
    {659, 494, "Zt-H0"},
    {1280, 1024, "Zt-M1"},
};

} // namespace

std::span<const VCameraModel> CameraModelTable::GetRows()
{
    return kModels;
}

const VCameraModel* CameraModelTable::Find(std::string_view deviceType)
{
    const auto found = std::find_if(kModels.begin(), kModels.end(),
                                    [deviceType](const VCameraModel& model)
                                    { return deviceType == model.m_DeviceType; });
    return found != kModels.end() ? &*found : nullptr;
}

VCameraModel CameraModelTable::Lookup(std::string_view deviceType)
{
    const VCameraModel* model = Find(deviceType);
    return model != nullptr ? *model : VCameraModel{};
}

std::span<const char* const> CameraModelTable::GetOfferedTypes()
{
    return kOfferedTypes;
}

const VCameraModel* CameraModelTable::FindOffered(std::string_view deviceType)
{
    const auto offered =
        std::find_if(std::begin(kOfferedTypes), std::end(kOfferedTypes),
                     [deviceType](const char* type) { return deviceType == type; });
    return offered != std::end(kOfferedTypes) ? Find(deviceType) : nullptr;
}

std::string CameraModelTable::OfferedTypesText()
{
    std::string text;
    for (const char* type : kOfferedTypes)
    {
        if (!text.empty())
            text += ", ";
        text += type;
    }
    return text;
}

const char* CameraModelTable::DeviceTypeForSensorArea(uint32_t width, uint32_t height)
{
    const uint64_t area = uint64_t{width} * uint64_t{height};
    for (const VSensorAreaRule& rule : kSensorAreaRules)
    {
        if (area == rule.m_Width * rule.m_Height)
            return rule.m_DeviceType;
    }
    return "";
}
