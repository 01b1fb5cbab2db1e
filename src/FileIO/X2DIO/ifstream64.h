// The buffered read-only file stream of the trial readers: 64-bit positions, a read buffer of
// whole MiB, and the byte-stream interface that formats, headers and datums decode from.
#pragma once

#include "FileIO/IBinaryStream.h"
#include "FileIO/X2DIO/fstream64.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

/// Reads a file through one buffer. The buffer size is fixed at construction (whole MiB);
/// memory is taken when a file is opened, at most the file's size, so a small file costs
/// little even with a large buffer. After each refill the system is asked to fetch the next
/// buffer's worth in the background, so decoding one buffer overlaps reading the next.
///
/// Seek and read rules (the readers rely on them):
/// - Seek(p) at or beyond the file size empties the buffer and places it at the end; the
///   result is true only for p equal to the size, otherwise the fail flag is set. A p inside
///   the buffered bytes only moves the read offset; any other p refills the buffer from p.
/// - Read(n) never delivers bytes beyond the end of the file: a read that would run past the
///   end (or starts there) delivers nothing, sets the short-read flag and returns false.
///   Once a flag is set, reads deliver nothing until ClearErrors.
///
/// Not copyable. Not thread-safe: one thread at a time (the X2D and X1D holders serialise).
class ifstream64 final : public IBinaryInputStream, public fstream64
{
public:
    static constexpr std::uint32_t kDefaultBufferMiB = 2;

    /// `bufferMiB` is clamped to [1, kMaxBufferMiB].
    explicit ifstream64(std::uint32_t bufferMiB = kDefaultBufferMiB);

    /// Opens an existing regular file for reading (others may read it too), takes its size
    /// and fills the buffer from position 0. False when it cannot be opened; a stream that
    /// was open before is closed either way.
    bool Open(const std::string& path);
    void Close() override;

    bool Read(void* destination, std::uint64_t count) override
    {
        // The common case: all bytes are in the buffer. (IBinaryInputStream is the first base,
        // so the decoders' virtual calls reach this without an adjusting thunk.)
        if (m_Flags == 0 && count <= m_BufferFill - m_ReadOffset)
        {
            const std::uint8_t* source = m_Buffer.data() + m_ReadOffset;
            // The typed reads of the decoders: copies of a fixed size compile to moves.
            switch (count)
            {
            case 1:
                std::memcpy(destination, source, 1);
                break;
            case 2:
                std::memcpy(destination, source, 2);
                break;
            case 4:
                std::memcpy(destination, source, 4);
                break;
            case 8:
                std::memcpy(destination, source, 8);
                break;
            default:
                if (count > 0)
                {
                    std::memcpy(destination, source, count);
                }
                break;
            }
            m_ReadOffset += static_cast<std::uint32_t>(count);
            return m_File >= 0;
        }
        return ReadSlow(static_cast<std::uint8_t*>(destination), count);
    }
    std::uint64_t Tell() const override { return m_BufferPosition + m_ReadOffset; }
    bool Seek(std::uint64_t position) override;
    /// The file size, 0 when no file is open.
    std::uint64_t Size() const override { return IsOpen() ? m_FileSize : 0; }
    /// A file is open and no flag is set.
    bool IsGood() const override { return IsOpen() && m_Flags == 0; }
    void ClearErrors() override { m_Flags = 0; }
    /// The rest of the buffer from the read offset (nothing once a flag is set).
    const std::uint8_t* View(std::uint64_t& available) override
    {
        available = m_Flags == 0 && m_File >= 0 ? m_BufferFill - m_ReadOffset : 0;
        return available > 0 ? m_Buffer.data() + m_ReadOffset : nullptr;
    }

    /// The position is the end of the file.
    bool AtEnd() const { return IsOpen() && Tell() == m_FileSize; }
    /// The configured buffer size in bytes.
    std::uint64_t GetBufferSize() const { return m_BufferSize; }

private:
    bool ReadSlow(std::uint8_t* destination, std::uint64_t count);
    /// Refills the buffer with the bytes from `position` (below the file size).
    void Fill(std::uint64_t position);
    /// Reads up to `count` bytes at `position` straight from the file; returns the bytes read
    /// and sets the fail flag on an error.
    std::uint64_t ReadAt(std::uint8_t* destination, std::uint64_t position, std::uint64_t count);

    const std::uint64_t m_BufferSize;
    /// Bytes that are not zeroed when taken: only the m_BufferFill bytes read from the file
    /// are ever looked at, and zeroing a buffer of many MiB at each Open costs time.
    class VUninitialisedBytes
    {
    public:
        void Allocate(std::size_t size)
        {
            m_Bytes.reset(size > 0 ? new std::uint8_t[size] : nullptr);
            m_Size = size;
        }
        void Release()
        {
            m_Bytes.reset();
            m_Size = 0;
        }
        std::uint8_t* data() const { return m_Bytes.get(); }
        std::size_t size() const { return m_Size; }

    private:
        std::unique_ptr<std::uint8_t[]> m_Bytes;
        std::size_t m_Size = 0;
    };

    VUninitialisedBytes m_Buffer;       // holds min(m_BufferSize, file size) bytes once open
    std::uint64_t m_BufferPosition = 0; // file position of m_Buffer[0]
    std::uint32_t m_ReadOffset = 0;     // next byte within the buffer
    std::uint32_t m_BufferFill = 0;     // valid bytes in the buffer
};
