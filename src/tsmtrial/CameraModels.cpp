#include "tsmtrial/CameraModels.h"

const std::vector<VCameraModel>& CameraModels()
{
    // Sensor sizes of the camera model table; "CellF" really is 8 pixels narrower.
    static const std::vector<VCameraModel> models = {
        {"Zt-H1", "KS1A", 659, 493},
        {"Zt-H0", "KS1A", 659, 493},
        {"Zt-M1", "KS2A", 1280, 1024},
        {"Zt-M4", "KS4A", 2352, 1728},
        {"Zt-K1", "KS2A", 1280, 1024},
        {"Zt-K2", "KS3A", 1600, 1280},
        {"Zt-K4", "KS4A", 2352, 1728},
        {"Zt-L2", "TR3B", 1600, 1280},
        {"Zt-L4", "TR5B", 2352, 1728},
        {"CellA", "TR1B", 1120, 896},
        {"CellB", "TR2B", 1120, 896},
        {"CellC", "TR3B", 1600, 1280},
        {"CellD", "TR4B", 1600, 1280},
        {"CellE", "TR5B", 2352, 1728},
        {"CellF", "TR6B", 2344, 1728},
        {"CellG", "TR7B", 4704, 3456},
        {"WREN_MOCAP_VGA", "LUPA300", 640, 480},
        {"WREN_VIDEO_VGA", "LUPA300", 640, 480},
        {"WREN_2_MOCAP_1MP", "CMV2000", 1024, 1024},
        {"WREN_2_VIDEO_1MP", "CMV2000", 1280, 720},
        {"WREN_2_VIDEO_1MP_C", "CMV2000", 1280, 720},
    };
    return models;
}

const VCameraModel* FindCameraModel(std::string_view label)
{
    for (const VCameraModel& model : CameraModels())
    {
        if (label == model.Label)
        {
            return &model;
        }
    }
    return nullptr;
}

std::string CameraModelLabels()
{
    std::string labels;
    for (const VCameraModel& model : CameraModels())
    {
        if (!labels.empty())
        {
            labels += ", ";
        }
        labels += model.Label;
    }
    return labels;
}
