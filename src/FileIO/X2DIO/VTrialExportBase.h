// The container writing that the X2D and X1D writers share: item headers, offsets of the
// version's width, custom header blocks, frame records, the index and the final patching of
// FrameCount and IndexOffset.
#pragma once

#include "FileIO/VDataFormatInfo.h"
#include "FileIO/VMemoryBinaryStream.h"
#include "FileIO/X2DIO/ICustomHeader.h"
#include "FileIO/X2DIO/VIndexTable.h"
#include "FileIO/X2DIO/ofstream64.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

/// A custom header block given as raw content (for HeaderIds this system does not know).
struct VRawHeaderBlock
{
    std::uint16_t HeaderId = 0;
    std::vector<std::uint8_t> Content;
};

/// Writes the parts of a trial file that X2D and X1D files share. A derived writer writes its
/// fixed header with the helpers here, then frames, then Close adds the index and patches
/// the header. The first failure is kept as text (GetError) and every later call fails.
/// Not copyable. Not thread-safe: one thread at a time.
class VTrialExportBase
{
public:
    static constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};

    VTrialExportBase(const VTrialExportBase&) = delete;
    VTrialExportBase& operator=(const VTrialExportBase&) = delete;
    virtual ~VTrialExportBase() = default;

    /// Moves the position of the next frame record to `position` (not before the current
    /// end); the gap is a hole that reads as zeros. Lets tests place a frame beyond 4 GiB
    /// without writing gigabytes.
    bool SkipTo(std::uint64_t position);
    /// Writes the index (unless disabled), patches FrameCount and IndexOffset and closes the
    /// file. True when everything since Open was written.
    bool Close();

    bool IsOpen() const { return m_Stream != nullptr && m_Stream->IsOpen(); }
    /// Frames written so far.
    std::uint32_t GetFrameCount() const { return m_Index.Count(); }
    /// The frames written and their positions.
    const VIndexTable& GetIndex() const { return m_Index; }
    /// Positions of header fields, for tests that edit a file's bytes.
    std::uint64_t GetFrameCountPosition() const { return m_FrameCountPosition; }
    std::uint64_t GetIndexOffsetPosition() const { return m_IndexOffsetPosition; }
    std::uint64_t GetDataOffset() const { return m_DataOffset; }
    /// Position of the index table after Close; kNoOffset when none was written.
    std::uint64_t GetIndexPosition() const { return m_IndexPosition; }
    /// The first failure, or empty.
    const std::string& GetError() const { return m_Error; }

protected:
    VTrialExportBase() = default;

    /// Creates the file; `offsets64` selects u64 header offsets, `indexOffsets64` u64 index
    /// entry offsets.
    bool OpenFile(const std::string& path, std::uint32_t bufferMiB, bool offsets64,
                  bool indexOffsets64, bool writeIndex);
    /// Records the first failure; returns false.
    bool Fail(const std::string& error);
    bool Failed() const { return !m_Error.empty(); }

    void WriteItemHeader(std::uint16_t tag, std::uint32_t length);
    /// An item header and a u32 value.
    void WriteU32Item(std::uint16_t tag, std::uint32_t value);
    /// An item header and an offset of the header's width; returns the offset's position.
    std::uint64_t WriteOffsetItem(std::uint16_t tag, std::uint64_t offset);
    /// Writes the header formats, each after an item header.
    void WriteFormats(std::uint16_t tag, const std::vector<VDataFormatInfo>& formats);
    /// Writes one custom header block: HeaderId, Length, content.
    bool WriteCustomBlock(const ICustomHeader& header);
    bool WriteRawBlock(const VRawHeaderBlock& block);
    /// Marks the position as DataOffset and patches the DataOffset field.
    bool BeginData();
    /// Writes a frame record around `body` (the device records and any frame-info item).
    bool WriteFrameRecord(std::uint32_t frameNumber, const std::vector<std::uint8_t>& body);
    /// Patches the field at `position` with `value` of `width` bytes and returns to the end.
    bool Patch(std::uint64_t position, std::uint64_t value, std::size_t width);

    /// Starts a device record in `out`; returns the position of its Length.
    static std::uint64_t BeginDeviceRecord(VMemoryOutputStream& out, std::uint32_t deviceId);
    /// Starts a data block in `out`; returns the position of its Length.
    static std::uint64_t BeginBlock(VMemoryOutputStream& out, std::uint16_t formatId);
    /// Ends a device record: patches its Length (bytes after the device id).
    static bool EndDeviceRecord(VMemoryOutputStream& out, std::uint64_t lengthPosition);
    /// Ends a data block: patches its Length (bytes after the item count) and item count.
    static bool EndBlock(VMemoryOutputStream& out, std::uint64_t lengthPosition,
                         std::uint32_t itemCount);

    // Tags of the item headers this writer puts before the fixed header fields (readers do
    // not check them; X1D readers look for 0x00FF after FrameCount, which none of these is).
    static constexpr std::uint16_t kTagDeviceCount = 0x0001;
    static constexpr std::uint16_t kTagFrameCount = 0x0002;
    static constexpr std::uint16_t kTagFormatCount = 0x0003;
    static constexpr std::uint16_t kTagFormat = 0x0004;
    static constexpr std::uint16_t kTagIndexOffset = 0x0005;
    static constexpr std::uint16_t kTagDataOffset = 0x0006;
    /// Tag of device records (readers do not check it).
    static constexpr std::uint16_t kDeviceTag = 0xFFFE;

    std::unique_ptr<ofstream64> m_Stream;
    VIndexTable m_Index;
    bool m_Offsets64 = true;
    bool m_WriteIndex = true;
    std::uint64_t m_FrameCountPosition = 0;
    std::uint64_t m_IndexOffsetPosition = 0;
    std::uint64_t m_DataOffsetPosition = 0;
    std::uint64_t m_DataOffset = kNoOffset;
    std::uint64_t m_IndexPosition = kNoOffset;
    std::string m_Error;
};
