// The event manager: a small typed event bus that delivers events on one thread,
// the event thread, to the handlers registered for their types.
#pragma once

#include "Core/Corvid/Framework/EventSystem/IEvent.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <typeindex>
#include <typeinfo>

class IEventHandler;

/// The event bus. Threading: Post, PostToEventThread, IsEventThread, the state
/// queries and registration may be called from any thread; Send, OnTimer and all
/// deliveries happen on the event thread only (the thread that created the manager).
class IEventManager
{
public:
    /// An event type that a handler registers for.
    /// Immutable after construction, so safe to share between threads.
    class TypedEvent
    {
    public:
        virtual ~TypedEvent() = default;
        /// An event object of the type, owned by the type; null when the type cannot
        /// be built on its own (an abstract class).
        virtual const IEvent* GetPrototypeEvent() const = 0;
        /// True when `event` is of this type.
        virtual bool Matches(const IEvent* event) const = 0;
        /// The C++ type this type stands for.
        virtual std::type_index GetType() const = 0;
    };

    /// Matches every event whose dynamic type is T or derives from T;
    /// TemplatedTypedEvent<IEvent> matches every event.
    template <class T> class TemplatedTypedEvent final : public TypedEvent
    {
        static_assert(std::is_base_of_v<IEvent, T>, "event types derive from IEvent");

    public:
        TemplatedTypedEvent()
        {
            if constexpr (!std::is_abstract_v<T> && std::is_default_constructible_v<T>)
                m_Prototype = std::make_unique<T>();
        }

        const IEvent* GetPrototypeEvent() const override { return m_Prototype.get(); }
        bool Matches(const IEvent* event) const override
        {
            return dynamic_cast<const T*>(event) != nullptr;
        }
        std::type_index GetType() const override { return typeid(T); }

    private:
        std::unique_ptr<const T> m_Prototype;
    };

    /// Called back once per registration by EnumerateHandlers.
    using HandlerVisitor = std::function<void(IEventHandler* handler, const TypedEvent& type)>;

    virtual ~IEventManager() = default;

    /// Delivers a clone of `event` at once, nested inside any running delivery.
    /// Event thread only. Returns false off the event thread, and when an event of
    /// the same dynamic type is being delivered already (no re-entrant delivery of one
    /// type); true otherwise, also when the clone declines ShouldDeliver.
    virtual bool Send(const IEvent& event) = 0;

    /// Queues a clone of `event` for delivery on the event thread; the caller keeps
    /// `event`. Any thread. Events posted from one thread are delivered in posting
    /// order. Returns false only when the clone could not be queued; a clone that
    /// declines ShouldDeliver is dropped and the result is true.
    virtual bool Post(const IEvent& event) = 0;

    /// Delivers every delayed event that is due and re-arms the timer. Event thread.
    virtual void OnTimer() = 0;

    /// Drops every registration of `handler` (also those recorded during a delivery)
    /// and tells it through OnUnregistered. Any thread; blocks while a delivery runs
    /// on another thread. Safe inside HandleEvent: an unregistered handler is not
    /// called again, not even later in the running delivery.
    virtual void UnregisterHandler(IEventHandler* handler) = 0;

    /// Number of (handler, type) registrations in force. Any thread.
    virtual std::size_t GetRegistrationCount() const = 0;
    /// Number of events handed to handlers so far. Any thread.
    virtual std::uint64_t GetDeliveryCount() const = 0;
    /// True while no delivery is running. Any thread.
    virtual bool IsIdle() const = 0;

    /// True when the calling thread is the event thread. Any thread.
    virtual bool IsEventThread() const = 0;

    /// One line per event type name: how many events of that type were posted and
    /// not consumed by their own Prepare. Any thread.
    virtual std::string DumpStatistics() const = 0;

    /// Registers `handler` for events matching `type` and tells it through
    /// OnRegistered. During a delivery the registration takes effect when the
    /// delivery ends. Any thread; blocks while a delivery runs on another thread.
    /// The handler is not owned; it must unregister before it is destroyed
    /// (VEventHandler does). Returns false for a null handler or type.
    virtual bool RegisterHandler(IEventHandler* handler,
                                 std::shared_ptr<const TypedEvent> type) = 0;

    /// Calls `visitor` for each registration in force, under the manager's mutex.
    virtual void EnumerateHandlers(const HandlerVisitor& visitor) const = 0;

    /// Hook for managers that need work done between deliveries; event thread.
    virtual void OnIdle() = 0;

    /// Hands an event straight to the event thread's queue, without Clone or
    /// statistics. Any thread. Returns false for a null event.
    virtual bool PostToEventThread(std::unique_ptr<IEvent> event) = 0;

    /// True while the manager accepts posts; the Qt manager always does.
    virtual bool IsAcceptingPosts() const = 0;

    /// Diagnostics hook that takes a free text; the Qt manager ignores it.
    virtual void Annotate(const char* text) = 0;

    /// Registers `handler` for events of type T and the types derived from it.
    template <class T> bool RegisterHandlerFor(IEventHandler* handler)
    {
        return RegisterHandler(handler, std::make_shared<const TemplatedTypedEvent<T>>());
    }
};
