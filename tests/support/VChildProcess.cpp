#include "support/VChildProcess.h"

#include "support/FileBytes.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

extern char** environ;

namespace testsupport
{

namespace
{

using Clock = std::chrono::steady_clock;

/// A path prefix in the temporary folder that no other child of any test process uses.
std::string OutputBase()
{
    static std::atomic<int> counter{0};
    return (std::filesystem::temp_directory_path() /
            ("tsm-child-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
        .string();
}

} // namespace

VChildProcess::~VChildProcess()
{
    if (m_Pid > 0 && !m_Ended)
    {
        ::kill(m_Pid, SIGKILL);
        Reap(true);
    }
    std::error_code ignored;
    if (!m_OutPath.empty())
        std::filesystem::remove(m_OutPath, ignored);
    if (!m_ErrPath.empty())
        std::filesystem::remove(m_ErrPath, ignored);
}

bool VChildProcess::Start(const std::vector<std::string>& args)
{
    if (args.empty() || m_Pid > 0)
        return false;
    const std::string base = OutputBase();
    m_OutPath = base + ".out";
    m_ErrPath = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, m_OutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_ErrPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        m_Pid = -1;
    return error == 0;
}

void VChildProcess::Signal(int signalNumber)
{
    if (m_Pid > 0 && !m_Ended)
        ::kill(m_Pid, signalNumber);
}

bool VChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    for (;;)
    {
        // Reaped first, so output written just before the end is read below.
        Reap(false);
        if (Stdout().find(text) != std::string::npos)
            return true;
        if (m_Pid <= 0 || m_Ended || Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool VChildProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    if (m_Pid <= 0)
        return false;
    const auto deadline = Clock::now() + timeout;
    while (!m_Ended)
    {
        Reap(false);
        if (m_Ended)
            break;
        if (Clock::now() >= deadline)
        {
            ::kill(m_Pid, SIGKILL);
            Reap(true);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

const std::string& VChildProcess::Stdout() const
{
    if (!m_OutPath.empty())
        m_Stdout = ReadText(m_OutPath);
    return m_Stdout;
}

const std::string& VChildProcess::Stderr() const
{
    if (!m_ErrPath.empty())
        m_Stderr = ReadText(m_ErrPath);
    return m_Stderr;
}

void VChildProcess::Reap(bool block)
{
    if (m_Pid <= 0 || m_Ended)
        return;
    int status = 0;
    if (::waitpid(m_Pid, &status, block ? 0 : WNOHANG) != m_Pid)
        return;
    m_Ended = true;
    if (WIFEXITED(status))
        m_ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        m_TermSignal = WTERMSIG(status);
}

} // namespace testsupport
