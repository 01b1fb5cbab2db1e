#include "net/VAlternateSignalStack.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace
{

bool QueryCurrent(stack_t& current)
{
    return sigaltstack(nullptr, &current) == 0;
}

} // namespace

VAlternateSignalStack::VAlternateSignalStack()
{
    stack_t previous{};
    if (!QueryCurrent(previous))
        return;
    if ((previous.ss_flags & SS_DISABLE) == 0 && previous.ss_size >= MinimumSize)
        return;

    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t size = page + MinimumSize;
    void* mapping =
        mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    // A handler that overruns its stack faults on the guard page instead of writing over
    // whatever lies below.
    if (mprotect(mapping, page, PROT_NONE) != 0)
    {
        munmap(mapping, size);
        return;
    }
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(mapping) + page;
    stack.ss_size = MinimumSize;
    stack.ss_flags = 0;
    if (sigaltstack(&stack, nullptr) != 0)
    {
        munmap(mapping, size);
        return;
    }
    m_Mapping = mapping;
    m_MappingSize = size;
    m_PreviousStack = previous.ss_sp;
    m_PreviousSize = previous.ss_size;
    m_PreviousFlags = previous.ss_flags & SS_DISABLE;
}

VAlternateSignalStack::~VAlternateSignalStack()
{
    if (m_Mapping == nullptr)
        return;
    stack_t previous{};
    previous.ss_sp = m_PreviousStack;
    previous.ss_size = m_PreviousSize;
    previous.ss_flags = m_PreviousFlags;
    if ((m_PreviousFlags & SS_DISABLE) != 0)
    {
        previous.ss_sp = nullptr;
        previous.ss_size = 0;
    }
    // Only unmapped once it is no longer the thread's stack; sigaltstack refuses while a
    // handler runs on it, and then the mapping is left alone rather than pulled from under it.
    if (sigaltstack(&previous, nullptr) == 0)
        munmap(m_Mapping, m_MappingSize);
}

bool VAlternateSignalStack::CurrentThreadHasOne()
{
    stack_t current{};
    return QueryCurrent(current) && (current.ss_flags & SS_DISABLE) == 0 &&
           current.ss_size >= MinimumSize;
}
