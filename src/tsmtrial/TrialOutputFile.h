// A file written under a temporary name beside its final one and renamed into place when
// complete, so that readers never see half a trial and a failed run keeps the old file.
#pragma once

#include <string>

/// Owns the temporary file: removed on destruction unless Commit moved it into place.
/// Not copyable; one thread at a time.
class VTrialOutputFile
{
public:
    explicit VTrialOutputFile(std::string path);
    VTrialOutputFile(const VTrialOutputFile&) = delete;
    VTrialOutputFile& operator=(const VTrialOutputFile&) = delete;
    ~VTrialOutputFile();

    /// Where to write: the final path plus a suffix with the process id.
    const std::string& GetWorkingPath() const { return m_WorkingPath; }
    /// Renames the working file to the final path; false with `error` set when that fails.
    bool Commit(std::string& error);

private:
    std::string m_Path;
    std::string m_WorkingPath;
    bool m_Committed = false;
};
