// A counting semaphore, waitable with a time-out or among other objects.
#pragma once

#include "net/VLockableSyncroniser.h"

#include <cstdint>
#include <string>

/// A semaphore with a count between 0 and a maximum. A wait takes one count; Lock waits
/// without limit, Unlock gives one back. Copies share the semaphore. Thread-safe.
class VSemaphore : public VLockableSyncroniser
{
public:
    /// `initialCount` is clamped to `maximumCount` (at least 1). `name` is kept for
    /// diagnostics only.
    VSemaphore(uint32_t initialCount, uint32_t maximumCount, std::string name = {});

    void Lock() override;
    void Unlock() override;
    /// Gives back `count` (at least 1). False, changing nothing, when that would pass the
    /// maximum. `previousCount`, when given, receives the count before the release.
    bool Release(uint32_t count, uint32_t* previousCount = nullptr);

    const std::string& GetName() const { return m_Name; }

private:
    std::string m_Name;
};
