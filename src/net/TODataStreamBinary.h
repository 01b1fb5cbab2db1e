// The binary encoding of typed values: little-endian integers and IEEE reals, strings as a
// 32-bit byte count followed by the bytes.
#pragma once

#include "net/TODataStream.h"

#include <bit>
#include <ios>
#include <type_traits>

/// Binary writer, the exact counterpart of TIDataStreamBinary. A string longer than 2^32 - 1
/// bytes cannot be encoded: the write fails (fail bit) and writes nothing.
template <class OStreamT> class TODataStreamBinary : public TODataStream<OStreamT>
{
public:
    explicit TODataStreamBinary(OStreamT& stream) : TODataStream<OStreamT>(stream) {}

    bool WriteBool(bool value) override { return WriteInteger<uint8_t>(value ? 1 : 0); }
    bool WriteChar(char value) override { return WriteRaw(&value, 1); }
    bool WriteInt8(int8_t value) override { return WriteInteger(value); }
    bool WriteUInt8(uint8_t value) override { return WriteInteger(value); }
    bool WriteInt16(int16_t value) override { return WriteInteger(value); }
    bool WriteUInt16(uint16_t value) override { return WriteInteger(value); }
    bool WriteInt32(int32_t value) override { return WriteInteger(value); }
    bool WriteUInt32(uint32_t value) override { return WriteInteger(value); }
    bool WriteInt64(int64_t value) override { return WriteInteger(value); }
    bool WriteUInt64(uint64_t value) override { return WriteInteger(value); }
    bool WriteFloat(float value) override { return WriteInteger(std::bit_cast<uint32_t>(value)); }
    bool WriteDouble(double value) override { return WriteInteger(std::bit_cast<uint64_t>(value)); }
    bool WriteString(std::string_view value) override
    {
        if (value.size() > 0xFFFFFFFFu)
        {
            this->m_Out.setstate(std::ios_base::failbit);
            return false;
        }
        return WriteInteger(static_cast<uint32_t>(value.size())) &&
               WriteRaw(value.data(), value.size());
    }
    bool WriteBytes(const void* data, size_t length) override { return WriteRaw(data, length); }

private:
    bool WriteRaw(const void* data, size_t length)
    {
        if (length != 0)
            this->m_Out.write(static_cast<const typename OStreamT::char_type*>(data),
                              static_cast<std::streamsize>(length));
        return !this->m_Out.fail();
    }

    template <class IntegerT> bool WriteInteger(IntegerT value)
    {
        using UnsignedT = std::make_unsigned_t<IntegerT>;
        const auto bits = static_cast<UnsignedT>(value);
        unsigned char bytes[sizeof(IntegerT)];
        for (size_t i = 0; i < sizeof bytes; ++i)
            bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
        return WriteRaw(bytes, sizeof bytes);
    }
};
