#include "tsmtrial/TrialOutputFile.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

VTrialOutputFile::VTrialOutputFile(std::string path)
    : m_Path(std::move(path)), m_WorkingPath(m_Path + ".tmp" + std::to_string(::getpid()))
{
}

VTrialOutputFile::~VTrialOutputFile()
{
    if (!m_Committed)
    {
        std::error_code ignored;
        std::filesystem::remove(m_WorkingPath, ignored);
    }
}

bool VTrialOutputFile::Commit(std::string& error)
{
    std::error_code failure;
    std::filesystem::rename(m_WorkingPath, m_Path, failure);
    if (failure)
    {
        error = "Cannot move the new trial to " + m_Path + ": " + failure.message() + ".";
        return false;
    }
    m_Committed = true;
    return true;
}
