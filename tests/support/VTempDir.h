// A temporary folder for the files a test writes.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport
{

/// A fresh folder under the system's temporary folder, removed with everything in it when the
/// object goes. Used on one thread. Not copyable.
class VTempDir
{
public:
    VTempDir();
    ~VTempDir();
    VTempDir(const VTempDir&) = delete;
    VTempDir& operator=(const VTempDir&) = delete;

    /// False when the folder could not be made.
    bool IsValid() const { return !m_Path.empty(); }
    /// The folder's path; empty when it could not be made.
    std::string Path() const { return m_Path.string(); }
    /// The path of `name` in the folder (the file need not exist).
    std::string File(const std::string& name) const { return (m_Path / name).string(); }
    /// The names of the files in the folder.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path m_Path;
};

} // namespace testsupport
