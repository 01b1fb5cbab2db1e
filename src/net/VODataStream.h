// The abstract writer of typed values to a byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

/// Writes typed values. Every Write returns false when the stream has failed. Bytes may be
/// held until Flush(). Threading contract: one writing thread.
class VODataStream
{
public:
    virtual ~VODataStream() = default;

    virtual bool WriteBool(bool value) = 0;
    virtual bool WriteChar(char value) = 0;
    virtual bool WriteInt8(int8_t value) = 0;
    virtual bool WriteUInt8(uint8_t value) = 0;
    virtual bool WriteInt16(int16_t value) = 0;
    virtual bool WriteUInt16(uint16_t value) = 0;
    virtual bool WriteInt32(int32_t value) = 0;
    virtual bool WriteUInt32(uint32_t value) = 0;
    virtual bool WriteInt64(int64_t value) = 0;
    virtual bool WriteUInt64(uint64_t value) = 0;
    virtual bool WriteFloat(float value) = 0;
    virtual bool WriteDouble(double value) = 0;
    virtual bool WriteString(std::string_view value) = 0;
    /// Writes `length` raw bytes from `data`.
    virtual bool WriteBytes(const void* data, size_t length) = 0;
    /// Sends or stores what has been written. False when that fails.
    virtual bool Flush() = 0;

    /// No state bit is set.
    virtual bool good() const = 0;
    virtual bool bad() const = 0;
};
