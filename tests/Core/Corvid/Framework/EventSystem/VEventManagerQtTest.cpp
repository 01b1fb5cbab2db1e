#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"

#include "Core/Corvid/Framework/EventSystem/INestableEvent.h"
#include "Core/Corvid/Framework/EventSystem/VDeferredActionEvent.h"
#include "Core/Corvid/Framework/EventSystem/VDeferredActionEventHandler.h"
#include "Core/Corvid/Framework/EventSystem/VDestroyableEvent.h"
#include "Core/Corvid/Framework/EventSystem/VEventHandler.h"
#include "params/IDestroyable.h"
#include "support/EventLoopPump.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace
{

std::atomic<int> g_LiveEvents{0};

/// A plain event with a name and an optional delay; counts its live copies.
class VNamedEvent : public IEvent
{
public:
    explicit VNamedEvent(std::string name, std::uint32_t delayMs = 0)
        : m_Name(std::move(name)), m_DelayMs(delayMs)
    {
        ++g_LiveEvents;
    }
    VNamedEvent(const VNamedEvent& other) : m_Name(other.m_Name), m_DelayMs(other.m_DelayMs)
    {
        ++g_LiveEvents;
    }
    ~VNamedEvent() override { --g_LiveEvents; }

    std::uint32_t GetDelayMs() override { return m_DelayMs; }
    std::unique_ptr<IEvent> Clone() const override { return std::make_unique<VNamedEvent>(*this); }

    const std::string m_Name;

private:
    const std::uint32_t m_DelayMs;
};

/// Delivered even while another delivery runs.
class VNestableNamedEvent final : public VNamedEvent, public INestableEvent
{
public:
    using VNamedEvent::VNamedEvent;
    std::unique_ptr<IEvent> Clone() const override
    {
        return std::make_unique<VNestableNamedEvent>(*this);
    }
};

/// Another type, for the re-entrance rule of Send.
class VOtherEvent final : public IEvent
{
public:
    std::unique_ptr<IEvent> Clone() const override { return std::make_unique<VOtherEvent>(); }
};

/// Calls a test-supplied function for each event.
class VRecorder final : public VEventHandler
{
public:
    explicit VRecorder(std::function<void(IEvent*)> onEvent = {}) : m_OnEvent(std::move(onEvent)) {}
    ~VRecorder() override { UnregisterAll(); }

    void HandleEvent(IEvent* event) override
    {
        ++m_Count;
        if (m_OnEvent)
            m_OnEvent(event);
    }

    std::function<void(IEvent*)> m_OnEvent;
    int m_Count = 0;
};

std::string NameOf(const IEvent* event)
{
    const auto* named = dynamic_cast<const VNamedEvent*>(event);
    return named != nullptr ? named->m_Name : "?";
}

/// A manager whose clock the test moves by hand.
class VManualClockManager final : public VEventManagerQt
{
public:
    void Advance(std::chrono::milliseconds step) { m_Now += step; }

protected:
    Clock::time_point Now() const override { return m_Now; }

private:
    Clock::time_point m_Now = Clock::now();
};

/// Counts the calls to Destroy and the thread that made them.
class VDestroyProbe final : public IDestroyable
{
public:
    VDestroyProbe(std::atomic<int>& destroyed, std::thread::id& thread)
        : m_Destroyed(destroyed), m_Thread(thread)
    {
    }
    void Destroy() override
    {
        m_Thread = std::this_thread::get_id();
        ++m_Destroyed;
        delete this;
    }

private:
    std::atomic<int>& m_Destroyed;
    std::thread::id& m_Thread;
};

} // namespace

TEST(EventManagerQt, DelayedEventsAreDeliveredInDueOrderAndNeverEarly)
{
    VEventManagerQt manager;
    std::vector<std::pair<std::string, Clock::time_point>> delivered;
    VRecorder recorder([&](IEvent* event) { delivered.emplace_back(NameOf(event), Clock::now()); });
    manager.RegisterHandlerFor<VNamedEvent>(&recorder);

    const Clock::time_point posted = Clock::now();
    manager.Post(VNamedEvent("late", 100));
    manager.Post(VNamedEvent("early", 50));
    manager.Post(VNamedEvent("now"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return delivered.size() == 3; }))
        << "delivered " << delivered.size() << " of 3";

    EXPECT_EQ(delivered[0].first, "now");
    EXPECT_EQ(delivered[1].first, "early");
    EXPECT_EQ(delivered[2].first, "late");
    EXPECT_GE(delivered[1].second - posted, 50ms);
    EXPECT_GE(delivered[2].second - posted, 100ms);
    EXPECT_EQ(manager.GetDelayedCount(), 0u);
}

