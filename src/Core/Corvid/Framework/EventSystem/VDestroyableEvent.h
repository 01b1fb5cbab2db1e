// An event that releases one IDestroyable object on the event thread.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEvent.h"

#include <atomic>
#include <memory>

class IDestroyable;

/// Carries one IDestroyable object to the event thread, where the manager releases
/// it with Destroy instead of passing the event to handlers.
/// The object is owned jointly by the event and all its clones: the first delivery
/// releases it, later deliveries of other clones find nothing to do, and when no
/// copy was ever delivered the last copy to go releases it (on the thread that
/// destroys that copy; the manager destroys queued events on the event thread).
/// Threading: copies may live on different threads; the hand-off is atomic.
class VDestroyableEvent final : public IEvent
{
public:
    /// Takes ownership of `object` (may be null: the event then does nothing).
    explicit VDestroyableEvent(IDestroyable* object = nullptr);

    /// False when the object has already been released.
    bool ShouldDeliver(IEventManager* manager) override;
    std::unique_ptr<IEvent> Clone() const override;

    /// Releases the object now, unless a copy already has. Returns true when this
    /// call released it.
    bool Release();

private:
    struct VOwner
    {
        explicit VOwner(IDestroyable* object) : m_Object(object) {}
        ~VOwner();
        VOwner(const VOwner&) = delete;
        VOwner& operator=(const VOwner&) = delete;
        std::atomic<IDestroyable*> m_Object;
    };

    explicit VDestroyableEvent(std::shared_ptr<VOwner> owner) : m_Owner(std::move(owner)) {}

    std::shared_ptr<VOwner> m_Owner;
};
