#include "FileIO/VMemoryBinaryStream.h"

#include <cstring>
#include <utility>

VMemoryInputStream::VMemoryInputStream(const std::uint8_t* data, std::uint64_t size)
    : m_Data(size > 0 ? data : nullptr), m_Size(data != nullptr ? size : 0)
{
}

VMemoryInputStream::VMemoryInputStream(std::vector<std::uint8_t> bytes)
    : m_Owned(std::move(bytes)), m_Data(m_Owned.data()), m_Size(m_Owned.size())
{
}

bool VMemoryInputStream::Read(void* destination, std::uint64_t count)
{
    if (m_Failed || count > m_Size - m_Position)
    {
        m_Failed = true;
        return false;
    }
    if (count > 0)
    {
        std::memcpy(destination, m_Data + m_Position, count);
        m_Position += count;
    }
    return true;
}

bool VMemoryInputStream::Seek(std::uint64_t position)
{
    if (position > m_Size)
    {
        m_Position = m_Size;
        m_Failed = true;
        return false;
    }
    m_Position = position;
    return !m_Failed;
}

bool VMemoryOutputStream::Write(const void* source, std::uint64_t count)
{
    if (m_Failed)
    {
        return false;
    }
    if (count == 0)
    {
        return true;
    }
    const std::uint64_t end = m_Position + count;
    if (end < m_Position || end > m_Bytes.max_size())
    {
        m_Failed = true;
        return false;
    }
    if (end > m_Bytes.size())
    {
        m_Bytes.resize(end);
    }
    std::memcpy(m_Bytes.data() + m_Position, source, count);
    m_Position = end;
    return true;
}

bool VMemoryOutputStream::Seek(std::uint64_t position)
{
    if (position > m_Bytes.size())
    {
        m_Failed = true;
        return false;
    }
    m_Position = position;
    return !m_Failed;
}
