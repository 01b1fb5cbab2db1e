#include "errorreporting/VTracedProcess.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

namespace
{

std::vector<pid_t> ListThreads(pid_t pid)
{
    std::vector<pid_t> threads;
    const std::string path = "/proc/" + std::to_string(pid) + "/task";
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr)
        return threads;
    while (const dirent* entry = readdir(directory))
    {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (end != entry->d_name && *end == '\0' && tid > 0)
            threads.push_back(static_cast<pid_t>(tid));
    }
    closedir(directory);
    std::sort(threads.begin(), threads.end());
    return threads;
}

VThreadContext ContextFromPtrace(const user_regs_struct& regs, const user_fpregs_struct* fp)
{
    VThreadContext context;
    context[EAmd64Register::Rax] = regs.rax;
    context[EAmd64Register::Rcx] = regs.rcx;
    context[EAmd64Register::Rdx] = regs.rdx;
    context[EAmd64Register::Rbx] = regs.rbx;
    context[EAmd64Register::Rsp] = regs.rsp;
    context[EAmd64Register::Rbp] = regs.rbp;
    context[EAmd64Register::Rsi] = regs.rsi;
    context[EAmd64Register::Rdi] = regs.rdi;
    context[EAmd64Register::R8] = regs.r8;
    context[EAmd64Register::R9] = regs.r9;
    context[EAmd64Register::R10] = regs.r10;
    context[EAmd64Register::R11] = regs.r11;
    context[EAmd64Register::R12] = regs.r12;
    context[EAmd64Register::R13] = regs.r13;
    context[EAmd64Register::R14] = regs.r14;
    context[EAmd64Register::R15] = regs.r15;
    context[EAmd64Register::Rip] = regs.rip;
    context.m_EFlags = static_cast<std::uint32_t>(regs.eflags);
    context.m_Cs = static_cast<std::uint16_t>(regs.cs);
    context.m_Ds = static_cast<std::uint16_t>(regs.ds);
    context.m_Es = static_cast<std::uint16_t>(regs.es);
    context.m_Fs = static_cast<std::uint16_t>(regs.fs);
    context.m_Gs = static_cast<std::uint16_t>(regs.gs);
    context.m_Ss = static_cast<std::uint16_t>(regs.ss);
    context.m_FsBase = regs.fs_base;
    if (fp != nullptr)
    {
        static_assert(sizeof(user_fpregs_struct) == VThreadContext::FloatStateSize);
        std::memcpy(context.m_FloatState.data(), fp, sizeof(*fp));
        context.m_HasFloatState = true;
    }
    return context;
}

} // namespace

VTracedProcess::VTracedProcess(pid_t pid) : m_Pid(pid) {}

VTracedProcess::~VTracedProcess()
{
    Detach();
    if (m_MemoryFd >= 0)
        close(m_MemoryFd);
    if (m_PageMapFd >= 0)
        close(m_PageMapFd);
}

bool VTracedProcess::Seize(pid_t tid)
{
    if (ptrace(PTRACE_SEIZE, tid, nullptr, nullptr) != 0)
        return false;
    VTracedThread thread;
    thread.m_Id = static_cast<std::uint32_t>(tid);
    if (ptrace(PTRACE_INTERRUPT, tid, nullptr, nullptr) != 0)
    {
        ptrace(PTRACE_DETACH, tid, nullptr, nullptr);
        return false;
    }
    for (;;)
    {
        int status = 0;
        const pid_t waited = waitpid(tid, &status, __WALL);
        if (waited < 0 && errno == EINTR)
            continue;
        if (waited < 0 || WIFEXITED(status) || WIFSIGNALED(status))
            return false; // the thread ended before it stopped
        if (!WIFSTOPPED(status))
            continue;
        // The interrupt's own stop, or a stop for a signal the thread was about to take: that
        // signal is kept and given back at the detach.
        if ((status >> 16) != PTRACE_EVENT_STOP)
            thread.m_PendingSignal = WSTOPSIG(status);
        break;
    }
    m_Threads.push_back(thread);
    return true;
}

