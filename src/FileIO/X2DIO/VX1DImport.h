// The X1D trial-file reader: opens a recorded sync-unit trial and reads its analogue blocks
// frame by frame, by index or frame number, with the analogue source sets of its header.
#pragma once

#include "FileIO/IAnalogueBlockFrame.h"
#include "FileIO/VAnalogueBlockDataHolder.h"
#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/X2DIO/VAnalogueSourceSetHeader.h"
#include "FileIO/X2DIO/VX1DImportImpl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// Reads one X1D file. Construct, Open once, then read frames in any order. A frame that
/// implements IAnalogueBlockFrameDirect is filled in place; any other is filled through an
/// internal frame. Messages go to GetErrors (X1D messages are not logged).
///
/// Not copyable. Not thread-safe: one thread at a time. Devices share a file through
/// VX1DHolder, which serialises the calls.
class VX1DImport
{
public:
    /// `bufferMiB`: the read buffer in whole MiB.
    explicit VX1DImport(std::uint32_t bufferMiB = ifstream64::kDefaultBufferMiB);
    VX1DImport(const VX1DImport&) = delete;
    VX1DImport& operator=(const VX1DImport&) = delete;
    ~VX1DImport();

    /// Opens and reads the header; a missing index is always rebuilt.
    bool Open(const std::string& fileName);
    bool IsOpen() const { return m_Impl.IsOpen(); }

    /// Analogue devices recorded in each frame.
    std::uint32_t GetDeviceCount() const { return m_Impl.GetDeviceCount(); }
    /// FrameCount of the header (not checked against the index), or the number of frames
    /// found when the index was rebuilt.
    std::uint32_t GetFrameCount() const { return m_Impl.GetFrameCount(); }
    /// All frame numbers in index order; returns their count.
    std::uint32_t GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const;
    /// Index of the first entry with `frameNumber`; false when there is none.
    bool FindFrameIndex(std::uint32_t frameNumber, std::uint32_t& index) const;
    /// Frame number of index entry `index`; 0 when out of range.
    std::uint32_t GetFrameNumber(std::uint32_t index) const;
    /// The optional 8-byte header value; 0 when absent.
    std::int64_t GetHeaderValue() const { return m_Impl.GetHeaderValue(); }

    /// Reads frame `index` into `frame` (null: decoded and dropped): resized to the device
    /// count, set d holding one block per item of device d's analogue block. False when the
    /// frame cannot be read whole; the frame is then filled as far as reading got. The
    /// pointer is not kept.
    bool ReadFrame(std::uint32_t index, IAnalogueBlockFrame* frame);
    /// FindFrameIndex, then ReadFrame; false when the number is not in the index.
    bool ReadFrameByNumber(std::uint32_t frameNumber, IAnalogueBlockFrame* frame);

    /// The header's two values and a copy of its source sets.
    void GetAnalogueSourceSets(std::uint32_t& firstValue, std::uint32_t& secondValue,
                               std::vector<VAnalogueSourceSetSpec>& sets) const;
    /// Every message since Open, in order.
    const std::vector<std::string>& GetErrors() const { return m_Impl.GetErrors(); }
    /// The reader's working part (header formats, index, positions), for tools and tests.
    const VX1DImportImpl& GetImpl() const { return m_Impl; }

private:
    // Declared before the implementation, which keeps pointers to them.
    VAnalogueBlockDataHolder m_Holder;
    std::shared_ptr<VAnalogueSourceSetHeader> m_SourceSets;
    VX1DImportImpl m_Impl;
    VAnalogueBlockFrame m_Frame; // stands in for frames that are not Direct implementations
};
