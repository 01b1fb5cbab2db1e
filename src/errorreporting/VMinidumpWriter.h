// Writes the minidump of a stopped process: system, threads with their stacks, modules,
// memory, the crash, the /proc streams and the reporter's two comments.
#pragma once

#include "errorreporting/MinidumpFormat.h"

#include <cstdint>
#include <string>

class VTracedProcess;

/// What goes into one minidump besides what the process itself holds.
struct VMinidumpContent
{
    /// With exception information: the crash record's address in the process and the thread
    /// that crashed (the command line's exception arguments).
    bool m_WithException = false;
    std::uint64_t m_CrashRecordAddress = 0;
    std::uint32_t m_CrashedThreadId = 0;
    /// Every readable mapping of the process besides the stacks.
    bool m_FullMemory = false;
    /// The first comment (wide, terminator included) and the second (8-bit, terminator
    /// included).
    std::string m_IncidentId;
    std::string m_Comments;
};

/// Writes the dump of one process into one open file. The process must be attached and its
/// memory open (VTracedProcess::Attach, OpenMemory). Streams, in directory order: system
/// information, thread list, module list, memory list, exception (only m_WithException), the
/// process's status, command line, auxiliary vector and maps, the wide comment (incident ID),
/// the 8-bit comment (the user's comments), and with m_FullMemory the 64-bit memory list.
///
/// The crashed thread's entry in the thread list carries the registers of the crash record
/// (its live registers are those of the crash handler), and its stack is taken from there.
/// Not thread-safe; one writer per file.
class VMinidumpWriter
{
public:
    /// Most bytes of one thread's stack kept, from its stack pointer up.
    static constexpr std::uint64_t MaxStackBytes = 2 * 1024 * 1024;
    /// Mappings larger than this stay out of a full-memory dump (sanitizer shadow memory is
    /// terabytes of reserved address space).
    static constexpr std::uint64_t MaxFullMemoryMapping = 1ull << 30;

    VMinidumpWriter(const VTracedProcess& process, int fd);
    VMinidumpWriter(const VMinidumpWriter&) = delete;
    VMinidumpWriter& operator=(const VMinidumpWriter&) = delete;

    /// Replaces what the file held with the whole dump (memory that reads as zeros is left as
    /// holes of a sparse file). False when the crash record cannot be read or decoded, or a
    /// write fails; the file then holds no usable dump.
    bool Write(const VMinidumpContent& content);

private:
    class VImpl;
    const VTracedProcess& m_Process;
    int m_Fd;
};
