// Another process held still under ptrace while a minidump is taken of it.
#pragma once

#include "errorreporting/ThreadContext.h"

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One stopped thread of the traced process.
struct VTracedThread
{
    std::uint32_t m_Id = 0;
    VThreadContext m_Context; // its registers when it was stopped
    int m_PendingSignal = 0;  // a signal it was about to take, given back when it is let go
};

/// Every thread of one process seized and stopped with ptrace, the process's memory read
/// through /proc/<pid>/mem. The destructor lets every thread go on (Detach).
///
/// Threading: ptrace answers only the thread that attached, so one thread does everything,
/// from Attach to destruction. Not copyable.
class VTracedProcess
{
public:
    explicit VTracedProcess(pid_t pid);
    ~VTracedProcess();
    VTracedProcess(const VTracedProcess&) = delete;
    VTracedProcess& operator=(const VTracedProcess&) = delete;

    /// Seizes and stops every thread listed in /proc/<pid>/task, listing again until a pass
    /// finds no new thread (a thread may start another before it is stopped), and reads each
    /// one's registers. False when the process's main thread cannot be seized (no such
    /// process, no permission, already traced); threads that end meanwhile are left out.
    bool Attach();
    bool IsAttached() const { return m_Attached; }

    /// Opens the process's memory for reading. False when it cannot be opened.
    bool OpenMemory();

    /// Lets every stopped thread go on, with the signal it was about to take. Idempotent.
    void Detach();

    pid_t GetPid() const { return m_Pid; }
    const std::vector<VTracedThread>& GetThreads() const { return m_Threads; }

    /// Copies up to `size` bytes at `address` into `out`. Returns how many bytes were read:
    /// fewer when the range reaches unreadable memory.
    std::size_t ReadMemory(std::uint64_t address, void* out, std::size_t size) const;

    /// Whether any page of [`address`, `address` + `size`) is in memory or swapped out,
    /// asked of /proc/<pid>/pagemap without touching the pages; true when that cannot be told.
    /// An anonymous page that is neither has never been written and reads as zeros.
    bool HasPagesIn(std::uint64_t address, std::size_t size) const;

    /// The contents of /proc/<pid>/<name> ("maps", "status", "cmdline", "auxv"); empty when
    /// it cannot be read.
    std::string ReadProcFile(const char* name) const;

    /// The path of the process's executable, or empty.
    std::string GetExecutablePath() const;

private:
    /// Seizes, interrupts and waits for one thread; false when it cannot be held.
    bool Seize(pid_t tid);
    bool ReadRegisters(VTracedThread& thread) const;

    pid_t m_Pid;
    bool m_Attached = false;
    int m_MemoryFd = -1;
    int m_PageMapFd = -1; // opened with the memory; -1 when not readable
    std::vector<VTracedThread> m_Threads;
};
