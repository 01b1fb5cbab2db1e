// ITrialReader over an X1D file: opens it with VX1DImport and copies the analogue blocks of
// each frame.
#pragma once

#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/X2DIO/VX1DImport.h"
#include "tsmtrial/ITrialReader.h"

#include <string>

/// Reads one X1D file for the tool. Opens in the constructor (a missing index is always
/// rebuilt); IsOpen and GetErrors tell the outcome. Analogue devices are named "analogue:"
/// followed by their index, since X1D files carry no device names. Not copyable; one thread
/// at a time.
class VX1DTrialReader final : public ITrialReader
{
public:
    explicit VX1DTrialReader(const std::string& path);
    VX1DTrialReader(const VX1DTrialReader&) = delete;
    VX1DTrialReader& operator=(const VX1DTrialReader&) = delete;

    TrialKind GetKind() const override { return TrialKind::X1D; }
    bool IsOpen() const override { return m_Opened; }
    VTrialInfo GetInfo() const override;
    std::uint32_t GetFrameCount() const override;
    bool ReadFrame(std::uint32_t index, VTrialFrame& frame) override;
    const std::vector<std::string>& GetErrors() const override { return m_Import.GetErrors(); }

    /// The underlying reader.
    VX1DImport& GetImport() { return m_Import; }

private:
    VX1DImport m_Import;
    bool m_Opened = false;
    VAnalogueBlockFrame m_Frame;
};
