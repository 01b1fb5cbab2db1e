#include "Core/Corvid/Framework/EventSystem/VEventManager.h"

#include "Core/Corvid/Framework/EventSystem/IEventHandler.h"
#include "Core/Corvid/Framework/EventSystem/INestableEvent.h"
#include "Core/Corvid/Framework/EventSystem/VDestroyableEvent.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace
{

std::string Demangle(const char* name)
{
    int status = 0;
    char* text = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    if (text == nullptr)
        return name;
    std::string result(text);
    std::free(text);
    return result;
}

} // namespace

VEventManager::VEventManager() = default;

VEventManager::~VEventManager()
{
    DiscardArrivals();

    // Handlers may outlive the manager: tell each one so it never calls back.
    std::vector<IEventHandler*> handlers;
    {
        std::lock_guard lock(m_Lock);
        for (const VRegistration& registration : m_Registry)
            if (registration.m_Handler != nullptr)
                handlers.push_back(registration.m_Handler);
        for (const VPostRegistration& pending : m_Pending)
            handlers.push_back(pending.m_Handler);
        m_Registry.clear();
        m_Pending.clear();
    }
    std::sort(handlers.begin(), handlers.end());
    handlers.erase(std::unique(handlers.begin(), handlers.end()), handlers.end());
    for (IEventHandler* handler : handlers)
        handler->OnUnregistered(this);
}

bool VEventManager::Send(const IEvent& event)
{
    if (!IsEventThread())
        return false;
    std::unique_ptr<IEvent> copy = event.Clone();
    if (copy == nullptr)
        return false;
    if (!copy->ShouldDeliver(this))
        return true;

    bool nested = false;
    {
        std::lock_guard lock(m_Lock);
        const std::type_index type(typeid(*copy));
        if (std::find(m_DeliveryStack.begin(), m_DeliveryStack.end(), type) !=
            m_DeliveryStack.end())
            return false;
        nested = !m_DeliveryStack.empty();
    }
    if (nested || m_DeliveryInProgress)
    {
        DeliverOne(std::move(copy), false);
        return true;
    }
    m_Idle.store(false, std::memory_order_relaxed);
    m_DeliveryInProgress = true;
    DeliverOne(std::move(copy), false);
    FinishDelivery();
    return true;
}

bool VEventManager::Post(const IEvent& event)
{
    std::unique_ptr<IEvent> copy = event.Clone();
    if (copy == nullptr)
        return false;
    if (!copy->ShouldDeliver(this))
        return true;
    const char* typeName = typeid(*copy).name();
    CountPost(typeName, +1);
    if (PostToEventThread(std::move(copy)))
        return true;
    CountPost(typeName, -1);
    return false;
}

void VEventManager::UnregisterHandler(IEventHandler* handler)
{
    if (handler == nullptr)
        return;
    std::lock_guard lock(m_Lock);
    if (m_DeliveryStack.empty())
    {
        std::erase_if(m_Registry, [handler](const VRegistration& registration)
                      { return registration.m_Handler == handler; });
    }
    else
    {
        // A delivery is walking the registry: blank the entries, compact later.
        for (VRegistration& registration : m_Registry)
            if (registration.m_Handler == handler)
                registration.m_Handler = nullptr;
    }
    std::erase_if(m_Pending, [handler](const VPostRegistration& pending)
                  { return pending.m_Handler == handler; });
    handler->OnUnregistered(this);
}

std::size_t VEventManager::GetRegistrationCount() const
{
    std::lock_guard lock(m_Lock);
    return static_cast<std::size_t>(std::count_if(m_Registry.begin(), m_Registry.end(),
                                                  [](const VRegistration& registration)
                                                  { return registration.m_Handler != nullptr; }));
}

std::uint64_t VEventManager::GetDeliveryCount() const
{
    return m_DeliveryCount.load(std::memory_order_relaxed);
}

bool VEventManager::IsIdle() const
{
    return m_Idle.load(std::memory_order_relaxed);
}

std::string VEventManager::DumpStatistics() const
{
    std::map<std::string, std::int64_t, std::less<>> counts;
    {
        std::lock_guard lock(m_StatsLock);
        counts = m_PostCounts;
    }
    std::string text;
    for (const auto& [name, count] : counts)
        text += Demangle(name.c_str()) + ": " + std::to_string(count) + "\n";
    return text;
}

