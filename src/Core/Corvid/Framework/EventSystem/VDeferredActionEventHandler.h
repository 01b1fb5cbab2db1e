// The handler that runs deferred actions (VDeferredActionEvent) on the event thread.
#pragma once

#include "Core/Corvid/Framework/EventSystem/VEventHandler.h"

/// Registers itself with a manager for VDeferredActionEvent (and derived types) and
/// runs each delivered event's action. Start-up creates one just after the manager
/// and destroys it before the manager.
/// Threading: construct and destroy on the manager's event thread; HandleEvent runs
/// there too.
class VDeferredActionEventHandler final : public VEventHandler
{
public:
    /// Registers with `manager` (not owned; may be null: the handler then handles
    /// nothing until registered by hand).
    explicit VDeferredActionEventHandler(IEventManager* manager);
    ~VDeferredActionEventHandler() override;

    void HandleEvent(IEvent* event) override;
};
