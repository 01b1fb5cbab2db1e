// Runs a program as a child process for the tests: its standard output and error go to
// temporary files of their own (so a child that writes much never blocks on a full pipe),
// it can be signalled, and every wait is bounded.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport
{

/// One child process. Start, read, signal and wait from the test's thread only. The
/// destructor kills a child that still runs and removes its output files. Not copyable.
class VChildProcess
{
public:
    VChildProcess() = default;
    ~VChildProcess();
    VChildProcess(const VChildProcess&) = delete;
    VChildProcess& operator=(const VChildProcess&) = delete;

    /// Starts `args[0]` (a path) with `args` and the test's environment. False when the
    /// program cannot be started or a child was started already.
    bool Start(const std::vector<std::string>& args);

    bool IsStarted() const { return m_Pid > 0; }
    /// The child's process id; -1 before Start or when it failed.
    pid_t GetPid() const { return m_Pid; }

    /// Sends `signalNumber` to a child that has not been waited for.
    void Signal(int signalNumber);

    /// Waits until standard output contains `text`; false after `timeout` or when the child
    /// ends without printing it.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);

    /// Waits for the child to end; after `timeout` kills it and returns false.
    bool WaitForExit(std::chrono::milliseconds timeout);

    /// What the child wrote so far, read again on each call; the reference stays valid (and
    /// is updated by later calls) for the life of the object.
    const std::string& Stdout() const;
    const std::string& Stderr() const;
    /// The exit code, or -1 when the child was ended by a signal, killed or still runs.
    int ExitCode() const { return m_ExitCode; }
    /// The signal that ended the child, or 0.
    int TermSignal() const { return m_TermSignal; }

private:
    /// Collects the child's status; with `block` false only when it has ended.
    void Reap(bool block);

    pid_t m_Pid = -1;
    bool m_Ended = false;
    int m_ExitCode = -1;
    int m_TermSignal = 0;
    std::string m_OutPath;
    std::string m_ErrPath;
    mutable std::string m_Stdout; // the last read of m_OutPath
    mutable std::string m_Stderr; // the last read of m_ErrPath
};

} // namespace testsupport
