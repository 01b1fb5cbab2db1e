#include "FileIO/X2DIO/ofstream64.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

ofstream64::ofstream64(std::uint32_t bufferMiB) : m_BufferSize(BufferBytes(bufferMiB)) {}

ofstream64::~ofstream64()
{
    ofstream64::Close();
}

bool ofstream64::Open(const std::string& path)
{
    Close();
    if (!OpenFile(path, O_WRONLY | O_CREAT | O_TRUNC))
    {
        return false;
    }
    m_Buffer.resize(static_cast<std::size_t>(m_BufferSize));
    m_BufferPosition = 0;
    m_WriteOffset = 0;
    m_BufferFill = 0;
    m_Written = 0;
    return true;
}

void ofstream64::Close()
{
    Finish();
}

bool ofstream64::Finish()
{
    if (!IsOpen())
    {
        return false;
    }
    Flush();
    const bool good = m_Flags == 0;
    fstream64::Close();
    m_Buffer.clear();
    m_Buffer.shrink_to_fit();
    return good;
}

std::uint64_t ofstream64::Size() const
{
    return std::max(m_Written, m_BufferPosition + m_BufferFill);
}

bool ofstream64::Flush()
{
    if (!IsOpen())
    {
        m_Flags |= kFailFlag;
        return false;
    }
    if (m_BufferFill > 0)
    {
        WriteAt(m_Buffer.data(), m_BufferPosition, m_BufferFill);
        m_Written = std::max(m_Written, m_BufferPosition + m_BufferFill);
    }
    m_BufferPosition += m_WriteOffset;
    m_WriteOffset = 0;
    m_BufferFill = 0;
    return m_Flags == 0;
}

bool ofstream64::Write(const void* source, std::uint64_t count)
{
    if (!IsGood())
    {
        m_Flags |= kFailFlag;
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(source);
    if (count > m_Buffer.size() - m_WriteOffset)
    {
        if (!Flush())
        {
            return false;
        }
        if (count >= m_Buffer.size())
        {
            // Large writes skip the buffer.
            const bool written = WriteAt(bytes, m_BufferPosition, count);
            m_BufferPosition += count;
            m_Written = std::max(m_Written, m_BufferPosition);
            return written;
        }
    }
    if (count > 0)
    {
        std::memcpy(m_Buffer.data() + m_WriteOffset, bytes, count);
        m_WriteOffset += count;
        m_BufferFill = std::max(m_BufferFill, m_WriteOffset);
    }
    return true;
}

bool ofstream64::Seek(std::uint64_t position)
{
    if (!IsOpen() || position > Size())
    {
        m_Flags |= kFailFlag;
        return false;
    }
    if (!Flush())
    {
        return false;
    }
    m_BufferPosition = position;
    return true;
}

bool ofstream64::Extend(std::uint64_t size)
{
    if (!Flush())
    {
        return false;
    }
    if (size <= m_Written)
    {
        return true;
    }
    if (::ftruncate(m_File, static_cast<off_t>(size)) != 0)
    {
        m_Flags |= kFailFlag;
        return false;
    }
    m_Written = size;
    return true;
}

bool ofstream64::WriteAt(const std::uint8_t* source, std::uint64_t position, std::uint64_t count)
{
    std::uint64_t done = 0;
    while (done < count)
    {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(count - done, std::uint64_t{1} << 30));
        const ssize_t put =
            ::pwrite(m_File, source + done, chunk, static_cast<off_t>(position + done));
        if (put < 0 && errno == EINTR)
        {
            continue;
        }
        if (put <= 0)
        {
            m_Flags |= kFailFlag;
            return false;
        }
        done += static_cast<std::uint64_t>(put);
    }
    return true;
}
