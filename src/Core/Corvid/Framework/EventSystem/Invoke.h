// Orvan::EventSystem::Invoke: run an action on the event (main) thread, at once when
// already there, otherwise posted to run there later in posting order.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEvent.h"

#include <functional>
#include <memory>

class IEventManager;

namespace Orvan::EventSystem
{

/// What an InvokeEvent runs when it is delivered.
class InvokeDetailsBase
{
public:
    virtual ~InvokeDetailsBase() = default;
    /// Runs the action. Event thread.
    virtual void Run() = 0;
};

/// Holds one action, shared between the caller of Invoke and the posted event.
/// Threading: built on the calling thread, run on the event thread; only the event
/// thread touches the action after the post.
class InvokeDetails final : public InvokeDetailsBase
{
public:
    explicit InvokeDetails(std::function<void()> action);
    InvokeDetails(const InvokeDetails&) = delete;
    InvokeDetails& operator=(const InvokeDetails&) = delete;

    /// Runs the action once; later calls do nothing. The action (and whatever it
    /// captured) is destroyed right after it ran, on the event thread, whichever
    /// thread drops the last handle to these details.
    void Run() override;

private:
    std::function<void()> m_Action;
};

/// A self-executing event: its Prepare runs the details' action and returns false,
/// so no handler sees it. Clones share the same details.
class InvokeEvent final : public IEvent
{
public:
    explicit InvokeEvent(std::shared_ptr<InvokeDetailsBase> details);

    bool ShouldDeliver(IEventManager* manager) override;
    bool Prepare(IEventManager* manager) override;
    std::unique_ptr<IEvent> Clone() const override;

private:
    std::shared_ptr<InvokeDetailsBase> m_Details;
};

/// Runs `action` on the event thread of `manager` (the main thread, in the program).
///
/// Called on the event thread, the action runs at once, before Invoke returns, and
/// nothing is logged. Called on any other thread, Invoke returns at once and the
/// action runs later on the event thread when its loop next turns; actions from one
/// thread run in the order they were invoked, actions from several threads in the
/// order their posts reached the queue. Each such post logs "Submit:InvokeEvent(
/// pDetails )" at level 5 in the category "Event System".
///
/// The action is copied into the post; whatever it captures must stay valid until it
/// runs (capture shared or weak handles, not raw pointers to objects that may be
/// destroyed meanwhile). Actions still queued when the manager is destroyed are
/// destroyed without running. The caller must not hold a lock that the action takes
/// when calling on the event thread, since the action then runs inside the call.
///
/// Returns false, doing nothing, for a null manager or an empty action.
bool Invoke(IEventManager* manager, std::function<void()> action);

} // namespace Orvan::EventSystem
