// ITrialReader over an X2D file: opens it with VX2DImport and copies frames out of the
// camera frame model.
#pragma once

#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"
#include "FileIO/X2DIO/VX2DImport.h"
#include "tsmtrial/ITrialReader.h"

#include <string>

/// Reads one X2D file for the tool. Opens in the constructor, rebuilding a missing index as
/// the device manager does; IsOpen and GetErrors tell the outcome. Owns the reader and the
/// frames it reuses between calls. Not copyable; one thread at a time.
class VX2DTrialReader final : public ITrialReader
{
public:
    explicit VX2DTrialReader(const std::string& path);
    VX2DTrialReader(const VX2DTrialReader&) = delete;
    VX2DTrialReader& operator=(const VX2DTrialReader&) = delete;

    TrialKind GetKind() const override { return TrialKind::X2D; }
    bool IsOpen() const override { return m_Opened; }
    VTrialInfo GetInfo() const override;
    std::uint32_t GetFrameCount() const override;
    bool ReadFrame(std::uint32_t index, VTrialFrame& frame) override;
    const std::vector<std::string>& GetErrors() const override { return m_Import.GetErrors(); }

    /// The underlying reader.
    VX2DImport& GetImport() { return m_Import; }

private:
    VX2DImport m_Import;
    bool m_Opened = false;
    VCentroidFrame m_Centroids;
    VCentroidTrackFrame m_Tracks;
    VGreyscaleBlobFrame m_Greyscale;
    VEdgePairFrame m_Edges;
};
