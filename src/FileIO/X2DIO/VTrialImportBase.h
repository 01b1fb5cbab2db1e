// The container reading that the X2D and X1D readers share: the stream, the error list, the
// registered holders and custom headers, the index table (read or rebuilt), frame headers
// and device records with their data blocks.
#pragma once

#include "FileIO/IDataHolder.h"
#include "FileIO/VDataFormatInfo.h"
#include "FileIO/X2DIO/ICustomHeader.h"
#include "FileIO/X2DIO/VIndexTable.h"
#include "FileIO/X2DIO/ifstream64.h"

#include <cstdint>
#include <string>
#include <vector>

/// One custom header block met while reading a header.
struct VCustomHeaderBlock
{
    std::uint16_t HeaderId = 0;
    std::uint32_t Length = 0;

    bool operator==(const VCustomHeaderBlock&) const = default;
};

/// Reads the parts of a trial file that X2D and X1D files share. The derived readers read
/// their own fixed header and then use the steps here. Registered holders and headers are
/// not owned and must outlive the reader.
///
/// Bounds that keep bad files from making it loop or allocate without limit: an index whose
/// EntryCount exceeds the bytes left counts as missing; a rebuild stops at a frame record
/// with a negative Length; a frame record must have room for 10 bytes per device; a device
/// record or data block with a negative Length ends the record; a block whose items stop
/// making progress ends; custom header contents are read within their block.
///
/// Not copyable. Not thread-safe: one thread at a time (VX2DHolder and VX1DHolder serialise).
class VTrialImportBase
{
public:
    static constexpr std::uint64_t kNoOffset = ~std::uint64_t{0};
    static constexpr std::uint16_t kFrameTag = 0xFFFF;
    /// u16 tag, i32 Length, u32 number: the header of frame and device records and blocks.
    static constexpr std::uint64_t kRecordHeaderBytes = 10;
    /// u16 tag, u32 length: the item header before each fixed field of a file header.
    static constexpr std::uint64_t kItemHeaderBytes = 6;

    VTrialImportBase(const VTrialImportBase&) = delete;
    VTrialImportBase& operator=(const VTrialImportBase&) = delete;
    virtual ~VTrialImportBase() = default;

    /// Opens the file and seeks to position 0; forgets what an earlier file left (errors,
    /// formats, index, counts) but keeps the registrations. False when it cannot be opened.
    bool Open(const std::string& path);
    bool IsOpen() const { return m_Stream.IsOpen(); }

    /// Registers a custom header (not owned) for the blocks with its HeaderId.
    void AddCustomHeader(ICustomHeader* header);
    /// Registers a data holder (not owned) for the blocks with its format's identifier.
    void AddDataHolder(IDataHolder* holder);

    /// Clears the stream's flags and seeks to the frame record of index entry `index`;
    /// reports "There is no frame index %d in the file." and fails when there is none. An
    /// offset beyond the file leaves the stream failed for ReadFrameHeader to report.
    bool SeekToFrameIndex(std::uint32_t index);
    /// Seeks to the first frame record with `frameNumber`; reports "There is no frame number
    /// %d in the file." and fails when the index has none.
    bool SeekToFrameNumber(std::uint32_t frameNumber);
    /// Reads the frame header at the position; reports "Could not read frame." and fails
    /// when the tag is not 0xFFFF, Length is not above 0, or the record cannot hold the
    /// file's device records (10 bytes each). The frame number becomes current.
    bool ReadFrameHeader();
    /// Reads one device record: with `clear`, every holder's Clear first (in registration
    /// order); then each header format's block, decoded by the holder of that identifier or
    /// skipped; the stream then continues at the record's end. A block whose end lies beyond
    /// the record's end stops the record there. Returns whether the stream is good. The
    /// device id becomes current.
    bool ReadDeviceRecord(bool clear);

