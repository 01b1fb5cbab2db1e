#include "app/CrashFaults.h"

#include "net/VThread.h"

#include <cstdlib>
#include <stdexcept>

// Named functions kept out of line, so that a debugger's backtrace of the dump shows which
// fault was asked for.

// The null write is the point, so the undefined-behaviour sanitizer is not to report it.
[[noreturn]] __attribute__((noinline, no_sanitize("undefined"))) void CrashWithSegmentationFault()
{
    volatile int* volatile target = nullptr;
    *target = 0x7E57;
    std::abort(); // only when the write did not fault
}

[[noreturn]] __attribute__((noinline)) void CrashWithAbort()
{
    std::abort();
}

[[noreturn]] __attribute__((noinline)) void CrashWithUncaughtException()
{
    throw std::runtime_error("tsmCL -crash: an exception that nothing catches");
}

[[noreturn]] __attribute__((noinline)) void CrashOnOwnThread()
{
    VFunctionThread thread("tsm-crash", [](VThread&) { CrashWithSegmentationFault(); });
    thread.Start();
    thread.Join(); // the fault ends the process first
    std::abort();
}

std::optional<ECrashKind> CrashKindFromText(std::string_view text)
{
    if (text.empty() || text == "segv")
        return ECrashKind::SegmentationFault;
    if (text == "abort")
        return ECrashKind::Abort;
    if (text == "throw")
        return ECrashKind::UncaughtException;
    if (text == "thread")
        return ECrashKind::FaultOnOwnThread;
    return std::nullopt;
}

void RaiseCrash(ECrashKind kind)
{
    switch (kind)
    {
    case ECrashKind::SegmentationFault:
        CrashWithSegmentationFault();
    case ECrashKind::Abort:
        CrashWithAbort();
    case ECrashKind::UncaughtException:
        CrashWithUncaughtException();
    case ECrashKind::FaultOnOwnThread:
        CrashOnOwnThread();
    }
    std::abort();
}
