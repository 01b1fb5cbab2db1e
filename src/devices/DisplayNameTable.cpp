#include "devices/DisplayNameTable.h"

#include <utility>

namespace
{

constexpr std::pair<std::string_view, std::string_view> kDisplayNames[] = {
    {"CellA", "ZT Cell A"},
    {"CellB", "ZT Cell A"},
    {"CellC", "ZT Cell C"},
    {"CellD", "ZT Cell C"},
    {"CellE", "ZT Cell E"},
    {"CellF", "ZT Cell E"},
    {"CellG", "ZT Cell G"},
    {"WREN_MOCAP_VGA", "Wren (Motion Capture)"},
    {"WREN_VIDEO_VGA", "Wren (Reference Video)"},
    {"WREN_2_MOCAP_1MP", "Wren 2 (Motion Capture)"},
    {"WREN_2_VIDEO_1MP", "Wren 2 (Reference Video)"},
    {"WREN_2_VIDEO_1MP_C", "Wren 2 (Color Reference Video)"},
};

} // namespace

std::string DisplayNameTable::GetDisplayName(std::string_view deviceType)
{
    for (const auto& [label, name] : kDisplayNames)
    {
        if (label == deviceType)
            return std::string(name);
    }
    return std::string(deviceType);
}
