#include "FileIO/X2DIO/fstream64.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

fstream64::~fstream64()
{
    fstream64::Close();
}

void fstream64::Close()
{
    if (m_File >= 0)
    {
        ::close(m_File);
        m_File = -1;
    }
    m_FileSize = kUnknownSize;
}

bool fstream64::OpenFile(const std::string& path, int flags)
{
    Close();
    m_Flags = 0;
    m_OpenError.clear();
    // Non-blocking, so that a FIFO without a writer (or reader) cannot hold the open for
    // ever: it opens at once (or fails at once) and is then refused for what it is.
    const int file = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0644);
    struct stat status = {};
    if (file < 0 || ::fstat(file, &status) != 0 || !S_ISREG(status.st_mode))
    {
        if (file >= 0)
        {
            if (!S_ISDIR(status.st_mode))
                m_OpenError = "it is not a regular file (a FIFO, socket or device)";
            ::close(file);
        }
        m_Flags |= kFailFlag;
        return false;
    }
    // Regular files never block; the flag is cleared all the same.
    ::fcntl(file, F_SETFL, ::fcntl(file, F_GETFL) & ~O_NONBLOCK);
    m_File = file;
    m_FileSize = static_cast<std::uint64_t>(status.st_size);
    return true;
}

std::uint64_t fstream64::BufferBytes(std::uint32_t bufferMiB)
{
    const std::uint32_t mib =
        bufferMiB < 1 ? 1 : (bufferMiB > kMaxBufferMiB ? kMaxBufferMiB : bufferMiB);
    return std::uint64_t{mib} << 20;
}
