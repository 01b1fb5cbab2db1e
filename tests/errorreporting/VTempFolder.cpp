#include "VTempFolder.h"

#include <stdlib.h>

#include <filesystem>

VTempFolder::VTempFolder()
{
    char pattern[] = "/tmp/tsm-test-XXXXXX";
    if (mkdtemp(pattern) != nullptr)
        m_Path = pattern;
}

VTempFolder::~VTempFolder()
{
    std::error_code ignored;
    if (!m_Path.empty())
        std::filesystem::remove_all(m_Path, ignored);
}

std::vector<std::string> VTempFolder::Files() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_Path))
        names.push_back(entry.path().filename().string());
    return names;
}
