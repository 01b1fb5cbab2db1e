// The frame index of a trial file: frame numbers and the file positions of their frame
// records, read from and written to the index table at the end of a file.
#pragma once

#include "FileIO/IBinaryStream.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

/// One frame of the index.
struct VIndexEntry
{
    std::uint32_t FrameNumber = 0;
    /// Position of the frame record in the file.
    std::uint64_t Offset = 0;

    bool operator==(const VIndexEntry&) const = default;
};

/// The index table. On disk: u32 EntryCount, then per entry u32 FrameNumber and the offset,
/// as u64, or (older files) as an i32 widened with its sign.
/// A value type; not thread-safe for writing, const use from several threads is fine.
class VIndexTable
{
public:
    VIndexTable() = default;

    /// Removes every entry (the offset width stays).
    void Clear();
    /// Replaces the entries with the table at the stream position. An EntryCount larger
    /// than the bytes left can hold fails the stream before anything is allocated; on any
    /// failure the table is left empty and false is returned.
    bool Read(IBinaryInputStream& stream);
    /// Writes the table with the current offset width. False when the stream failed, or when
    /// 32-bit offsets are selected and an offset does not fit an i32.
    bool Write(IBinaryOutputStream& stream) const;
    /// Appends an entry.
    void Add(std::uint32_t frameNumber, std::uint64_t offset);
    /// Entry `index`; false (and `entry` untouched) when the index is out of range.
    bool GetEntry(std::uint32_t index, VIndexEntry& entry) const;
    /// Index of the first entry with `frameNumber`; false when there is none.
    bool FindByFrameNumber(std::uint32_t frameNumber, std::uint32_t& index) const;
    /// All frame numbers in index order.
    void GetFrameNumbers(std::vector<std::uint32_t>& frameNumbers) const;
    /// Selects u64 offsets (true, the default) or sign-widened i32 offsets on disk.
    void Set64BitOffsets(bool offsets64) { m_Offsets64 = offsets64; }
    bool Has64BitOffsets() const { return m_Offsets64; }

    std::uint32_t Count() const { return static_cast<std::uint32_t>(m_Entries.size()); }
    const std::vector<VIndexEntry>& GetEntries() const { return m_Entries; }
    /// Bytes of the table on disk with the current offset width.
    std::uint64_t DiskSize() const;

private:
    std::vector<VIndexEntry> m_Entries;
    std::unordered_map<std::uint32_t, std::uint32_t> m_FirstByNumber; // frame number -> index
    bool m_Offsets64 = true;
};
