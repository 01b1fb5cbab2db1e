// The faults that "-crash" raises, chosen by TSM_CRASH, so that every path of the crash
// hand-off can be tried.
#pragma once

#include <optional>
#include <string_view>

enum class ECrashKind
{
    SegmentationFault, // "segv": a write through a null pointer on the main thread
    Abort,             // "abort": std::abort
    UncaughtException, // "throw": a C++ exception that nothing catches
    FaultOnOwnThread,  // "thread": the null-pointer write on a thread of ours
};

/// The kind that TSM_CRASH names: "segv" (also for an unset or empty variable), "abort",
/// "throw" or "thread"; empty for anything else.
std::optional<ECrashKind> CrashKindFromText(std::string_view text);

/// Raises the fault. Never returns: the crash hand-off ends the process.
[[noreturn]] void RaiseCrash(ECrashKind kind);
