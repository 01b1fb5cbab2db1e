#include "net/VThread.h"

#include "net/VAlternateSignalStack.h"
#include "net/VSyncState.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace
{
constexpr size_t MaxThreadNameLength = 15; // the kernel's limit, without the terminator

bool CollectStates(const std::vector<VSyncroniser*>& objects, std::vector<VSyncState*>& states)
{
    if (objects.empty())
        return false;
    states.reserve(objects.size());
    for (VSyncroniser* object : objects)
    {
        if (object == nullptr || !object->IsValid())
            return false;
        states.push_back(object->GetState());
    }
    return true;
}
} // namespace

VThread::VThread(std::string name) : m_Name(std::move(name)) {}

VThread::~VThread()
{
    if (!m_Started || m_Joined)
        return;
    if (IsCurrentThread())
    {
        // Destroyed by its own thread: it ends right after this, nobody else will join it.
        pthread_detach(m_Handle);
        m_Joined = true;
        return;
    }
    RequestStop();
    Join();
}

bool VThread::Start(uint32_t stackSize)
{
    if (m_Started)
        return false;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, std::max<size_t>(stackSize, PTHREAD_STACK_MIN));
    const int error = pthread_create(&m_Handle, &attributes, &VThread::ThreadEntry, this);
    pthread_attr_destroy(&attributes);
    if (error != 0)
    {
        std::fprintf(stderr, "Fatal: cannot create thread \"%s\": %s\n", m_Name.c_str(),
                     std::strerror(error));
        std::abort();
    }
    m_Started = true;
    m_StartedEvent.Wait(VSyncroniser::Infinite);
    return true;
}

void* VThread::ThreadEntry(void* argument)
{
    auto* self = static_cast<VThread*>(argument);
    // A fault on this thread, even one that overran its stack, reaches the crash handler.
    const VAlternateSignalStack signalStack;
    if (!self->m_Name.empty())
    {
        const std::string shortName = self->m_Name.substr(0, MaxThreadNameLength);
        pthread_setname_np(pthread_self(), shortName.c_str());
    }
    self->m_ThreadId.store(static_cast<uint32_t>(syscall(SYS_gettid)));
    self->m_StartedEvent.Set();
    self->Run();
    self->m_ExitEvent.Set();
    return nullptr;
}

void VThread::RequestStop()
{
    m_StopEvent.Set();
}

bool VThread::Join()
{
    if (!m_Started || m_Joined || IsCurrentThread())
        return false;
    pthread_join(m_Handle, nullptr);
    m_Joined = true;
    return true;
}

bool VThread::Stop()
{
    RequestStop();
    return Join();
}

bool VThread::WaitForExit(uint32_t timeoutMs)
{
    if (!m_Started)
        return true;
    return m_ExitEvent.IsSet() || m_ExitEvent.Wait(timeoutMs);
}

bool VThread::IsRunning() const
{
    return m_Started && !m_ExitEvent.IsSet();
}

bool VThread::IsCurrentThread() const
{
    // Compares system ids rather than m_Handle: the new thread may ask before pthread_create has
    // stored the handle. An ended thread's id may be reused, hence the exit test.
    const uint32_t id = m_ThreadId.load();
    return id != 0 && !m_ExitEvent.IsSet() && id == static_cast<uint32_t>(syscall(SYS_gettid));
}

bool VThread::SetPriority(int priority)
{
    if (!IsRunning())
        return false;
    const int niceValue = std::clamp(-priority * 2, -20, 19);
    return setpriority(PRIO_PROCESS, static_cast<id_t>(m_ThreadId.load()), niceValue) == 0;
}

void VThread::Sleep(uint32_t ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool VThread::WaitForAny(const std::vector<VSyncroniser*>& objects, uint32_t timeoutMs,
                         uint32_t* rawResult)
{
    std::vector<VSyncState*> states;
    if (!CollectStates(objects, states))
    {
        if (rawResult != nullptr)
            *rawResult = WaitFailed;
        return false;
    }
    const int index = VSyncState::WaitAny(states, timeoutMs);
    if (rawResult != nullptr)
        *rawResult = index < 0 ? WaitTimeout : static_cast<uint32_t>(index);
    return index >= 0;
}

bool VThread::WaitForAll(const std::vector<VSyncroniser*>& objects, uint32_t timeoutMs)
{
    std::vector<VSyncState*> states;
    if (!CollectStates(objects, states))
        return false;
    return VSyncState::WaitAll(states, timeoutMs);
}
