// The buffered write-only file stream of the trial writers: 64-bit positions, a write buffer
// of whole MiB, going back to patch counts and offsets, and holes for very large files.
#pragma once

#include "FileIO/IBinaryStream.h"
#include "FileIO/X2DIO/fstream64.h"

#include <cstdint>
#include <string>
#include <vector>

/// Writes a file through one buffer of whole MiB. Seek moves within the bytes written so far
/// (a writer goes back to patch a count, then returns to the end); Extend lengthens the file
/// with a hole. Failures set the fail flag, after which writes do nothing until ClearErrors.
///
/// Not copyable. Not thread-safe: one thread at a time.
class ofstream64 final : public fstream64, public IBinaryOutputStream
{
public:
    static constexpr std::uint32_t kDefaultBufferMiB = 2;

    /// `bufferMiB` is clamped to [1, kMaxBufferMiB].
    explicit ofstream64(std::uint32_t bufferMiB = kDefaultBufferMiB);
    ~ofstream64() override;

    /// Creates `path`, or empties it when it exists. False when it cannot be created.
    bool Open(const std::string& path);
    /// Writes what is buffered and closes; see Finish for the result.
    void Close() override;
    /// Writes what is buffered and closes; true when every operation since Open (or the last
    /// ClearErrors) succeeded.
    bool Finish();

    bool Write(const void* source, std::uint64_t count) override;
    std::uint64_t Tell() const override { return m_BufferPosition + m_WriteOffset; }
    /// Positions beyond the file's length fail.
    bool Seek(std::uint64_t position) override;
    bool IsGood() const override { return IsOpen() && m_Flags == 0; }
    void ClearErrors() override { m_Flags = 0; }

    /// Lengthens the file to `size` bytes; the new bytes are a hole that reads as zeros.
    /// The position does not move; a size at or below the length changes nothing.
    bool Extend(std::uint64_t size);
    /// Bytes of the file, buffered ones included.
    std::uint64_t Size() const;
    /// Writes the buffered bytes to the file.
    bool Flush();

private:
    bool WriteAt(const std::uint8_t* source, std::uint64_t position, std::uint64_t count);

    const std::uint64_t m_BufferSize;
    std::vector<std::uint8_t> m_Buffer;
    std::uint64_t m_BufferPosition = 0; // file position of m_Buffer[0]
    std::uint64_t m_WriteOffset = 0;    // next byte within the buffer
    std::uint64_t m_BufferFill = 0;     // bytes of the buffer not yet written to the file
    std::uint64_t m_Written = 0;        // file length without the buffer
};
