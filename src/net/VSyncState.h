// Shared state behind a syncroniser handle, and the waiter through which one thread waits on
// several of them at once. Internal to the thread layer; use VEvent, VMutex and friends.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class VSyncState;

/// One waiting thread. Every state the thread waits on holds a pointer to it while the wait
/// lasts and notifies it when the state may have become available, so a wait on several
/// states sleeps on one condition variable and never polls.
/// Lock order: a state's m_Lock may be held while taking a waiter's m_Lock, never the reverse.
class VSyncWaiter
{
public:
    VSyncWaiter() = default;
    VSyncWaiter(const VSyncWaiter&) = delete;
    VSyncWaiter& operator=(const VSyncWaiter&) = delete;

    /// Wakes the waiting thread. Called by a state with its own lock held.
    void Notify();
    /// Wakes the waiting thread and hands it `state` directly (a pulsed event).
    void Grant(const VSyncState* state);
    /// True if `state` has already been granted to this waiter.
    bool IsGranted(const VSyncState* state);

    std::mutex m_Lock; // guards m_Notified, m_Granted
    std::condition_variable m_Wake;
    bool m_Notified = false;                  // something changed since the waiter last looked
    std::vector<const VSyncState*> m_Granted; // states that pulsed for this waiter
};

/// The object a syncroniser handle refers to: an event, a mutex or a semaphore. Copies of a
/// syncroniser share one state. All members are thread-safe.
class VSyncState
{
public:
    VSyncState() = default;
    virtual ~VSyncState() = default;
    VSyncState(const VSyncState&) = delete;
    VSyncState& operator=(const VSyncState&) = delete;

    /// Takes the state if it is available to `self` (consumes an auto-reset event, takes a
    /// semaphore count, takes or re-enters a mutex). Never blocks.
    bool TryAcquire(std::thread::id self);

    void AddWaiter(VSyncWaiter* waiter);
    void RemoveWaiter(VSyncWaiter* waiter);

    /// Waits until one of `states` could be acquired or `timeoutMs` passed (0xFFFFFFFF: no
    /// limit). Returns the index of the acquired state, or -1 on time-out.
    static int WaitAny(const std::vector<VSyncState*>& states, uint32_t timeoutMs);
    /// Waits until every one of `states` is available at the same moment and acquires them all
    /// at once. Returns false on time-out or when a state appears twice.
    static bool WaitAll(const std::vector<VSyncState*>& states, uint32_t timeoutMs);

protected:
    /// Both called with m_Lock held.
    virtual bool IsAvailableLocked(std::thread::id self) const = 0;
    virtual void AcquireLocked(std::thread::id self) = 0;

    /// Wakes every registered waiter. Called with m_Lock held.
    void NotifyWaitersLocked();

    mutable std::mutex m_Lock;           // guards m_Waiters and the subclass's fields
    std::vector<VSyncWaiter*> m_Waiters; // threads currently waiting on this state
};
