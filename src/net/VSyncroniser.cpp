#include "net/VSyncroniser.h"

#include "net/VSyncState.h"

bool VSyncroniser::Wait(uint32_t timeoutMs)
{
    if (!m_State)
        return false;
    // Fast path: an available object is taken without registering a waiter.
    if (m_State->TryAcquire(std::this_thread::get_id()))
        return true;
    if (timeoutMs == 0)
        return false;
    return VSyncState::WaitAny({m_State.get()}, timeoutMs) == 0;
}
