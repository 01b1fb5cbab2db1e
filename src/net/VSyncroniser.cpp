#include "net/VSyncroniser.h"

#include "net/VSyncState.h"

bool VSyncroniser::Wait(uint32_t timeoutMs)
{
    if (!m_State)
        return false;
    return VSyncState::WaitAny({m_State.get()}, timeoutMs) == 0;
}
