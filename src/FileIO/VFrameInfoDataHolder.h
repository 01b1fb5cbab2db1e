// The frame info data holder: reads past the frame info item at the end of a frame record.
#pragma once

#include "FileIO/DefaultFormats.h"
#include "FileIO/VDataHolderSingle.h"
#include "FileIO/VFrameInfoDatum.h"

/// Frame info, format 0xFDDF: decodes nothing (its datum skips every field); the X2D reader
/// reads its item to check that the frame record is complete. ReadItem's result follows
/// IDataHolder (so an item of a list without fields reports no progress); callers of a
/// single item look at the stream instead. Not thread-safe: used by the reader's thread only.
class VFrameInfoDataHolder : public VDataHolderSingle<VFrameInfoDatum>
{
public:
    VFrameInfoDataHolder() : VDataHolderSingle(DefaultFormats::FrameInfo()) {}
};
