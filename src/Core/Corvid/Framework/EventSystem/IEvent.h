// The event object of the event system: what the manager asks of an event
// before, during and after its delivery on the event thread.
#pragma once

#include <cstdint>
#include <memory>

class IEventManager;

/// An event. The manager never delivers the object a caller posts: it delivers a
/// Clone, so a caller may post an event that lives on its own stack.
/// Threading: Clone and ShouldDeliver run on the posting thread; Prepare, OnDelivered,
/// ShouldRepost and GetDelayMs run on the event thread. A clone is touched by one
/// thread at a time (handed over by the manager), so events need no lock of their own
/// unless their clones share state.
class IEvent
{
public:
    virtual ~IEvent() = default;

    /// Asked once per Post, on the posting thread, of the copy about to be queued;
    /// false drops it silently.
    virtual bool ShouldDeliver(IEventManager* /*manager*/) { return true; }

    /// Called on the event thread just before the handlers see the event. False means
    /// the event handled itself: it is not passed to the handlers and is destroyed.
    virtual bool Prepare(IEventManager* /*manager*/) { return true; }

    /// Called on the event thread after every matching handler has seen the event.
    virtual void OnDelivered() {}

    /// True posts the event again after this delivery (a periodic event, when it
    /// also has a delay).
    virtual bool ShouldRepost() { return false; }

    /// Milliseconds after its arrival on the event thread before the event is
    /// delivered; 0 delivers it as soon as possible.
    virtual std::uint32_t GetDelayMs() { return 0; }

    /// A new event of the same dynamic type and content, owned by the caller.
    /// Never null.
    virtual std::unique_ptr<IEvent> Clone() const = 0;
};
