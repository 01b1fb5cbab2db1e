// One timer thread that calls registered ITimerCallback objects at a fixed period; the
// process-wide instance drives every device's awake-and-alive datagrams.
#pragma once

#include "devices/ITimerCallback.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

/// Calls OnTimer() of every registered callback, in registration order, once per period. The
/// first tick comes at once when the thread starts; later ticks keep to the schedule start +
/// k × period, so jitter does not accumulate. Ticks missed while the thread was held up (a
/// long callback, a suspended machine) collapse into one, as with a periodic kernel timer.
///
/// Threading contract: Register and Unregister from any thread, also from inside OnTimer.
/// m_Lock (recursive) guards m_Callbacks and m_NextIndex and is held while the callbacks
/// run, so a callback that Unregister has returned for is never called again. Destruction
/// stops and joins the thread promptly (a condition variable wakes it); the destroying thread
/// must not hold m_Lock and must not be the timer thread. Not copyable.
class VPeriodicCallback
{
public:
    /// Period of the process-wide instance.
    static constexpr uint32_t SharedPeriodMs = 100;

    /// Starts the thread. `periodMs` 0 is taken as 1.
    explicit VPeriodicCallback(uint32_t periodMs);
    ~VPeriodicCallback();
    VPeriodicCallback(const VPeriodicCallback&) = delete;
    VPeriodicCallback& operator=(const VPeriodicCallback&) = delete;

    /// The process-wide instance with period SharedPeriodMs, created on first use and stopped
    /// at process exit (after main returns or exit() is called).
    static VPeriodicCallback& GetShared();

    /// Appends `callback` (not owned; null is ignored). The same object may be registered
    /// more than once and is then called once per entry.
    void Register(ITimerCallback* callback);
    /// Removes the first entry equal to `callback`; false when there is none. Once it returns
    /// (on a thread other than the timer thread) that entry is not called again.
    bool Unregister(ITimerCallback* callback);

    uint32_t GetPeriodMs() const { return m_PeriodMs; }
    size_t GetCallbackCount() const;

private:
    void Run();
    /// Calls every registered callback under the lock.
    void Dispatch();

    const uint32_t m_PeriodMs;
    mutable std::recursive_mutex m_Lock; // guards m_Callbacks, m_NextIndex
    std::deque<ITimerCallback*> m_Callbacks;
    size_t m_NextIndex = 0; // next entry to call while a dispatch runs, else 0

    std::mutex m_StopLock; // guards m_Stop
    std::condition_variable m_StopSignal;
    bool m_Stop = false;
    std::thread m_Thread;
};
