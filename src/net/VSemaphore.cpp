#include "net/VSemaphore.h"

#include "net/VSyncState.h"

#include <algorithm>

namespace
{
class VSemaphoreState : public VSyncState
{
public:
    VSemaphoreState(uint32_t initialCount, uint32_t maximumCount)
        : m_Maximum(std::max<uint32_t>(1, maximumCount)), m_Count(std::min(initialCount, m_Maximum))
    {
    }

    bool Release(uint32_t count, uint32_t* previousCount)
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (count == 0 || count > m_Maximum - m_Count)
            return false;
        if (previousCount != nullptr)
            *previousCount = m_Count;
        m_Count += count;
        NotifyWaitersLocked();
        return true;
    }

protected:
    bool IsAvailableLocked(std::thread::id) const override { return m_Count > 0; }
    void AcquireLocked(std::thread::id) override { --m_Count; }

private:
    const uint32_t m_Maximum;
    uint32_t m_Count; // guarded by m_Lock
};
} // namespace

VSemaphore::VSemaphore(uint32_t initialCount, uint32_t maximumCount, std::string name)
    : VLockableSyncroniser(std::make_shared<VSemaphoreState>(initialCount, maximumCount)),
      m_Name(std::move(name))
{
}

void VSemaphore::Lock()
{
    Wait(Infinite);
}

void VSemaphore::Unlock()
{
    Release(1);
}

bool VSemaphore::Release(uint32_t count, uint32_t* previousCount)
{
    return static_cast<VSemaphoreState*>(m_State.get())->Release(count, previousCount);
}
