#include "Core/Corvid/Framework/EventSystem/Invoke.h"

#include "Core/Corvid/Framework/EventSystem/IEventManager.h"
#include "lumen/Log.h"

namespace Orvan::EventSystem
{

InvokeDetails::InvokeDetails(std::function<void()> action) : m_Action(std::move(action)) {}

void InvokeDetails::Run()
{
    // Moved out so the captures die here, on the event thread, even when the caller's
    // copy of the event outlives this delivery on another thread.
    std::function<void()> action = std::move(m_Action);
    m_Action = nullptr;
    if (action)
        action();
}

InvokeEvent::InvokeEvent(std::shared_ptr<InvokeDetailsBase> details) : m_Details(std::move(details))
{
}

bool InvokeEvent::ShouldDeliver(IEventManager* /*manager*/)
{
    return m_Details != nullptr;
}

bool InvokeEvent::Prepare(IEventManager* /*manager*/)
{
    if (m_Details != nullptr)
        m_Details->Run();
    return false;
}

std::unique_ptr<IEvent> InvokeEvent::Clone() const
{
    return std::make_unique<InvokeEvent>(m_Details);
}

bool Invoke(IEventManager* manager, std::function<void()> action)
{
    if (manager == nullptr || !action)
        return false;
    if (manager->IsEventThread())
    {
        action();
        return true;
    }
    auto details = std::make_shared<InvokeDetails>(std::move(action));
    ZEL_LOG("Event System", 5, "Submit:InvokeEvent( pDetails )");
    return manager->Post(InvokeEvent(std::move(details)));
}

} // namespace Orvan::EventSystem
