#include "support/VTempDir.h"

#include <cstdlib>

namespace testsupport
{

VTempDir::VTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tsm-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr)
        m_Path = pattern;
}

VTempDir::~VTempDir()
{
    std::error_code ignored;
    if (!m_Path.empty())
        std::filesystem::remove_all(m_Path, ignored);
}

std::vector<std::string> VTempDir::Names() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(m_Path))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace testsupport