TEST(EventManagerQt, DelayedEventsFollowTheMonotonicClockAndShareDueTimes)
{
    VManualClockManager manager;
    std::vector<std::string> delivered;
    VRecorder recorder([&](IEvent* event) { delivered.push_back(NameOf(event)); });
    manager.RegisterHandlerFor<VNamedEvent>(&recorder);

    // Three events due at the very same instant are all kept, in arrival order.
    manager.Post(VNamedEvent("first", 5));
    manager.Post(VNamedEvent("second", 5));
    manager.Post(VNamedEvent("third", 5));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return manager.GetDelayedCount() == 3; }));

    // The Qt timer fires, but by the manager's clock nothing is due yet.
    testsupport::PumpFor(30ms);
    EXPECT_TRUE(delivered.empty());

    manager.Advance(5ms);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return delivered.size() == 3; }))
        << "delivered " << delivered.size() << " of 3";
    EXPECT_EQ(delivered, (std::vector<std::string>{"first", "second", "third"}));
}

TEST(EventManagerQt, EventPostedWhileHandlingIsDeliveredAfterTheCurrentDelivery)
{
    VEventManagerQt manager;
    std::vector<std::string> trace;
    VRecorder recorder(
        [&](IEvent* event)
        {
            const std::string name = NameOf(event);
            trace.push_back(name + " begin");
            if (name == "outer")
            {
                manager.Post(VNamedEvent("inner"));
                // Even a nested loop turn inside the handler must not deliver it.
                QCoreApplication::processEvents();
            }
            trace.push_back(name + " end");
        });
    manager.RegisterHandlerFor<VNamedEvent>(&recorder);

    manager.Post(VNamedEvent("outer"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return trace.size() == 4; }));
    EXPECT_EQ(trace,
              (std::vector<std::string>{"outer begin", "outer end", "inner begin", "inner end"}));
    EXPECT_TRUE(manager.IsIdle());
}

TEST(EventManagerQt, NestableEventsAreDeliveredInsideARunningDelivery)
{
    VEventManagerQt manager;
    std::vector<std::string> trace;
    VRecorder recorder(
        [&](IEvent* event)
        {
            const std::string name = NameOf(event);
            if (name != "outer")
            {
                trace.push_back(name);
                return;
            }
            trace.push_back("outer begin");
            manager.Post(VNamedEvent("plain"));
            manager.Post(VNestableNamedEvent("nestable"));
            QCoreApplication::processEvents();
            trace.push_back("outer end");
        });
    manager.RegisterHandlerFor<VNamedEvent>(&recorder);

    manager.Post(VNamedEvent("outer"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return trace.size() == 4; }));
    EXPECT_EQ(trace, (std::vector<std::string>{"outer begin", "nestable", "outer end", "plain"}));
}

TEST(EventManagerQt, SendDeliversAtOnceOnlyOnTheEventThreadAndNeverReentrantly)
{
    VEventManagerQt manager;
    std::vector<std::string> trace;
    bool reentrantResult = true;
    bool otherTypeResult = false;
    VRecorder recorder(
        [&](IEvent* event)
        {
            if (dynamic_cast<VOtherEvent*>(event) != nullptr)
            {
                trace.push_back("other");
                return;
            }
            trace.push_back(NameOf(event));
            // Same type again: refused. Another type: delivered nested, at once.
            reentrantResult = manager.Send(VNamedEvent("again"));
            otherTypeResult = manager.Send(VOtherEvent());
        });
    manager.RegisterHandlerFor<IEvent>(&recorder);

    EXPECT_TRUE(manager.Send(VNamedEvent("sent")));
    EXPECT_EQ(trace, (std::vector<std::string>{"sent", "other"}));
    EXPECT_FALSE(reentrantResult);
    EXPECT_TRUE(otherTypeResult);

    // From another thread Send does nothing.
    bool workerResult = true;
    std::thread worker([&] { workerResult = manager.Send(VNamedEvent("from worker")); });
    worker.join();
    EXPECT_FALSE(workerResult);
    testsupport::PumpFor(10ms);
    EXPECT_EQ(trace.size(), 2u);
}

