// A view of another input stream that ends early: the content of one header block, so that
// the lengths and counts inside it are checked against the block, not the whole file.
#pragma once

#include "FileIO/IBinaryStream.h"

#include <cstdint>

/// Reads the underlying stream up to `end` (exclusive), with the same positions. Reads and
/// seeks past `end` fail as they would at the end of a file. The underlying stream must
/// outlive the view and must not be used directly while the view is in use.
/// Not thread-safe: one thread at a time.
class VBoundedInputStream final : public IBinaryInputStream
{
public:
    /// The view ends at min(end, underlying size).
    VBoundedInputStream(IBinaryInputStream& stream, std::uint64_t end);
    VBoundedInputStream(const VBoundedInputStream&) = delete;
    VBoundedInputStream& operator=(const VBoundedInputStream&) = delete;

    bool Read(void* destination, std::uint64_t count) override;
    std::uint64_t Tell() const override { return m_Stream.Tell(); }
    bool Seek(std::uint64_t position) override;
    /// The end of the view.
    std::uint64_t Size() const override { return m_End; }
    bool IsGood() const override { return !m_Failed && m_Stream.IsGood(); }
    void ClearErrors() override;

private:
    IBinaryInputStream& m_Stream;
    std::uint64_t m_End;
    bool m_Failed = false;
};
