#include "FileIO/X2DIO/ifstream64.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

ifstream64::ifstream64(std::uint32_t bufferMiB) : m_BufferSize(BufferBytes(bufferMiB)) {}

bool ifstream64::Open(const std::string& path)
{
    Close();
    if (!OpenFile(path, O_RDONLY))
    {
        return false;
    }
    m_Buffer.Allocate(static_cast<std::size_t>(std::min(m_BufferSize, m_FileSize)));
    ::posix_fadvise(m_File, 0, 0, POSIX_FADV_SEQUENTIAL);
    Seek(0);
    return true;
}

void ifstream64::Close()
{
    fstream64::Close();
    m_Buffer.Release();
    m_BufferPosition = 0;
    m_ReadOffset = 0;
    m_BufferFill = 0;
}

bool ifstream64::Seek(std::uint64_t position)
{
    if (!IsOpen())
    {
        m_Flags |= kFailFlag;
        return false;
    }
    if (position >= m_FileSize)
    {
        m_BufferPosition = m_FileSize;
        m_ReadOffset = 0;
        m_BufferFill = 0;
        if (position != m_FileSize)
        {
            m_Flags |= kFailFlag;
            return false;
        }
        return IsGood();
    }
    if (position >= m_BufferPosition && position - m_BufferPosition < m_BufferFill)
    {
        m_ReadOffset = static_cast<std::uint32_t>(position - m_BufferPosition);
        return IsGood();
    }
    Fill(position);
    return IsGood();
}

bool ifstream64::ReadSlow(std::uint8_t* destination, std::uint64_t count)
{
    if (!IsOpen())
    {
        m_Flags |= kFailFlag;
        return false;
    }
    if (m_Flags != 0)
    {
        return false;
    }
    if (count > m_FileSize - Tell())
    {
        m_Flags |= kShortReadFlag;
        return false;
    }
    while (count > 0)
    {
        const std::uint32_t available = m_BufferFill - m_ReadOffset;
        if (available > 0)
        {
            const std::uint64_t chunk = std::min<std::uint64_t>(available, count);
            std::memcpy(destination, m_Buffer.data() + m_ReadOffset, chunk);
            m_ReadOffset += static_cast<std::uint32_t>(chunk);
            destination += chunk;
            count -= chunk;
            continue;
        }
        const std::uint64_t position = Tell();
        if (count >= m_Buffer.size())
        {
            // A read of a buffer or more goes straight to the caller's memory, leaving the
            // buffer empty at the position behind it.
            const std::uint64_t got = ReadAt(destination, position, count);
            m_BufferPosition = position + got;
            m_ReadOffset = 0;
            m_BufferFill = 0;
            if (got < count)
            {
                m_Flags |= kShortReadFlag;
                return false;
            }
            return m_Flags == 0;
        }
        Fill(position);
        if (m_BufferFill == 0 || m_Flags != 0)
        {
            m_Flags |= kShortReadFlag;
            return false;
        }
    }
    return m_Flags == 0;
}

void ifstream64::Fill(std::uint64_t position)
{
    const std::uint64_t wanted = std::min<std::uint64_t>(m_Buffer.size(), m_FileSize - position);
    const std::uint64_t got = ReadAt(m_Buffer.data(), position, wanted);
    m_BufferPosition = position;
    m_ReadOffset = 0;
    m_BufferFill = static_cast<std::uint32_t>(got);
    if (got < wanted)
    {
        m_Flags |= kShortReadFlag;
        return;
    }
    const std::uint64_t next = position + got;
    if (next < m_FileSize)
    {
        ::posix_fadvise(
            m_File, static_cast<off_t>(next),
            static_cast<off_t>(std::min<std::uint64_t>(m_Buffer.size(), m_FileSize - next)),
            POSIX_FADV_WILLNEED);
    }
}

std::uint64_t ifstream64::ReadAt(std::uint8_t* destination, std::uint64_t position,
                                 std::uint64_t count)
{
    std::uint64_t done = 0;
    while (done < count)
    {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(
            count - done, std::uint64_t{1} << 30)); // pread caps a call below 2 GiB
        const ssize_t got =
            ::pread(m_File, destination + done, chunk, static_cast<off_t>(position + done));
        if (got < 0)
        {
            if (errno == EINTR)
            {
                continue;
            }
            m_Flags |= kFailFlag;
            break;
        }
        if (got == 0)
        {
            break; // the file shrank since it was opened
        }
        done += static_cast<std::uint64_t>(got);
    }
    return done;
}
