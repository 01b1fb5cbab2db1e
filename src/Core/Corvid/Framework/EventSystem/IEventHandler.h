// A receiver of events: registered with a manager for one or more event types.
#pragma once

class IEvent;
class IEventManager;

/// Receives the events of the types it is registered for.
/// Threading: HandleEvent runs on the manager's event thread under the manager's
/// recursive mutex. OnRegistered and OnUnregistered run on the thread that
/// registers or unregisters (any thread), also under the manager's mutex.
class IEventHandler
{
public:
    virtual ~IEventHandler() = default;

    /// The manager has accepted a registration of this handler (or recorded it to
    /// apply when the running delivery ends).
    virtual void OnRegistered(IEventManager* manager) = 0;

    /// The manager has dropped every registration of this handler, or is being
    /// destroyed; it must not be called afterwards.
    virtual void OnUnregistered(IEventManager* manager) = 0;

    /// Unregisters the handler from every manager it is registered with.
    virtual void UnregisterAll() = 0;

    /// Handles one event of a matching type. The event is owned by the manager and
    /// valid only during the call.
    virtual void HandleEvent(IEvent* event) = 0;
};