    std::uint32_t GetDeviceCount() const { return m_DeviceCount; }
    std::uint32_t GetFrameCount() const { return m_FrameCount; }
    std::int32_t GetVersion() const { return m_Version; }
    std::uint32_t GetCurrentFrameNumber() const { return m_FrameNumber; }
    std::uint32_t GetCurrentDeviceId() const { return m_DeviceId; }
    const VIndexTable& GetIndexTable() const { return m_Index; }
    /// The registered header with `headerId`, or null.
    ICustomHeader* GetCustomHeader(std::uint16_t headerId) const;
    /// The header formats in file order (the order of the blocks of each device record).
    const std::vector<VDataFormatInfo>& GetFormats() const { return m_Formats; }
    /// The custom header blocks met, in file order.
    const std::vector<VCustomHeaderBlock>& GetCustomHeaderBlocks() const { return m_HeaderBlocks; }
    std::uint64_t GetIndexOffset() const { return m_IndexOffset; }
    std::uint64_t GetDataOffset() const { return m_DataOffset; }
    /// File positions of the IndexOffset and FrameCount fields, for a writer that patches them.
    std::uint64_t GetIndexOffsetPosition() const { return m_IndexOffsetPosition; }
    std::uint64_t GetFrameCountPosition() const { return m_FrameCountPosition; }
    /// The index was rebuilt from the frame records while opening.
    bool WasIndexRebuilt() const { return m_IndexRebuilt; }
    /// Every message reported, in order.
    const std::vector<std::string>& GetErrors() const { return m_Errors; }
    ifstream64& GetStream() { return m_Stream; }

protected:
    explicit VTrialImportBase(std::uint32_t bufferMiB);

    /// Appends `message` to the error list; the X2D reader also logs it.
    virtual void ReportError(const std::string& message);
    void ReportErrorF(const char* format, long long value);

    /// Reads an item header (not checked); false when the stream failed.
    bool SkipItemHeader();
    /// Reads an item header and returns its tag through `tag`.
    bool ReadItemHeader(std::uint16_t& tag);
    /// Reads FormatCount formats, each after its item header, while the stream is good.
    void ReadFormats(std::uint32_t formatCount);
    /// Reads the custom header blocks from the position up to DataOffset. A header decodes
    /// within its block; the stream continues at the block's end whatever it decoded. A block
    /// running past the file ends the loop; the stream's flags are then cleared so that the
    /// index and frames can still be read.
    void ReadCustomHeaders();
    /// Reads the index table at IndexOffset with the given offset width and returns to the
    /// position. Returns false (after "Could not find the index table in the file.", with the
    /// flags cleared) when IndexOffset is none, lies at or past the end, or the table there
    /// cannot be read whole.
    bool ReadIndex(bool offsets64);
    /// Scans the frame records from DataOffset into the index (see the class comment), then
    /// clears the flags and returns to where it started. FrameCount becomes the entry count.
    void RebuildIndex();

    ifstream64 m_Stream;
    std::vector<std::string> m_Errors;
    std::vector<IDataHolder*> m_Holders;
    std::vector<ICustomHeader*> m_CustomHeaders;
    VIndexTable m_Index;
    std::int32_t m_Version = 0;
    std::uint32_t m_DeviceCount = 0;
    std::uint32_t m_FrameCount = 0;
    std::uint32_t m_FrameNumber = 0;
    std::uint32_t m_DeviceId = 0;
    std::uint64_t m_IndexOffsetPosition = 0;
    std::uint64_t m_FrameCountPosition = 0;
    std::uint64_t m_IndexOffset = kNoOffset;
    std::uint64_t m_DataOffset = kNoOffset;
    std::vector<VDataFormatInfo> m_Formats;
    std::vector<VCustomHeaderBlock> m_HeaderBlocks;
    bool m_IndexRebuilt = false;

private:
    /// The holder for the header format at each position (null: skip), matched on first use.
    const std::vector<IDataHolder*>& HoldersByFormat();
    std::vector<IDataHolder*> m_HoldersByFormat;
    bool m_HoldersMatched = false;
};
