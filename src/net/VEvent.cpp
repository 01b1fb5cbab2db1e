#include "net/VEvent.h"

#include "net/VSyncState.h"

namespace
{
class VEventState : public VSyncState
{
public:
    VEventState(bool manualReset, bool signalled)
        : m_ManualReset(manualReset), m_Signalled(signalled)
    {
    }

    void Set()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Signalled = true;
        NotifyWaitersLocked();
    }

    void Reset()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Signalled = false;
    }

    void Pulse()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        for (VSyncWaiter* waiter : m_Waiters)
        {
            if (waiter->IsGranted(this))
                continue;
            waiter->Grant(this);
            if (!m_ManualReset)
                break;
        }
        m_Signalled = false;
    }

    bool IsSet() const
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Signalled;
    }

    const bool m_ManualReset;

protected:
    bool IsAvailableLocked(std::thread::id) const override { return m_Signalled; }
    void AcquireLocked(std::thread::id) override
    {
        if (!m_ManualReset)
            m_Signalled = false;
    }

private:
    bool m_Signalled; // guarded by m_Lock
};

VEventState& StateOf(VSyncState* state)
{
    return *static_cast<VEventState*>(state);
}
} // namespace

VEvent::VEvent(bool manualReset, bool initialState, std::string name)
    : VSyncroniser(std::make_shared<VEventState>(manualReset, initialState)),
      m_Name(std::move(name))
{
}

bool VEvent::Set()
{
    StateOf(m_State.get()).Set();
    return true;
}

bool VEvent::Reset()
{
    StateOf(m_State.get()).Reset();
    return true;
}

bool VEvent::Pulse()
{
    StateOf(m_State.get()).Pulse();
    return true;
}

bool VEvent::IsSet() const
{
    return StateOf(m_State.get()).IsSet();
}

bool VEvent::IsManualReset() const
{
    return StateOf(m_State.get()).m_ManualReset;
}
