// The platform-neutral part of the event manager: handler registry, delivery,
// nested deliveries, deferred registrations and post statistics.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEventManager.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

/// A registration requested while a delivery was running, applied when it ends.
struct VPostRegistration
{
    IEventHandler* m_Handler = nullptr;
    std::shared_ptr<const IEventManager::TypedEvent> m_Type;
    IEventManager* m_Manager = nullptr;
};

/// Delivers events to the registered handlers. A derived class supplies the event
/// thread: OnTimer, IsEventThread and PostToEventThread, and calls ReceiveDueEvent and
/// DeliverEvent on that thread.
///
/// Threading: Post and registration may come from any thread. Deliveries, Send,
/// ReceiveDueEvent and DeliverEvent run on the event thread only. m_Lock (recursive)
/// guards the registry, the pending registrations and the delivery stack, and is
/// held while handlers run, so handlers may post, send, register and unregister.
/// m_StatsLock guards the post counts and is never held while calling out.
/// Lock order: m_Lock, then a handler's own lock; m_StatsLock is taken alone.
/// Destruction: on the event thread, with no delivery running and no other thread
/// still posting. Queued events are destroyed unrun and every registered handler is
/// told OnUnregistered, so handlers may outlive the manager.
class VEventManager : public IEventManager
{
public:
    VEventManager();
    ~VEventManager() override;
    VEventManager(const VEventManager&) = delete;
    VEventManager& operator=(const VEventManager&) = delete;

    bool Send(const IEvent& event) override;
    bool Post(const IEvent& event) override;
    void UnregisterHandler(IEventHandler* handler) override;
    std::size_t GetRegistrationCount() const override;
    std::uint64_t GetDeliveryCount() const override;
    bool IsIdle() const override;
    std::string DumpStatistics() const override;
    bool RegisterHandler(IEventHandler* handler, std::shared_ptr<const TypedEvent> type) override;
    void EnumerateHandlers(const HandlerVisitor& visitor) const override;
    void OnIdle() override {}
    bool IsAcceptingPosts() const override { return true; }
    void Annotate(const char* /*text*/) override {}

protected:
    /// Routes an event that is due on the event thread: a nestable event is
    /// delivered at once, any other one through DeliverEvent.
    void ReceiveDueEvent(std::unique_ptr<IEvent> event);

    /// Normal delivery on the event thread: while a delivery is running the event
    /// waits in the arrival queue; otherwise it is delivered, followed by every
    /// arrival in arrival order, and then the pending registrations are applied.
    void DeliverEvent(std::unique_ptr<IEvent> event);

    /// Destroys the events waiting in the arrival queue, unrun. Event thread.
    void DiscardArrivals();

private:
    struct VRegistration
    {
        IEventHandler* m_Handler; // null once unregistered during a delivery
        std::shared_ptr<const TypedEvent> m_Type;
    };

    /// True while a delivery runs or its arrivals are being delivered. Event thread.
    bool IsDelivering() const;
    /// Delivers one event now, nested inside any running delivery; `counted` says
    /// whether the event went through the post statistics. Event thread.
    void DeliverOne(std::unique_ptr<IEvent> event, bool counted);
    /// Ends the outermost delivery: delivers the arrivals, then settles registrations.
    void FinishDelivery();
    /// When no delivery is left running: drop unregistered entries and apply the
    /// pending registrations. Event thread.
    void SettleRegistrations();
    void CountPost(const char* typeName, int change);

    std::atomic<bool> m_Idle{true};

    mutable std::recursive_mutex m_Lock; // guards m_Registry, m_Pending, m_DeliveryStack
    std::vector<VRegistration> m_Registry;
    std::vector<std::type_index> m_DeliveryStack;
    bool m_RegistryChanged = false;
    std::vector<VPostRegistration> m_Pending;

    mutable std::mutex m_StatsLock; // guards m_PostCounts
    std::map<std::string, std::int64_t, std::less<>> m_PostCounts;

    std::atomic<std::uint64_t> m_DeliveryCount{0};

    // Event thread only.
    bool m_DeliveryInProgress = false;
    std::deque<std::unique_ptr<IEvent>> m_Arrivals;
};