bool VEventManager::RegisterHandler(IEventHandler* handler, std::shared_ptr<const TypedEvent> type)
{
    if (handler == nullptr || type == nullptr)
        return false;
    std::lock_guard lock(m_Lock);
    if (m_DeliveryStack.empty())
        m_Registry.push_back({handler, std::move(type)});
    else
    {
        m_Pending.push_back({handler, std::move(type), this});
        m_RegistryChanged = true;
    }
    // Told at once, also when deferred, so a handler destroyed before the delivery
    // ends still unregisters and its pending entry goes with it.
    handler->OnRegistered(this);
    return true;
}

void VEventManager::EnumerateHandlers(const HandlerVisitor& visitor) const
{
    std::lock_guard lock(m_Lock);
    for (const VRegistration& registration : m_Registry)
        if (registration.m_Handler != nullptr)
            visitor(registration.m_Handler, *registration.m_Type);
}

void VEventManager::ReceiveDueEvent(std::unique_ptr<IEvent> event)
{
    if (event == nullptr)
        return;
    if (dynamic_cast<INestableEvent*>(event.get()) != nullptr && IsDelivering())
    {
        DeliverOne(std::move(event), true);
        return;
    }
    DeliverEvent(std::move(event));
}

void VEventManager::DeliverEvent(std::unique_ptr<IEvent> event)
{
    if (event == nullptr)
        return;
    if (IsDelivering())
    {
        m_Arrivals.push_back(std::move(event));
        return;
    }
    m_Idle.store(false, std::memory_order_relaxed);
    m_DeliveryInProgress = true;
    DeliverOne(std::move(event), true);
    FinishDelivery();
}

void VEventManager::DiscardArrivals()
{
    // Popped one by one: destroying an event may run code that posts again.
    while (!m_Arrivals.empty())
    {
        std::unique_ptr<IEvent> event = std::move(m_Arrivals.front());
        m_Arrivals.pop_front();
    }
}

bool VEventManager::IsDelivering() const
{
    if (m_DeliveryInProgress)
        return true;
    std::lock_guard lock(m_Lock);
    return !m_DeliveryStack.empty();
}

void VEventManager::DeliverOne(std::unique_ptr<IEvent> event, bool counted)
{
    if (auto* destroyable = dynamic_cast<VDestroyableEvent*>(event.get()))
    {
        destroyable->Release();
        return;
    }
    if (!event->Prepare(this))
    {
        if (counted)
            CountPost(typeid(*event).name(), -1);
        return;
    }
    {
        std::lock_guard lock(m_Lock);
        m_DeliveryStack.push_back(typeid(*event));
        // Registrations made meanwhile wait in m_Pending and unregistrations only
        // blank entries, so the registry keeps its size and order during the walk.
        for (std::size_t i = 0; i < m_Registry.size(); ++i)
        {
            IEventHandler* handler = m_Registry[i].m_Handler;
            if (handler != nullptr && m_Registry[i].m_Type->Matches(event.get()))
                handler->HandleEvent(event.get());
        }
        m_DeliveryStack.pop_back();
    }
    m_DeliveryCount.fetch_add(1, std::memory_order_relaxed);
    event->OnDelivered();
    if (event->ShouldRepost())
        PostToEventThread(std::move(event));
}

void VEventManager::FinishDelivery()
{
    while (!m_Arrivals.empty())
    {
        std::unique_ptr<IEvent> next = std::move(m_Arrivals.front());
        m_Arrivals.pop_front();
        DeliverOne(std::move(next), true);
    }
    m_DeliveryInProgress = false;
    SettleRegistrations();
    m_Idle.store(true, std::memory_order_relaxed);
}

void VEventManager::SettleRegistrations()
{
    std::lock_guard lock(m_Lock);
    if (!m_DeliveryStack.empty())
        return;
    std::erase_if(m_Registry, [](const VRegistration& registration)
                  { return registration.m_Handler == nullptr; });
    if (!m_RegistryChanged)
        return;
    for (VPostRegistration& pending : m_Pending)
        m_Registry.push_back({pending.m_Handler, std::move(pending.m_Type)});
    m_Pending.clear();
    m_RegistryChanged = false;
}

void VEventManager::CountPost(const char* typeName, int change)
{
    std::lock_guard lock(m_StatsLock);
    auto found = m_PostCounts.find(std::string_view(typeName));
    if (found == m_PostCounts.end())
        found = m_PostCounts.emplace(typeName, 0).first;
    found->second += change;
}
