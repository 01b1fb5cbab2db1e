#include "VChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

VChildProcess::~VChildProcess()
{
    if (m_Pid > 0)
    {
        kill(m_Pid, SIGKILL);
        Reap(true);
    }
    if (m_StdoutFd >= 0)
        close(m_StdoutFd);
    if (m_StderrFd >= 0)
        close(m_StderrFd);
}

bool VChildProcess::Start(const std::vector<std::string>& args)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return false;
    if (pipe2(err, O_CLOEXEC) != 0)
    {
        close(out[0]);
        close(out[1]);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    m_StdoutFd = out[0];
    m_StderrFd = err[0];
    if (error != 0)
        m_Pid = -1;
    return error == 0;
}

bool VChildProcess::ReadSome(std::chrono::milliseconds wait)
{
    pollfd entries[2] = {{m_StdoutFd, POLLIN, 0}, {m_StderrFd, POLLIN, 0}};
    if (m_StdoutFd < 0 && m_StderrFd < 0)
        return false;
    if (poll(entries, 2, static_cast<int>(wait.count())) <= 0)
        return true;
    int* fds[2] = {&m_StdoutFd, &m_StderrFd};
    std::string* texts[2] = {&m_Stdout, &m_Stderr};
    for (int i = 0; i < 2; ++i)
    {
        if (*fds[i] < 0 || entries[i].revents == 0)
            continue;
        char buffer[4096];
        const ssize_t count = read(*fds[i], buffer, sizeof(buffer));
        if (count > 0)
        {
            texts[i]->append(buffer, static_cast<size_t>(count));
            continue;
        }
        close(*fds[i]);
        *fds[i] = -1;
    }
    return m_StdoutFd >= 0 || m_StderrFd >= 0;
}

bool VChildProcess::WaitForOutput(const std::string& text, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_Stdout.find(text) == std::string::npos)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !ReadSome(left))
            return m_Stdout.find(text) != std::string::npos;
    }
    return true;
}

bool VChildProcess::WaitForExit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            kill(m_Pid, SIGKILL);
            Reap(true);
            return false;
        }
        if (!ReadSome(left))
            break;
    }
    // Both pipes are closed: the child has ended or is about to.
    while (m_Pid > 0 && std::chrono::steady_clock::now() < deadline)
    {
        Reap(false);
        if (m_Pid > 0)
            poll(nullptr, 0, 10);
    }
    if (m_Pid <= 0)
        return true;
    kill(m_Pid, SIGKILL);
    Reap(true);
    return false;
}

void VChildProcess::Signal(int signalNumber)
{
    if (m_Pid > 0)
        kill(m_Pid, signalNumber);
}

void VChildProcess::Reap(bool block)
{
    if (m_Pid <= 0)
        return;
    int status = 0;
    if (waitpid(m_Pid, &status, block ? 0 : WNOHANG) != m_Pid)
        return;
    m_Pid = -1;
    if (WIFEXITED(status))
        m_ExitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        m_TermSignal = WTERMSIG(status);
}
