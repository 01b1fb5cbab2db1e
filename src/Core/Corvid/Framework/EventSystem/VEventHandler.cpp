#include "Core/Corvid/Framework/EventSystem/VEventHandler.h"

#include "Core/Corvid/Framework/EventSystem/IEventManager.h"

VEventHandler::~VEventHandler()
{
    UnregisterAll();
}

void VEventHandler::OnRegistered(IEventManager* manager)
{
    std::lock_guard lock(m_Lock);
    m_Managers.insert(manager);
}

void VEventHandler::OnUnregistered(IEventManager* manager)
{
    std::lock_guard lock(m_Lock);
    m_Managers.erase(manager);
}

void VEventHandler::UnregisterAll()
{
    // The managers call back into OnUnregistered, so work on a copy taken under the lock.
    std::set<IEventManager*, std::less<>> managers;
    {
        std::lock_guard lock(m_Lock);
        managers = m_Managers;
    }
    for (IEventManager* manager : managers)
        manager->UnregisterHandler(this);
    std::lock_guard lock(m_Lock);
    m_Managers.clear();
}

bool VEventHandler::IsRegisteredWith(const IEventManager* manager) const
{
    std::lock_guard lock(m_Lock);
    return m_Managers.count(manager) != 0;
}
