// An event that carries one action to run on the event thread.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEvent.h"

#include <functional>
#include <memory>

/// Carries one callable without arguments; VDeferredActionEventHandler runs it when
/// the event is delivered. Cloning copies the callable (so it must be copyable).
/// Threading: built and cloned on the posting thread; Run is called on the event thread.
class VDeferredActionEvent : public IEvent
{
public:
    VDeferredActionEvent() = default;
    explicit VDeferredActionEvent(std::function<void()> action);

    /// False for an event without an action: there is nothing to deliver.
    bool ShouldDeliver(IEventManager* manager) override;
    std::unique_ptr<IEvent> Clone() const override;

    /// Runs the action, if any.
    void Run();

private:
    std::function<void()> m_Action;
};