TEST(EventManagerQt, EventsCanDeclineDeliveryHandleThemselvesOrRepost)
{
    // Declines at post time.
    class VDeclined final : public IEvent
    {
    public:
        bool ShouldDeliver(IEventManager*) override { return false; }
        std::unique_ptr<IEvent> Clone() const override { return std::make_unique<VDeclined>(); }
    };
    // Handles itself in Prepare.
    class VSelfHandled final : public IEvent
    {
    public:
        explicit VSelfHandled(int& prepared) : m_Prepared(prepared) {}
        bool Prepare(IEventManager*) override
        {
            ++m_Prepared;
            return false;
        }
        std::unique_ptr<IEvent> Clone() const override
        {
            return std::make_unique<VSelfHandled>(m_Prepared);
        }

    private:
        int& m_Prepared;
    };
    // Delivered three times in all, the state shared by the clones.
    class VRepeating final : public IEvent
    {
    public:
        explicit VRepeating(int& delivered) : m_Delivered(delivered) {}
        void OnDelivered() override { ++m_Delivered; }
        bool ShouldRepost() override { return m_Delivered < 3; }
        std::uint32_t GetDelayMs() override { return 1; }
        std::unique_ptr<IEvent> Clone() const override
        {
            return std::make_unique<VRepeating>(m_Delivered);
        }

    private:
        int& m_Delivered;
    };

    VEventManagerQt manager;
    VRecorder recorder;
    manager.RegisterHandlerFor<IEvent>(&recorder);

    int prepared = 0;
    int repeated = 0;
    EXPECT_TRUE(manager.Post(VDeclined()));
    EXPECT_TRUE(manager.Post(VSelfHandled(prepared)));
    EXPECT_TRUE(manager.Post(VRepeating(repeated)));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return repeated == 3 && prepared == 1; }));
    testsupport::PumpFor(20ms);
    EXPECT_EQ(repeated, 3) << "reposting must stop when the event says so";
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(recorder.m_Count, 3) << "only the repeating event reaches the handler";
    EXPECT_NE(manager.DumpStatistics().find("VRepeating: 1"), std::string::npos)
        << manager.DumpStatistics();
}

TEST(EventManagerQt, RegistrationChangesDuringADeliveryAreSafe)
{
    VEventManagerQt manager;
    std::vector<std::string> trace;
    VRecorder late([&](IEvent* event) { trace.push_back("late " + NameOf(event)); });
    VRecorder second([&](IEvent* event) { trace.push_back("second " + NameOf(event)); });
    VRecorder first(
        [&](IEvent* event)
        {
            const std::string name = NameOf(event);
            trace.push_back("first " + name);
            if (name == "one")
            {
                // Takes effect after this delivery: "late" does not see "one".
                manager.RegisterHandlerFor<VNamedEvent>(&late);
                // Takes effect at once: "second" is not called for "one" any more.
                manager.UnregisterHandler(&second);
            }
        });
    manager.RegisterHandlerFor<VNamedEvent>(&first);
    manager.RegisterHandlerFor<VNamedEvent>(&second);
    EXPECT_EQ(manager.GetRegistrationCount(), 2u);

    manager.Post(VNamedEvent("one"));
    manager.Post(VNamedEvent("two"));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return trace.size() == 3; }));
    EXPECT_EQ(trace, (std::vector<std::string>{"first one", "first two", "late two"}));
    EXPECT_EQ(manager.GetRegistrationCount(), 2u);
    EXPECT_FALSE(second.IsRegisteredWith(&manager));
    EXPECT_TRUE(late.IsRegisteredWith(&manager));

    // A handler registered during a delivery and destroyed before it ends leaves
    // nothing behind.
    {
        auto doomed = std::make_unique<VRecorder>();
        VRecorder killer(
            [&](IEvent*)
            {
                manager.RegisterHandlerFor<VOtherEvent>(doomed.get());
                doomed.reset();
            });
        manager.RegisterHandlerFor<VOtherEvent>(&killer);
        manager.Post(VOtherEvent());
        ASSERT_TRUE(testsupport::PumpUntil([&] { return doomed == nullptr; }));
    }
    EXPECT_EQ(manager.GetRegistrationCount(), 2u) << "first and late";
    manager.Post(VOtherEvent());
    QCoreApplication::processEvents();
}

