// The camera frame info data holder: the info byte of a camera's device record.
#pragma once

#include "FileIO/VCameraFrameInfoDatum.h"
#include "FileIO/VDataHolderSingle.h"

#include <cstdint>

/// Camera frame info, format 0xDFEE: holds one info byte, which the X2D reader copies into
/// the device's greyscale set. The byte keeps its value until the next item decodes (it is
/// not reset between device records). Not thread-safe: used by the reader's thread only.
class VCameraFrameInfoDataHolder : public VDataHolderSingle<VCameraFrameInfoDatum>
{
public:
    VCameraFrameInfoDataHolder();

    std::uint8_t GetInfoByte() const { return m_InfoByte; }
    void SetInfoByte(std::uint8_t infoByte) { m_InfoByte = infoByte; }

private:
    std::uint8_t m_InfoByte = 0;
};
