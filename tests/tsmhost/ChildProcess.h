// Runs a program of the build tree as a child process for the tests: its output goes to
// temporary files, it can be signalled, and every wait is bounded.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace host_test
{

/// One child process. Not copyable; the destructor kills a child still running.
class VChildProcess
{
public:
    /// Starts `program` with `args`; standard output and error go to files of their own.
    VChildProcess(const std::string& program, const std::vector<std::string>& args);
    ~VChildProcess();
    VChildProcess(const VChildProcess&) = delete;
    VChildProcess& operator=(const VChildProcess&) = delete;

    bool IsStarted() const { return m_Pid > 0; }
    pid_t GetPid() const { return m_Pid; }
    void Signal(int signal);
    /// Waits up to `seconds` for the end; the exit status, or -1 when it had to be killed
    /// (or ended by a signal).
    int Wait(double seconds);
    /// What the child wrote so far.
    std::string GetOut() const;
    std::string GetErr() const;

private:
    pid_t m_Pid = -1;
    bool m_Ended = false;
    int m_Exit = -1;
    std::string m_OutPath;
    std::string m_ErrPath;
};

} // namespace host_test
