#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace host_test
{

namespace
{

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempBase()
{
    static std::atomic<int> counter{0};
    return (std::filesystem::temp_directory_path() /
            ("tsmhost-child-" + std::to_string(getpid()) + "-" + std::to_string(counter++)))
        .string();
}

} // namespace

VChildProcess::VChildProcess(const std::string& program, const std::vector<std::string>& args)
{
    const std::string base = TempBase();
    m_OutPath = base + ".out";
    m_ErrPath = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, m_OutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, m_ErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<std::string> all = {program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawn(&m_Pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
        m_Pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

VChildProcess::~VChildProcess()
{
    if (m_Pid > 0 && !m_Ended)
    {
        kill(m_Pid, SIGKILL);
        Wait(5.0);
    }
    std::filesystem::remove(m_OutPath);
    std::filesystem::remove(m_ErrPath);
}

void VChildProcess::Signal(int signal)
{
    if (m_Pid > 0 && !m_Ended)
        kill(m_Pid, signal);
}

int VChildProcess::Wait(double seconds)
{
    if (m_Pid <= 0)
        return -1;
    if (m_Ended)
        return m_Exit;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    int status = 0;
    while (waitpid(m_Pid, &status, WNOHANG) == 0)
    {
        if (std::chrono::steady_clock::now() > deadline)
        {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, &status, 0);
            m_Ended = true;
            m_Exit = -1;
            return m_Exit;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_Ended = true;
    m_Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_Exit;
}

std::string VChildProcess::GetOut() const
{
    return ReadFile(m_OutPath);
}

std::string VChildProcess::GetErr() const
{
    return ReadFile(m_ErrPath);
}

} // namespace host_test
