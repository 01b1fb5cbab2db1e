// The camera models: for each device-type label the values of the eleven
// model-dependent camera parameters, the types a camera offers as "DeviceType" options,
// and the sensor-size rule that names a model when a trial file records only the sensor.
// Shared by the camera device and by tsmtrial.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// One row of the model table: a device-type label and what a camera of that type
/// reports in "ProtocolVersion", "SupportsCentroids", "SupportsGreyscale",
/// "SupportsVideo", "SensorType", "SensorWidth", "SensorHeight",
/// "FineThresholdGridWidth", "FineThresholdGridHeight", "FineThresholdGridTileWidth"
/// and "FineThresholdGridTileHeight". A value-initialised model (empty label, 0,
/// false, "") is what an unknown type reports. The texts are static.
struct VCameraModel
{
    const char* m_DeviceType = "";
    int32_t m_ProtocolVersion = 0;
    bool m_SupportsCentroids = false;
    bool m_SupportsGreyscale = false;
    bool m_SupportsVideo = false;
    const char* m_SensorType = "";
    int32_t m_SensorWidth = 0;
    int32_t m_SensorHeight = 0;
    int32_t m_GridWidth = 0;      ///< "FineThresholdGridWidth", in tiles
    int32_t m_GridHeight = 0;     ///< "FineThresholdGridHeight", in tiles
    int32_t m_GridTileWidth = 0;  ///< "FineThresholdGridTileWidth", in pixels
    int32_t m_GridTileHeight = 0; ///< "FineThresholdGridTileHeight", in pixels
};

/// The process-wide, unchanging table of the 24 camera models, keyed by the exact,
/// case-sensitive device-type label. Three rows ("Zt-M4x", "WREN_2_VIDEO_VGA",
/// "WREN_2_MOCAP_VGA") are not among the "DeviceType" options; they are reached
/// only when "DeviceType" is set to such a text directly.
///
/// The table is a constant built before the program runs and never written, so
/// every operation is safe on any thread without a lock. Looking up an unknown
/// label gives the empty model and does not add a row, so the table stays bounded
/// whatever labels a trial file or a host supplies.
class CameraModelTable
{
public:
    CameraModelTable() = delete;

    /// Every row, in table order.
    static std::span<const VCameraModel> GetRows();

    /// The row of `deviceType`, or null when the table has none.
    static const VCameraModel* Find(std::string_view deviceType);

    /// The row of `deviceType`, or the empty model (0, false, "") when the table
    /// has none; the returned label is then empty as well.
    static VCameraModel Lookup(std::string_view deviceType);

    /// The 21 device types a camera offers as its "DeviceType" options, in option order
    /// (every table row but "Zt-M4x", "WREN_2_VIDEO_VGA" and "WREN_2_MOCAP_VGA").
    static std::span<const char* const> GetOfferedTypes();

    /// The row of `deviceType` when it is one of the offered types, else null.
    static const VCameraModel* FindOffered(std::string_view deviceType);

    /// The offered types in option order, separated by ", ", for messages.
    static std::string OfferedTypesText();

    /// The device type that a trial file's camera record stands for when it names
    /// no type but only its sensor, judged by the sensor area width × height:
    /// 2352 × 1728 gives "Zt-M4", 2344 × 1728 "CellF", 659 × 494 "Zt-H0" and
    /// 1280 × 1024 "Zt-M1"; any other area gives "" (the empty text, never null).
    /// The area is computed in 64 bits, so no size wraps onto another.
    static const char* DeviceTypeForSensorArea(uint32_t width, uint32_t height);
};
