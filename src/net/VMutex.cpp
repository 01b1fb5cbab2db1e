#include "net/VMutex.h"

#include "net/VSyncState.h"

namespace
{
class VMutexState : public VSyncState
{
public:
    explicit VMutexState(bool ownedByCaller)
    {
        if (ownedByCaller)
        {
            m_Owner = std::this_thread::get_id();
            m_Count = 1;
        }
    }

    bool Release(std::thread::id self)
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Count == 0 || m_Owner != self)
            return false;
        if (--m_Count == 0)
        {
            m_Owner = std::thread::id();
            NotifyWaitersLocked();
        }
        return true;
    }

protected:
    bool IsAvailableLocked(std::thread::id self) const override
    {
        return m_Count == 0 || m_Owner == self;
    }
    void AcquireLocked(std::thread::id self) override
    {
        m_Owner = self;
        ++m_Count;
    }

private:
    std::thread::id m_Owner; // guarded by m_Lock
    unsigned m_Count = 0;    // guarded by m_Lock: holds of the owner
};
} // namespace

VMutex::VMutex(bool initiallyOwned, std::string name)
    : VLockableSyncroniser(std::make_shared<VMutexState>(initiallyOwned)), m_Name(std::move(name))
{
}

void VMutex::Lock()
{
    Wait(Infinite);
}

void VMutex::Unlock()
{
    Release();
}

bool VMutex::Release()
{
    return static_cast<VMutexState*>(m_State.get())->Release(std::this_thread::get_id());
}
