// The alternate signal stack of one thread, so that a fault handler still runs when the
// thread's own stack is exhausted or corrupt.
#pragma once

#include <cstddef>

/// Maps a stack for signal handlers (with a guard page below it) and installs it for the
/// calling thread; the destructor puts back the stack that was installed before (none, or a
/// sanitizer's) and unmaps its own. Every thread the program starts holds one for its whole
/// life: VThread does it for its threads, the std::thread bodies of the devices at the top of
/// their function, and the crash hand-off for the main thread.
///
/// A thread that already has an alternate stack of at least MinimumSize keeps it and this
/// object does nothing. Failure to map or install leaves the thread as it was (a fault is then
/// still handled unless the stack itself overflowed).
///
/// Threading: construct and destroy on the thread it serves, in that order of nesting.
/// Not copyable.
class VAlternateSignalStack
{
public:
    /// Large enough for the crash hand-off, which formats a few numbers and starts a process.
    static constexpr size_t MinimumSize = 64 * 1024;

    VAlternateSignalStack();
    ~VAlternateSignalStack();
    VAlternateSignalStack(const VAlternateSignalStack&) = delete;
    VAlternateSignalStack& operator=(const VAlternateSignalStack&) = delete;

    /// True when this object installed its stack (false when the thread had one already or
    /// the stack could not be made).
    bool IsInstalled() const { return m_Mapping != nullptr; }

    /// Whether the calling thread has an alternate signal stack of at least MinimumSize.
    static bool CurrentThreadHasOne();

private:
    void* m_Mapping = nullptr; // guard page and stack; null when nothing was installed
    size_t m_MappingSize = 0;
    void* m_PreviousStack = nullptr;
    size_t m_PreviousSize = 0;
    int m_PreviousFlags = 0;
};
