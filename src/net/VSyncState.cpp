#include "net/VSyncState.h"

#include <algorithm>
#include <chrono>

namespace
{
constexpr uint32_t NoTimeLimit = 0xFFFFFFFFu;

using Clock = std::chrono::steady_clock;

/// Registers one waiter with a set of states for the lifetime of a wait.
class VWaiterRegistration
{
public:
    VWaiterRegistration(const std::vector<VSyncState*>& states, VSyncWaiter& waiter)
        : m_States(states), m_Waiter(waiter)
    {
        for (VSyncState* state : m_States)
            state->AddWaiter(&m_Waiter);
    }
    ~VWaiterRegistration()
    {
        for (VSyncState* state : m_States)
            state->RemoveWaiter(&m_Waiter);
    }
    VWaiterRegistration(const VWaiterRegistration&) = delete;
    VWaiterRegistration& operator=(const VWaiterRegistration&) = delete;

private:
    const std::vector<VSyncState*>& m_States;
    VSyncWaiter& m_Waiter;
};

/// Clears the waiter's notification before the caller looks at the states again, so a change
/// that happens between the look and the sleep is not lost.
void ClearNotification(VSyncWaiter& waiter)
{
    std::lock_guard<std::mutex> guard(waiter.m_Lock);
    waiter.m_Notified = false;
}

/// Sleeps until notified or the deadline passes. Returns false when the time is up.
bool SleepUntilNotified(VSyncWaiter& waiter, uint32_t timeoutMs, Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(waiter.m_Lock);
    if (timeoutMs == NoTimeLimit)
    {
        waiter.m_Wake.wait(lock, [&] { return waiter.m_Notified; });
        return true;
    }
    return waiter.m_Wake.wait_until(lock, deadline, [&] { return waiter.m_Notified; });
}
} // namespace

void VSyncWaiter::Notify()
{
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Notified = true;
    m_Wake.notify_one();
}

void VSyncWaiter::Grant(const VSyncState* state)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Granted.push_back(state);
    m_Notified = true;
    m_Wake.notify_one();
}

bool VSyncWaiter::IsGranted(const VSyncState* state)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return std::find(m_Granted.begin(), m_Granted.end(), state) != m_Granted.end();
}

bool VSyncState::TryAcquire(std::thread::id self)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!IsAvailableLocked(self))
        return false;
    AcquireLocked(self);
    return true;
}

void VSyncState::AddWaiter(VSyncWaiter* waiter)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Waiters.push_back(waiter);
}

void VSyncState::RemoveWaiter(VSyncWaiter* waiter)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    auto found = std::find(m_Waiters.begin(), m_Waiters.end(), waiter);
    if (found != m_Waiters.end())
        m_Waiters.erase(found);
}

void VSyncState::NotifyWaitersLocked()
{
    for (VSyncWaiter* waiter : m_Waiters)
        waiter->Notify();
}

int VSyncState::WaitAny(const std::vector<VSyncState*>& states, uint32_t timeoutMs)
{
    if (states.empty())
        return -1;
    const std::thread::id self = std::this_thread::get_id();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    VSyncWaiter waiter;
    VWaiterRegistration registration(states, waiter);
    for (;;)
    {
        ClearNotification(waiter);
        // A pulse hands the state straight to the waiter; it counts before anything else.
        for (size_t i = 0; i < states.size(); ++i)
        {
            if (waiter.IsGranted(states[i]))
                return static_cast<int>(i);
        }
        for (size_t i = 0; i < states.size(); ++i)
        {
            if (states[i]->TryAcquire(self))
                return static_cast<int>(i);
        }
        if (timeoutMs == 0 || !SleepUntilNotified(waiter, timeoutMs, deadline))
            return -1;
    }
}

bool VSyncState::WaitAll(const std::vector<VSyncState*>& states, uint32_t timeoutMs)
{
    if (states.empty())
        return false;
    // Lock the states in address order so that two threads waiting on overlapping sets never
    // deadlock on each other.
    std::vector<VSyncState*> ordered(states);
    std::sort(ordered.begin(), ordered.end());
    if (std::adjacent_find(ordered.begin(), ordered.end()) != ordered.end())
        return false;

    const std::thread::id self = std::this_thread::get_id();
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    VSyncWaiter waiter;
    VWaiterRegistration registration(ordered, waiter);
    for (;;)
    {
        ClearNotification(waiter);
        {
            std::vector<std::unique_lock<std::mutex>> locks;
            locks.reserve(ordered.size());
            for (VSyncState* state : ordered)
                locks.emplace_back(state->m_Lock);
            const bool allAvailable =
                std::all_of(ordered.begin(), ordered.end(),
                            [&](VSyncState* state) { return state->IsAvailableLocked(self); });
            if (allAvailable)
            {
                for (VSyncState* state : ordered)
                    state->AcquireLocked(self);
                return true;
            }
        }
        if (timeoutMs == 0 || !SleepUntilNotified(waiter, timeoutMs, deadline))
            return false;
    }
}
