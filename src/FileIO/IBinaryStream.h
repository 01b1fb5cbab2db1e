// The byte streams that trial-file items are decoded from and encoded to: abstract input and
// output with 64-bit positions, plus little-endian typed reads and writes on top of them.
#pragma once

#include "FileIO/ByteCodec.h"

#include <cstddef>
#include <cstdint>
#include <limits>

/// A readable, seekable sequence of bytes: a buffered file (the trial readers) or memory
/// (tests, the fuzzer). Implementations keep an error state that every failed operation sets
/// and only ClearErrors resets; once failed, reads deliver nothing until cleared.
///
/// Contract that decoders rely on:
/// - Read(n) delivers all n bytes and returns true, or returns false and sets the error state;
///   it never delivers bytes past Size().
/// - Seek(p) with p <= Size() moves there; p > Size() leaves the position at Size(), sets the
///   error state and returns false. So skipping beyond the data fails the stream exactly as a
///   short read does, without touching memory.
///
/// Not thread-safe: one thread at a time per stream.
class IBinaryInputStream
{
public:
    virtual ~IBinaryInputStream() = default;

    /// Copies `count` bytes into `destination` (which must hold them) and advances.
    virtual bool Read(void* destination, std::uint64_t count) = 0;
    /// Position of the next byte to read, from the start of the data.
    virtual std::uint64_t Tell() const = 0;
    /// Moves the read position; see the class contract for positions past the end.
    virtual bool Seek(std::uint64_t position) = 0;
    /// Total bytes of the data.
    virtual std::uint64_t Size() const = 0;
    /// The stream is open and no operation has failed since the last ClearErrors.
    virtual bool IsGood() const = 0;
    /// Forgets earlier failures.
    virtual void ClearErrors() = 0;
    /// The bytes from the position that are at hand without a copy or a refill: a pointer to
    /// them, with their count in `available` (never past Size()). Null and 0 when the stream
    /// has failed or offers no such view. Valid until the next call on the stream; callers
    /// that decode from it move on with Skip.
    virtual const std::uint8_t* View(std::uint64_t& available)
    {
        available = 0;
        return nullptr;
    }

    /// Bytes between the position and the end.
    std::uint64_t Remaining() const
    {
        const std::uint64_t position = Tell();
        const std::uint64_t size = Size();
        return position < size ? size - position : 0;
    }

    /// Moves `count` bytes forward. Fails (and fails the stream) when fewer remain.
    bool Skip(std::uint64_t count)
    {
        const std::uint64_t position = Tell();
        const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
        return Seek(count > max - position ? max : position + count);
    }

    /// True when `count` bytes remain. Otherwise fails the stream, as reading that many bytes
    /// would, and returns false: callers check a count this way before allocating for it.
    bool Require(std::uint64_t count)
    {
        if (count <= Remaining())
        {
            return true;
        }
        Skip(count);
        return false;
    }

    // Typed little-endian reads: on failure `value` is left unchanged.
    bool ReadU8(std::uint8_t& value) { return ReadWith<1>(value, LittleEndian::LoadU8); }
    bool ReadU16(std::uint16_t& value) { return ReadWith<2>(value, LittleEndian::LoadU16); }
    bool ReadU32(std::uint32_t& value) { return ReadWith<4>(value, LittleEndian::LoadU32); }
    bool ReadU64(std::uint64_t& value) { return ReadWith<8>(value, LittleEndian::LoadU64); }
    bool ReadI32(std::int32_t& value) { return ReadWith<4>(value, LittleEndian::LoadI32); }
    bool ReadI64(std::int64_t& value) { return ReadWith<8>(value, LittleEndian::LoadI64); }
    bool ReadF32(float& value) { return ReadWith<4>(value, LittleEndian::LoadF32); }
    bool ReadF64(double& value) { return ReadWith<8>(value, LittleEndian::LoadF64); }

private:
    template <std::size_t Width, typename Value, typename Load>
    bool ReadWith(Value& value, Load load)
    {
        std::uint8_t bytes[Width];
        if (!Read(bytes, Width))
        {
            return false;
        }
        value = load(bytes);
        return true;
    }
};

/// A writable, seekable sequence of bytes. Writing at the end extends it; Seek stays within
/// what has been written (a writer goes back to patch counts and offsets). Failures set an
/// error state as for input streams.
///
/// Not thread-safe: one thread at a time per stream.
class IBinaryOutputStream
{
public:
    virtual ~IBinaryOutputStream() = default;

    /// Writes `count` bytes from `source` at the position and advances.
    virtual bool Write(const void* source, std::uint64_t count) = 0;
    /// Position of the next byte to write.
    virtual std::uint64_t Tell() const = 0;
    /// Moves the write position; positions past the bytes written fail.
    virtual bool Seek(std::uint64_t position) = 0;
    /// No operation has failed since the last ClearErrors.
    virtual bool IsGood() const = 0;
    /// Forgets earlier failures.
    virtual void ClearErrors() = 0;

    // Typed little-endian writes.
    bool WriteU8(std::uint8_t value) { return WriteWith<1>(value, LittleEndian::StoreU8); }
    bool WriteU16(std::uint16_t value) { return WriteWith<2>(value, LittleEndian::StoreU16); }
    bool WriteU32(std::uint32_t value) { return WriteWith<4>(value, LittleEndian::StoreU32); }
    bool WriteU64(std::uint64_t value) { return WriteWith<8>(value, LittleEndian::StoreU64); }
    bool WriteI32(std::int32_t value) { return WriteWith<4>(value, LittleEndian::StoreI32); }
    bool WriteI64(std::int64_t value) { return WriteWith<8>(value, LittleEndian::StoreI64); }
    bool WriteF32(float value) { return WriteWith<4>(value, LittleEndian::StoreF32); }
    bool WriteF64(double value) { return WriteWith<8>(value, LittleEndian::StoreF64); }

    /// Writes the low `width` bytes (0 to 8) of `value`.
    bool WriteUnsigned(std::uint64_t value, std::size_t width)
    {
        std::uint8_t bytes[8] = {};
        LittleEndian::StoreUnsigned(bytes, value, width < 8 ? width : 8);
        return Write(bytes, width < 8 ? width : 8);
    }

    /// Writes `count` zero bytes.
    bool WriteZeros(std::uint64_t count)
    {
        static constexpr std::uint8_t zeros[256] = {};
        while (count > 0)
        {
            const std::uint64_t chunk = count < sizeof(zeros) ? count : sizeof(zeros);
            if (!Write(zeros, chunk))
            {
                return false;
            }
            count -= chunk;
        }
        return true;
    }

private:
    template <std::size_t Width, typename Value, typename Store>
    bool WriteWith(Value value, Store store)
    {
        std::uint8_t bytes[Width];
        store(bytes, value);
        return Write(bytes, Width);
    }
};
