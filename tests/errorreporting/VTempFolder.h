// A fresh folder under /tmp for one test, removed with everything in it.
#pragma once

#include <string>
#include <vector>

/// Made by the constructor (Path() is empty when that failed), removed by the destructor.
/// Test thread only; not copyable.
class VTempFolder
{
public:
    VTempFolder();
    ~VTempFolder();
    VTempFolder(const VTempFolder&) = delete;
    VTempFolder& operator=(const VTempFolder&) = delete;

    const std::string& Path() const { return m_Path; }
    /// The names of the entries in the folder.
    std::vector<std::string> Files() const;

private:
    std::string m_Path;
};
