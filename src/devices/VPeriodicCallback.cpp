#include "devices/VPeriodicCallback.h"

#include "net/VAlternateSignalStack.h"

#include <pthread.h>

#include <algorithm>

namespace
{
constexpr const char* TimerThreadName = "PeriodicTimer";
} // namespace

VPeriodicCallback::VPeriodicCallback(uint32_t periodMs)
    : m_PeriodMs(std::max<uint32_t>(periodMs, 1)), m_Thread([this] { Run(); })
{
}

VPeriodicCallback::~VPeriodicCallback()
{
    {
        std::lock_guard<std::mutex> guard(m_StopLock);
        m_Stop = true;
    }
    m_StopSignal.notify_all();
    if (m_Thread.joinable())
        m_Thread.join();
}

VPeriodicCallback& VPeriodicCallback::GetShared()
{
    // Constructed on first use, thread-safely; its destructor stops the thread at exit.
    static VPeriodicCallback shared(SharedPeriodMs);
    return shared;
}

void VPeriodicCallback::Register(ITimerCallback* callback)
{
    if (callback == nullptr)
        return;
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    m_Callbacks.push_back(callback);
}

bool VPeriodicCallback::Unregister(ITimerCallback* callback)
{
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    const auto found = std::find(m_Callbacks.begin(), m_Callbacks.end(), callback);
    if (found == m_Callbacks.end())
        return false;
    const auto index = static_cast<size_t>(found - m_Callbacks.begin());
    m_Callbacks.erase(found);
    // Removed from inside a dispatch, before the next entry to call: that entry has moved
    // down by one, and the loop must not skip it.
    if (index < m_NextIndex)
        --m_NextIndex;
    return true;
}

size_t VPeriodicCallback::GetCallbackCount() const
{
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    return m_Callbacks.size();
}

void VPeriodicCallback::Run()
{
    const VAlternateSignalStack signalStack; // a fault here still reaches the crash handler
    pthread_setname_np(pthread_self(), TimerThreadName);
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(m_PeriodMs);
    auto nextTick = Clock::now();

    std::unique_lock<std::mutex> stopGuard(m_StopLock);
    for (;;)
    {
        if (m_StopSignal.wait_until(stopGuard, nextTick, [this] { return m_Stop; }))
            return;
        stopGuard.unlock();
        Dispatch();
        stopGuard.lock();

        nextTick += period;
        const auto now = Clock::now();
        if (nextTick <= now)
        {
            // Late by one period or more: skip the missed ticks, keep the phase.
            const auto behind = (now - nextTick) / period + 1;
            nextTick += behind * period;
        }
    }
}

void VPeriodicCallback::Dispatch()
{
    std::lock_guard<std::recursive_mutex> guard(m_Lock);
    m_NextIndex = 0;
    while (m_NextIndex < m_Callbacks.size())
    {
        ITimerCallback* callback = m_Callbacks[m_NextIndex++];
        callback->OnTimer();
    }
    m_NextIndex = 0;
}
