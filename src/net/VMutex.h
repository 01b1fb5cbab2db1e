// A re-entrant mutex that can also be waited on with a time-out or among other objects.
#pragma once

#include "net/VLockableSyncroniser.h"

#include <string>

/// A mutex owned by one thread at a time; its owner may take it again (each Lock or successful
/// Wait needs one Unlock). Waitable with Wait(timeoutMs) and in VThread::WaitForAny/All lists.
/// Copies share the mutex. A thread that ends while owning it is not detected (no abandoned
/// state): the mutex stays owned. Thread-safe.
class VMutex : public VLockableSyncroniser
{
public:
    /// `initiallyOwned`: the constructing thread owns it at once. `name` is kept for
    /// diagnostics only (no shared named objects on this platform).
    explicit VMutex(bool initiallyOwned = false, std::string name = {});

    /// Waits without limit.
    void Lock() override;
    /// Releases one hold; does nothing when the caller does not own the mutex.
    void Unlock() override;
    /// Like Unlock, reporting whether the caller owned the mutex.
    bool Release();

    const std::string& GetName() const { return m_Name; }

private:
    std::string m_Name;
};
