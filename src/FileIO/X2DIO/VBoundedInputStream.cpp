#include "FileIO/X2DIO/VBoundedInputStream.h"

#include <algorithm>

VBoundedInputStream::VBoundedInputStream(IBinaryInputStream& stream, std::uint64_t end)
    : m_Stream(stream), m_End(std::min(end, stream.Size()))
{
}

bool VBoundedInputStream::Read(void* destination, std::uint64_t count)
{
    if (m_Failed || count > Remaining() || Tell() > m_End)
    {
        m_Failed = true;
        return false;
    }
    return m_Stream.Read(destination, count);
}

bool VBoundedInputStream::Seek(std::uint64_t position)
{
    if (position > m_End)
    {
        m_Stream.Seek(m_End);
        m_Failed = true;
        return false;
    }
    return m_Stream.Seek(position) && !m_Failed;
}

void VBoundedInputStream::ClearErrors()
{
    m_Failed = false;
    m_Stream.ClearErrors();
}
