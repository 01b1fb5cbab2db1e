#include "Core/Corvid/Framework/EventSystem/VDeferredActionEventHandler.h"

#include "Core/Corvid/Framework/EventSystem/IEventManager.h"
#include "Core/Corvid/Framework/EventSystem/VDeferredActionEvent.h"

VDeferredActionEventHandler::VDeferredActionEventHandler(IEventManager* manager)
{
    if (manager != nullptr)
        manager->RegisterHandlerFor<VDeferredActionEvent>(this);
}

VDeferredActionEventHandler::~VDeferredActionEventHandler()
{
    // Unregister while this object is still whole, not from the base destructor.
    UnregisterAll();
}

void VDeferredActionEventHandler::HandleEvent(IEvent* event)
{
    if (auto* action = dynamic_cast<VDeferredActionEvent*>(event))
        action->Run();
}
