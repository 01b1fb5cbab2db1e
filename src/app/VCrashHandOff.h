// The crash hand-off of tsmCL: a fault, an abort or an uncaught exception closes the log and
// starts the error reporter, which writes a minidump of the stopped process.
#pragma once

#include <cstdint>

class VAlternateSignalStack;

/// Installs, for the whole process, handlers for SIGSEGV, SIGBUS, SIGILL, SIGFPE and SIGABRT
/// (on the alternate signal stack of the crashing thread) and a std::terminate handler that
/// ends in the SIGABRT handler. On a crash the handler, using only async-signal-safe calls:
/// closes the log with "Application crash - generating error report...", fills the process's
/// crash record (signal information and the thread's registers), starts ZELErrorReporting
/// from the program's own folder with the command line
///   "<reporter path>" <pid> 0x<crash record address> <thread id> <brand>
/// allows it to trace the process and waits for it. Exit code 0 ends the process with exit
/// code 1; any other prints "Exit code for process ID %d was %d" and the signal's default
/// action ends the process (a reporter killed by signal N counts as exit code 128 + N). A
/// reporter that cannot be started or waited for prints its failure line, and the default
/// action follows.
///
/// Everything the handler needs (the reporter's path, the pipes that order the start) is
/// prepared by the constructor. A second crash on another thread while the first is handed
/// off waits for the process to end; a fault inside the hand-off itself takes the default
/// action at once.
///
/// Threading: one per process, constructed during static initialisation on the main thread
/// (it gives that thread its alternate signal stack; every other thread of ours holds a
/// VAlternateSignalStack of its own). The destructor restores nothing: the handlers stay
/// until the process ends. Not copyable.
class VCrashHandOff
{
public:
    /// The reporter's file name, looked for beside the program.
    static constexpr const char* ReporterName = "ZELErrorReporting";

    explicit VCrashHandOff(int brandIndex);
    ~VCrashHandOff() = default;
    VCrashHandOff(const VCrashHandOff&) = delete;
    VCrashHandOff& operator=(const VCrashHandOff&) = delete;

    /// The path of the reporter that a crash starts.
    static const char* GetReporterPath();
    /// The address of the process's crash record, as the reporter's command line gives it.
    static std::uint64_t GetCrashRecordAddress();
};
