// Runs a program with its standard output and error captured separately, for
// tests of a program's console texts and exit codes.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

/// One child process. Start, read, signal and wait from the test's thread only.
/// The destructor kills a child that is still running. Not copyable.
class VChildProcess
{
public:
    VChildProcess() = default;
    ~VChildProcess();
    VChildProcess(const VChildProcess&) = delete;
    VChildProcess& operator=(const VChildProcess&) = delete;

    /// Starts `args[0]` (a path) with `args` and the test's environment. False
    /// when the program cannot be started.
    bool Start(const std::vector<std::string>& args);

    /// Reads output until standard output contains `text`; false after `timeout`
    /// or when the child ends without printing it.
    bool WaitForOutput(const std::string& text, std::chrono::milliseconds timeout);

    /// Reads all output and waits for the child to end; after `timeout` kills it
    /// and returns false.
    bool WaitForExit(std::chrono::milliseconds timeout);

    void Signal(int signalNumber);

    const std::string& Stdout() const { return m_Stdout; }
    const std::string& Stderr() const { return m_Stderr; }
    /// The exit code, or -1 when the child was ended by a signal or still runs.
    int ExitCode() const { return m_ExitCode; }
    /// The signal that ended the child, or 0.
    int TermSignal() const { return m_TermSignal; }

private:
    /// Reads what is ready, waiting at most `wait`. False once both pipes are closed.
    bool ReadSome(std::chrono::milliseconds wait);
    void Reap(bool block);

    pid_t m_Pid = -1;
    int m_StdoutFd = -1;
    int m_StderrFd = -1;
    std::string m_Stdout;
    std::string m_Stderr;
    int m_ExitCode = -1;
    int m_TermSignal = 0;
};