bool VTracedProcess::ReadRegisters(VTracedThread& thread) const
{
    user_regs_struct regs{};
    if (ptrace(PTRACE_GETREGS, thread.m_Id, nullptr, &regs) != 0)
        return false;
    user_fpregs_struct fp{};
    const bool hasFloat = ptrace(PTRACE_GETFPREGS, thread.m_Id, nullptr, &fp) == 0;
    thread.m_Context = ContextFromPtrace(regs, hasFloat ? &fp : nullptr);
    return true;
}

bool VTracedProcess::Attach()
{
    if (m_Attached)
        return true;
    if (!Seize(m_Pid))
        return false;
    m_Attached = true;
    std::set<pid_t> seen = {m_Pid};
    bool foundNew = true;
    while (foundNew)
    {
        foundNew = false;
        for (const pid_t tid : ListThreads(m_Pid))
        {
            if (!seen.insert(tid).second)
                continue;
            foundNew = true;
            Seize(tid); // a thread that ends meanwhile is simply not in the dump
        }
    }
    std::sort(m_Threads.begin(), m_Threads.end(),
              [](const VTracedThread& a, const VTracedThread& b) { return a.m_Id < b.m_Id; });
    for (VTracedThread& thread : m_Threads)
        ReadRegisters(thread);
    return true;
}

bool VTracedProcess::OpenMemory()
{
    if (m_MemoryFd >= 0)
        return true;
    const std::string folder = "/proc/" + std::to_string(m_Pid);
    m_MemoryFd = open((folder + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (m_MemoryFd >= 0)
        m_PageMapFd = open((folder + "/pagemap").c_str(), O_RDONLY | O_CLOEXEC);
    return m_MemoryFd >= 0;
}

bool VTracedProcess::HasPagesIn(std::uint64_t address, std::size_t size) const
{
    constexpr std::uint64_t Present = 1ull << 63;
    constexpr std::uint64_t Swapped = 1ull << 62;
    if (m_PageMapFd < 0 || size == 0)
        return true;
    const std::uint64_t page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    const std::uint64_t first = address / page;
    const std::uint64_t last = (address + size - 1) / page;
    std::vector<std::uint64_t> entries(last - first + 1);
    const std::size_t bytes = entries.size() * sizeof(std::uint64_t);
    if (pread(m_PageMapFd, entries.data(), bytes, static_cast<off_t>(first * 8)) !=
        static_cast<ssize_t>(bytes))
        return true;
    return std::any_of(entries.begin(), entries.end(),
                       [](std::uint64_t entry) { return (entry & (Present | Swapped)) != 0; });
}

void VTracedProcess::Detach()
{
    for (const VTracedThread& thread : m_Threads)
        ptrace(PTRACE_DETACH, thread.m_Id, nullptr,
               reinterpret_cast<void*>(static_cast<long>(thread.m_PendingSignal)));
    m_Threads.clear();
    m_Attached = false;
}

std::size_t VTracedProcess::ReadMemory(std::uint64_t address, void* out, std::size_t size) const
{
    if (m_MemoryFd < 0)
        return 0;
    auto* bytes = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t got =
            pread(m_MemoryFd, bytes + done, size - done, static_cast<off_t>(address + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

std::string VTracedProcess::ReadProcFile(const char* name) const
{
    const std::string path = "/proc/" + std::to_string(m_Pid) + "/" + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[4096];
    for (;;)
    {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return text;
}

std::string VTracedProcess::GetExecutablePath() const
{
    const std::string link = "/proc/" + std::to_string(m_Pid) + "/exe";
    char path[4096];
    const ssize_t length = readlink(link.c_str(), path, sizeof(path));
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(path))
        return {};
    return std::string(path, static_cast<std::size_t>(length));
}
