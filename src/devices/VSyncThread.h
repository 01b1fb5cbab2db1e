// The frame clock of a sync master: one thread that runs the device's ticks and
// sleeps to each frame's release time.
#pragma once

#include "devices/VFakeDevice.h"
#include "devices/VFramePacer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

/// Runs VFakeDevice::Tick in a loop on its own thread ("tsm-sync") until asked
/// to stop. Construction starts the thread; destruction asks it to stop, wakes
/// it and joins it. Sleeps are absolute deadlines on the monotonic clock, taken
/// on a condition variable together with the stop flag, so a stop request ends
/// any wait at once. Each instance starts a fresh release schedule.
///
/// The thread asks for real-time scheduling (SCHED_FIFO, RealTimePriority) so
/// that its releases stay even on a loaded machine; where that is not allowed it
/// asks for nice RaisedNiceValue, and otherwise runs as it is. A clock whose
/// ticks take longer than its period never sleeps; at real-time priority the
/// kernel's real-time throttling then still leaves the other threads their share.
///
/// A stop the thread asks of itself (from inside a tick) can be taken back
/// before the tick ends (CancelStop); a stop asked from any other thread cannot.
///
/// Threading: construct and destroy on the main thread, under the device's
/// sync-thread lock; never destroy it on its own thread. RequestStop and
/// IsStopRequested on any thread; CancelStop, WaitUntil, WaitFor and GetPacer on
/// the sync thread only. Not copyable.
class VFakeDevice::VSyncThread
{
public:
    using Clock = std::chrono::steady_clock;

    explicit VSyncThread(VFakeDevice& device);
    ~VSyncThread();
    VSyncThread(const VSyncThread&) = delete;
    VSyncThread& operator=(const VSyncThread&) = delete;

    /// Sets the stop flag and wakes the thread. Any thread; idempotent.
    void RequestStop();
    /// Clears a stop the thread asked of itself, before its tick ends; true when
    /// the clock runs on, false when another thread asked it to stop too. Sync
    /// thread only.
    bool CancelStop();
    /// Ends the current wait early (the rate changed). Any thread.
    void Wake();
    bool IsStopRequested() const { return m_Stop.load(); }
    /// The stop flag, for waits elsewhere that must give up when it is set.
    const std::atomic<bool>& GetStopFlag() const { return m_Stop; }

    /// Sleeps until `deadline` on the monotonic clock or until woken (Wake); false
    /// (at once) when a stop is requested. Sync thread.
    bool WaitUntil(Clock::time_point deadline);
    bool WaitFor(Clock::duration timeout) { return WaitUntil(Clock::now() + timeout); }

    /// The release schedule of this run. Sync thread.
    VFramePacer& GetPacer() { return m_Pacer; }

    /// The clock of `device` when the calling thread is that clock's own thread,
    /// else null. Lets a device reach its running clock from inside a tick without
    /// the sync-thread lock, which the main thread may hold while it joins this
    /// very thread. Any thread.
    static VSyncThread* OfCallingThread(const VFakeDevice& device);

    /// Scheduling the thread asks for (see the class comment).
    static constexpr int RealTimePriority = 10;
    static constexpr int RaisedNiceValue = -10;

private:
    void Run();
    /// Timer slack and scheduling of the calling (sync) thread.
    void RaisePriority();

    VFakeDevice& m_Device;
    std::atomic<bool> m_Stop{false};
    // Pairs with m_Wake; guards m_Woken and m_StopFromOutside; m_Stop is set under it.
    std::mutex m_WakeLock;
    std::condition_variable m_Wake;
    bool m_Woken = false;
    bool m_StopFromOutside = false; // a stop that CancelStop must not take back
    VFramePacer m_Pacer;            // sync thread only
    std::thread m_Thread;           // last: starts once everything above exists
};
