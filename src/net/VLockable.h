// The lock interface shared by mutexes, semaphores and critical sections, and a scoped holder.
#pragma once

/// Something that can be locked and unlocked by the calling thread.
class VLockable
{
public:
    virtual ~VLockable() = default;
    /// Blocks until the lock is held by the caller.
    virtual void Lock() = 0;
    /// Releases one hold of the caller.
    virtual void Unlock() = 0;
};

/// Holds a VLockable for the lifetime of the scope. Not copyable.
class VLock
{
public:
    explicit VLock(VLockable& lockable) : m_Lockable(lockable) { m_Lockable.Lock(); }
    ~VLock() { m_Lockable.Unlock(); }
    VLock(const VLock&) = delete;
    VLock& operator=(const VLock&) = delete;

private:
    VLockable& m_Lockable;
};
