// A process-local re-entrant lock, cheaper than VMutex and not waitable.
#pragma once

#include "net/VLockable.h"

#include <memory>
#include <mutex>

/// A re-entrant lock: the owning thread may lock again and must unlock as often. Thread-safe.
/// Not copyable.
class VCriticalSection : public VLockable
{
public:
    VCriticalSection() : m_Mutex(std::make_unique<std::recursive_mutex>()) {}
    VCriticalSection(const VCriticalSection&) = delete;
    VCriticalSection& operator=(const VCriticalSection&) = delete;

    void Lock() override { m_Mutex->lock(); }
    /// Must be called by the owner only.
    void Unlock() override { m_Mutex->unlock(); }
    /// Takes the lock if it is free or already the caller's; never blocks.
    virtual bool TryLock() { return m_Mutex->try_lock(); }

private:
    std::unique_ptr<std::recursive_mutex> m_Mutex;
};
