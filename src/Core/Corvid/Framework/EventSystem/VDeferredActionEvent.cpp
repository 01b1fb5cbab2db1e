#include "Core/Corvid/Framework/EventSystem/VDeferredActionEvent.h"

VDeferredActionEvent::VDeferredActionEvent(std::function<void()> action)
    : m_Action(std::move(action))
{
}

bool VDeferredActionEvent::ShouldDeliver(IEventManager* /*manager*/)
{
    return static_cast<bool>(m_Action);
}

std::unique_ptr<IEvent> VDeferredActionEvent::Clone() const
{
    return std::make_unique<VDeferredActionEvent>(m_Action);
}

void VDeferredActionEvent::Run()
{
    if (m_Action)
        m_Action();
}
