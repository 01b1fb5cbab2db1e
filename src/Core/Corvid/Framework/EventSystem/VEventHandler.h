// Base class for event handlers that keeps track of the managers it is registered
// with and unregisters itself when destroyed.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEventHandler.h"

#include <functional>
#include <mutex>
#include <set>

/// Remembers, in an ordered set, every manager the handler is registered with.
/// Threading: the bookkeeping is guarded by its own mutex, so registration may come
/// from any thread; the lock is never held while calling a manager (lock order:
/// manager's mutex, then this handler's). Destroy a handler on its manager's event
/// thread, or at least never while one of its managers may be delivering to it.
/// Not copyable: registrations belong to one object.
class VEventHandler : public IEventHandler
{
public:
    VEventHandler() = default;
    VEventHandler(const VEventHandler&) = delete;
    VEventHandler& operator=(const VEventHandler&) = delete;

    /// Unregisters from every manager still known.
    ~VEventHandler() override;

    void OnRegistered(IEventManager* manager) override;
    void OnUnregistered(IEventManager* manager) override;
    void UnregisterAll() override;

    /// True while registered with `manager`. Any thread.
    bool IsRegisteredWith(const IEventManager* manager) const;

private:
    mutable std::mutex m_Lock; // guards m_Managers
    std::set<IEventManager*, std::less<>> m_Managers;
};
