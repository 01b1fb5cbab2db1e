// The abstract reader of typed values from a byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

/// Reads typed values. Every Read returns false when the value could not be read whole (end
/// of stream, stream error, or a string longer than the implementation allows); the stream's
/// state then tells which. State queries are named as on standard streams.
/// Threading contract: one reading thread.
class VIDataStream
{
public:
    virtual ~VIDataStream() = default;

    virtual bool ReadBool(bool& value) = 0;
    virtual bool ReadChar(char& value) = 0;
    virtual bool ReadInt8(int8_t& value) = 0;
    virtual bool ReadUInt8(uint8_t& value) = 0;
    virtual bool ReadInt16(int16_t& value) = 0;
    virtual bool ReadUInt16(uint16_t& value) = 0;
    virtual bool ReadInt32(int32_t& value) = 0;
    virtual bool ReadUInt32(uint32_t& value) = 0;
    virtual bool ReadInt64(int64_t& value) = 0;
    virtual bool ReadUInt64(uint64_t& value) = 0;
    virtual bool ReadFloat(float& value) = 0;
    virtual bool ReadDouble(double& value) = 0;
    virtual bool ReadString(std::string& value) = 0;
    /// Reads exactly `length` raw bytes into `data`.
    virtual bool ReadBytes(void* data, size_t length) = 0;

    /// No state bit is set.
    virtual bool good() const = 0;
    virtual bool eof() const = 0;
    virtual bool fail() const = 0;
    virtual bool bad() const = 0;
};
