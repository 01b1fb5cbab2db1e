#include "FileIO/VCameraFrameInfoDataHolder.h"

#include "FileIO/DefaultFormats.h"

VCameraFrameInfoDataHolder::VCameraFrameInfoDataHolder()
    : VDataHolderSingle(DefaultFormats::CameraFrameInfo())
{
    m_Datum.SetDestination(&m_InfoByte);
}