TEST(EventManagerQt, TypedEventsMatchTheirTypeAndDerivedTypes)
{
    const IEventManager::TemplatedTypedEvent<VNamedEvent> named;
    const IEventManager::TemplatedTypedEvent<IEvent> any;
    const VNestableNamedEvent derived("derived");
    const VOtherEvent other;

    EXPECT_TRUE(named.Matches(&derived));
    EXPECT_FALSE(named.Matches(&other));
    EXPECT_TRUE(any.Matches(&other));
    EXPECT_EQ(any.GetPrototypeEvent(), nullptr) << "IEvent is abstract";
    const IEventManager::TemplatedTypedEvent<VOtherEvent> otherType;
    ASSERT_NE(otherType.GetPrototypeEvent(), nullptr);
    EXPECT_TRUE(otherType.Matches(otherType.GetPrototypeEvent()));
}

TEST(EventManagerQt, DeferredActionsRunThroughTheirHandlerOnTheEventThread)
{
    VEventManagerQt manager;
    auto handler = std::make_unique<VDeferredActionEventHandler>(&manager);
    EXPECT_EQ(manager.GetRegistrationCount(), 1u);

    std::thread::id ranOn;
    std::thread worker(
        [&] { manager.Post(VDeferredActionEvent([&] { ranOn = std::this_thread::get_id(); })); });
    worker.join();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return ranOn != std::thread::id(); }));
    EXPECT_EQ(ranOn, std::this_thread::get_id());

    // Without its handler a deferred action reaches no one.
    handler.reset();
    EXPECT_EQ(manager.GetRegistrationCount(), 0u);
    bool ran = false;
    manager.Post(VDeferredActionEvent([&] { ran = true; }));
    testsupport::PumpFor(10ms);
    EXPECT_FALSE(ran);
}

TEST(EventManagerQt, DestroyableObjectsAreReleasedOnceOnTheEventThread)
{
    VEventManagerQt manager;
    std::atomic<int> destroyed{0};
    std::thread::id destroyedOn;

    std::thread worker(
        [&]
        {
            VDestroyableEvent event(new VDestroyProbe(destroyed, destroyedOn));
            manager.Post(event);
            manager.Post(event); // a second post of the same object releases nothing more
        });
    worker.join();
    EXPECT_EQ(destroyed.load(), 0) << "released before reaching the event thread";
    ASSERT_TRUE(testsupport::PumpUntil([&] { return destroyed.load() == 1; }));
    testsupport::PumpFor(10ms);
    EXPECT_EQ(destroyed.load(), 1);
    EXPECT_EQ(destroyedOn, std::this_thread::get_id());

    // An event that is never delivered still releases its object.
    {
        VDestroyableEvent unposted(new VDestroyProbe(destroyed, destroyedOn));
    }
    EXPECT_EQ(destroyed.load(), 2);
}

TEST(EventManagerQt, ShutdownInStartUpOrderWithEventsStillQueuedLeaksNothing)
{
    std::atomic<int> destroyed{0};
    std::thread::id destroyedOn;
    bool ran = false;
    auto manager = std::make_unique<VEventManagerQt>();
    const IEventManager* managerAddress = manager.get();
    auto actions = std::make_unique<VDeferredActionEventHandler>(manager.get());
    VRecorder survivor;
    manager->RegisterHandlerFor<VNamedEvent>(&survivor);

    // One delayed event already filed, and more still in the Qt queue.
    manager->Post(VNamedEvent("delayed", 60000));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return manager->GetDelayedCount() == 1; }));
    std::thread worker(
        [&]
        {
            manager->Post(VNamedEvent("queued"));
            manager->Post(VDeferredActionEvent([&] { ran = true; }));
            manager->Post(VDestroyableEvent(new VDestroyProbe(destroyed, destroyedOn)));
        });
    worker.join();
    EXPECT_EQ(g_LiveEvents.load(), 2);

    // The handler goes first, the manager last, as the program does at exit.
    actions.reset();
    manager.reset();
    EXPECT_EQ(g_LiveEvents.load(), 0) << "queued events leaked";
    EXPECT_EQ(destroyed.load(), 1) << "the queued object was leaked";
    EXPECT_FALSE(ran);
    EXPECT_FALSE(survivor.IsRegisteredWith(managerAddress)) << "not told of the shutdown";
    QCoreApplication::processEvents();
    // `survivor` outlives the manager; its destructor must not call back into it.
}
