// A waitable object that is also a lock (mutexes and semaphores).
#pragma once

#include "net/VLockable.h"
#include "net/VSyncroniser.h"

/// Base of VMutex and VSemaphore: Lock() is a wait without limit. Thread-safe.
class VLockableSyncroniser : public VSyncroniser, public VLockable
{
public:
    VLockableSyncroniser(const VLockableSyncroniser&) = default;
    VLockableSyncroniser& operator=(const VLockableSyncroniser&) = default;

protected:
    VLockableSyncroniser() = default;
    explicit VLockableSyncroniser(std::shared_ptr<VSyncState> state)
        : VSyncroniser(std::move(state))
    {
    }
};
