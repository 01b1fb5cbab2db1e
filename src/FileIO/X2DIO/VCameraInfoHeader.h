// The camera information block of an X2D file (HeaderId 0): the system frame rate and one
// record per recorded camera (sensor size, identifier, type name and further values).
#pragma once

#include "FileIO/VDataFormatInfo.h"
#include "FileIO/X2DIO/ICustomHeader.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// One camera of the camera list. Fields without a key in the file keep these defaults.
struct CameraInfoRecord
{
    /// Keys of the camera list's fields.
    static constexpr std::uint16_t kKeySensorWidth = 0xAA00;
    static constexpr std::uint16_t kKeySensorHeight = 0xAA01;
    static constexpr std::uint16_t kKeyCameraId = 0xAA02;
    static constexpr std::uint16_t kKeyRealAA03 = 0xAA03;
    static constexpr std::uint16_t kKeyUnsignedAA07 = 0xAA07;
    static constexpr std::uint16_t kKeyTypeName = 0xAA08;
    static constexpr std::uint16_t kKeyUnsignedAA09 = 0xAA09;
    static constexpr std::uint16_t kKeyGroupsAA10 = 0xAA10;
    static constexpr std::uint16_t kKeyCameraValue = 0xAA11;
    static constexpr std::uint16_t kKeyTextAA12 = 0xAA12;

    /// Key 0xAA03: a real value the reader carries without meaning.
    double RealAA03 = 1.0;
    std::uint32_t SensorWidth = 0;
    std::uint32_t SensorHeight = 0;
    /// The camera's identifier; the reader names the camera "zt:" + CameraId.
    std::uint32_t CameraId = 10000;
    /// Key 0xAA07: an unsigned value carried without meaning.
    std::uint32_t UnsignedAA07 = 10000;
    /// The camera's type text.
    std::string TypeName;
    /// Key 0xAA12: a text carried without meaning.
    std::string TextAA12;
    /// Key 0xAA09: an unsigned value carried without meaning.
    std::uint32_t UnsignedAA09 = 0;
    /// Key 0xAA10: groups of five numbers, stored in the file as text.
    std::vector<std::array<std::uint32_t, 5>> GroupsAA10;
    /// Copied into every centroid set of the camera.
    double CameraValue = -1.0;

    bool operator==(const CameraInfoRecord&) const = default;
};

/// The camera information header. Read replaces the rate and, when the block has a camera
/// list, the records (with the records read whole when the list is cut short); Write encodes them
/// with the header format 0xCFAB and the record format chosen by SetRecordFormat (by default every
/// key above). Owned by the X2D reader or writer; not thread-safe: one thread at a time.
class VCameraInfoHeader final : public ICustomHeader
{
public:
    static constexpr std::uint16_t kHeaderId = 0;
    static constexpr std::uint16_t kHeaderFormatId = 0xCFAB;
    static constexpr std::uint16_t kRecordFormatId = 0xCFAA;
    static constexpr std::uint16_t kKeySystemFrameRate = 0xAA05;
    static constexpr std::uint16_t kKeyCameraList = 0xAA06;

    VCameraInfoHeader();

    std::uint16_t GetHeaderId() const override { return kHeaderId; }
    bool Read(IBinaryInputStream& stream) override;
    bool Write(IBinaryOutputStream& stream) const override;

    const std::vector<CameraInfoRecord>& GetCameras() const { return m_Cameras; }
    void SetCameras(std::vector<CameraInfoRecord> cameras) { m_Cameras = std::move(cameras); }
    /// In Hz; 0.0 until read or set.
    double GetSystemFrameRate() const { return m_SystemFrameRate; }
    void SetSystemFrameRate(double rate) { m_SystemFrameRate = rate; }

    /// The format in which Write encodes each camera record. Keys it lacks are not written
    /// (the reader then uses the defaults); keys of no meaning here are written empty.
    void SetRecordFormat(VDataFormatInfo format) { m_RecordFormat = std::move(format); }
    const VDataFormatInfo& GetRecordFormat() const { return m_RecordFormat; }
    /// Every key of CameraInfoRecord, in the order of the table of keys.
    static VDataFormatInfo DefaultRecordFormat();

private:
    bool ReadCameraList(IBinaryInputStream& stream);
    bool ReadCameraRecord(IBinaryInputStream& stream, const VDataFormatInfo& format,
                          CameraInfoRecord& record);
    bool WriteCameraList(IBinaryOutputStream& stream) const;

    std::vector<CameraInfoRecord> m_Cameras;
    double m_SystemFrameRate = 0.0;
    VDataFormatInfo m_RecordFormat;
};
