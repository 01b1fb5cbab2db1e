// Byte streams over memory: the in-memory counterparts of the trial-file streams, for
// encoding items into buffers and decoding them back (tests, fuzzing, small tools).
#pragma once

#include "FileIO/IBinaryStream.h"

#include <cstdint>
#include <vector>

/// Reads from bytes in memory, either its own copy or a caller's buffer (which must then
/// outlive the stream). Follows the IBinaryInputStream contract: a short read delivers
/// nothing, leaves the position and fails the stream.
/// Not thread-safe: one thread at a time.
class VMemoryInputStream : public IBinaryInputStream
{
public:
    /// Views `size` bytes at `data` without copying them.
    VMemoryInputStream(const std::uint8_t* data, std::uint64_t size);
    /// Owns `bytes`.
    explicit VMemoryInputStream(std::vector<std::uint8_t> bytes);

    // The view may point into m_Owned: a copy would point into the source's buffer.
    VMemoryInputStream(const VMemoryInputStream&) = delete;
    VMemoryInputStream& operator=(const VMemoryInputStream&) = delete;

    bool Read(void* destination, std::uint64_t count) override;
    std::uint64_t Tell() const override { return m_Position; }
    bool Seek(std::uint64_t position) override;
    std::uint64_t Size() const override { return m_Size; }
    bool IsGood() const override { return !m_Failed; }
    void ClearErrors() override { m_Failed = false; }
    const std::uint8_t* View(std::uint64_t& available) override
    {
        available = !m_Failed && m_Position < m_Size ? m_Size - m_Position : 0;
        return available > 0 ? m_Data + m_Position : nullptr;
    }

private:
    std::vector<std::uint8_t> m_Owned; // empty when viewing a caller's buffer
    const std::uint8_t* m_Data;
    std::uint64_t m_Size;
    std::uint64_t m_Position = 0;
    bool m_Failed = false;
};

/// Writes into a growing byte vector that it owns.
/// Not thread-safe: one thread at a time.
class VMemoryOutputStream : public IBinaryOutputStream
{
public:
    VMemoryOutputStream() = default;
    VMemoryOutputStream(const VMemoryOutputStream&) = delete;
    VMemoryOutputStream& operator=(const VMemoryOutputStream&) = delete;

    bool Write(const void* source, std::uint64_t count) override;
    std::uint64_t Tell() const override { return m_Position; }
    bool Seek(std::uint64_t position) override;
    bool IsGood() const override { return !m_Failed; }
    void ClearErrors() override { m_Failed = false; }

    /// Everything written so far.
    const std::vector<std::uint8_t>& GetBytes() const { return m_Bytes; }

private:
    std::vector<std::uint8_t> m_Bytes;
    std::uint64_t m_Position = 0;
    bool m_Failed = false;
};
