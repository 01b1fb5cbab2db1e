// The common part of the 64-bit trial-file streams: one open file, its size and the error
// flags that ifstream64 and ofstream64 share.
#pragma once

#include <cstdint>
#include <string>

/// An open file with 64-bit positions and sticky error flags. Owns the descriptor (closed on
/// destruction); not copyable. Not thread-safe: one thread at a time per stream.
class fstream64
{
public:
    /// Flag bit: an operation failed (open, seek, read or write).
    static constexpr std::uint32_t kFailFlag = 1u << 0;
    /// Flag bit: a read delivered fewer bytes than asked.
    static constexpr std::uint32_t kShortReadFlag = 1u << 1;
    /// File size before a file is open.
    static constexpr std::uint64_t kUnknownSize = ~std::uint64_t{0};
    /// Largest buffer a stream accepts, in MiB (offsets within the buffer are 32-bit).
    static constexpr std::uint32_t kMaxBufferMiB = 1024;

    fstream64() = default;
    virtual ~fstream64();
    fstream64(const fstream64&) = delete;
    fstream64& operator=(const fstream64&) = delete;

    /// Resets the error flags.
    virtual void ClearErrors() { m_Flags = 0; }
    /// Closes the file (a writer first writes what it buffered). Safe when nothing is open.
    virtual void Close();

    /// A file is open.
    bool IsOpen() const { return m_File >= 0; }
    /// The error flags (kFailFlag, kShortReadFlag).
    std::uint32_t GetErrorFlags() const { return m_Flags; }
    /// Bytes of the file; kUnknownSize when none is open.
    std::uint64_t GetFileSize() const { return m_FileSize; }
    /// "it is not a regular file (…)" when the last open refused a FIFO, socket or device;
    /// empty otherwise (a successful open, a folder, or a failure of open(2) itself).
    const std::string& GetOpenError() const { return m_OpenError; }

protected:
    /// Opens `path` with the given open(2) flags (close-on-exec added); false, with the fail
    /// flag set and the reason kept, when it cannot be opened or is not a regular file.
    /// Never blocks: a FIFO or device is refused at once.
    bool OpenFile(const std::string& path, int flags);
    /// Buffer bytes for a size in MiB, clamped to [1, kMaxBufferMiB].
    static std::uint64_t BufferBytes(std::uint32_t bufferMiB);

    int m_File = -1;
    std::uint64_t m_FileSize = kUnknownSize;
    std::uint32_t m_Flags = 0;
    std::string m_OpenError;
};
