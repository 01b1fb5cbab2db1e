// The binary decoding of typed values: little-endian integers and IEEE reals, strings as a
// 32-bit byte count followed by the bytes.
#pragma once

#include "net/TIDataStream.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <ios>
#include <type_traits>

/// Binary reader. Integers of 1, 2, 4 and 8 bytes are little-endian, bool is one byte (any
/// non-zero value reads as true), float and double are their IEEE bits as little-endian
/// integers, a string is a u32 byte count then the bytes, without terminator. A string count
/// above MaxStringLength fails the stream (fail bit) without reading further; the bytes of a
/// string are read in pieces, so a false count cannot make the reader allocate more than the
/// input actually holds. On failure the target value is left unchanged.
template <class IStreamT> class TIDataStreamBinary : public TIDataStream<IStreamT>
{
public:
    static constexpr uint32_t MaxStringLength = 16u * 1024u * 1024u;

    explicit TIDataStreamBinary(IStreamT& stream) : TIDataStream<IStreamT>(stream) {}

    bool ReadBool(bool& value) override
    {
        uint8_t byte = 0;
        if (!ReadUInt8(byte))
            return false;
        value = byte != 0;
        return true;
    }
    bool ReadChar(char& value) override { return ReadRaw(&value, 1); }
    bool ReadInt8(int8_t& value) override { return ReadInteger(value); }
    bool ReadUInt8(uint8_t& value) override { return ReadInteger(value); }
    bool ReadInt16(int16_t& value) override { return ReadInteger(value); }
    bool ReadUInt16(uint16_t& value) override { return ReadInteger(value); }
    bool ReadInt32(int32_t& value) override { return ReadInteger(value); }
    bool ReadUInt32(uint32_t& value) override { return ReadInteger(value); }
    bool ReadInt64(int64_t& value) override { return ReadInteger(value); }
    bool ReadUInt64(uint64_t& value) override { return ReadInteger(value); }
    bool ReadFloat(float& value) override
    {
        uint32_t bits = 0;
        if (!ReadInteger(bits))
            return false;
        value = std::bit_cast<float>(bits);
        return true;
    }
    bool ReadDouble(double& value) override
    {
        uint64_t bits = 0;
        if (!ReadInteger(bits))
            return false;
        value = std::bit_cast<double>(bits);
        return true;
    }
    bool ReadString(std::string& value) override
    {
        uint32_t count = 0;
        if (!ReadInteger(count))
            return false;
        if (count > MaxStringLength)
        {
            this->m_In.setstate(std::ios_base::failbit);
            return false;
        }
        constexpr size_t Piece = 64 * 1024;
        std::string text;
        while (text.size() < count)
        {
            const size_t start = text.size();
            const size_t take = std::min<size_t>(Piece, count - start);
            text.resize(start + take);
            if (!ReadRaw(text.data() + start, take))
                return false;
        }
        value = std::move(text);
        return true;
    }
    bool ReadBytes(void* data, size_t length) override { return ReadRaw(data, length); }

private:
    bool ReadRaw(void* data, size_t length)
    {
        if (length == 0)
            return this->m_In.good();
        this->m_In.read(static_cast<typename IStreamT::char_type*>(data),
                        static_cast<std::streamsize>(length));
        return static_cast<size_t>(this->m_In.gcount()) == length && !this->m_In.fail();
    }

    template <class IntegerT> bool ReadInteger(IntegerT& value)
    {
        unsigned char bytes[sizeof(IntegerT)];
        if (!ReadRaw(bytes, sizeof bytes))
            return false;
        using UnsignedT = std::make_unsigned_t<IntegerT>;
        UnsignedT decoded = 0;
        for (size_t i = 0; i < sizeof bytes; ++i)
            decoded =
                static_cast<UnsignedT>(decoded | (static_cast<UnsignedT>(bytes[i]) << (8 * i)));
        value = static_cast<IntegerT>(decoded);
        return true;
    }
};
