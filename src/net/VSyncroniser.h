// Base of the waitable synchronisation objects (events, mutexes, semaphores): one shared
// handle and a timed wait.
#pragma once

#include <cstdint>
#include <memory>

class VSyncState;

/// A handle to a waitable object. Copying duplicates the handle: the copy refers to the same
/// object, which lives until its last handle goes. A default-constructed syncroniser holds no
/// object and every wait on it fails.
/// Thread-safe: any thread may wait on or signal the same object; one handle object itself is
/// not to be assigned while another thread uses it.
class VSyncroniser
{
public:
    /// Time-out value meaning "wait without limit".
    static constexpr uint32_t Infinite = 0xFFFFFFFFu;

    VSyncroniser() = default;
    VSyncroniser(const VSyncroniser&) = default;
    VSyncroniser& operator=(const VSyncroniser&) = default;
    virtual ~VSyncroniser() = default;

    /// True if the handle refers to an object.
    bool IsValid() const { return m_State != nullptr; }

    /// Waits until the object is signalled and takes it (an auto-reset event is reset, a
    /// semaphore count is taken, a mutex becomes owned by the caller). Returns false on
    /// time-out or when there is no object. `timeoutMs` 0 only tests; Infinite waits without
    /// limit.
    bool Wait(uint32_t timeoutMs = Infinite);

    /// The shared object, for the multiple-object waits of VThread.
    VSyncState* GetState() const { return m_State.get(); }

protected:
    explicit VSyncroniser(std::shared_ptr<VSyncState> state) : m_State(std::move(state)) {}

    std::shared_ptr<VSyncState> m_State;
};
