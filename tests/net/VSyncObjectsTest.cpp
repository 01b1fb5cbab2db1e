#include "net/VCriticalSection.h"
#include "net/VEvent.h"
#include "net/VMutex.h"
#include "net/VSemaphore.h"
#include "net/VThread.h"

#include <gtest/gtest.h>

#include <atomic>

TEST(WaitForAny, ReportsTheLowestSignalledObjectOrWhyNot)
{
    VEvent first(true, false);
    VEvent second(false, true);
    VEvent third(true, true);
    uint32_t raw = 0;
    EXPECT_TRUE(VThread::WaitForAny({&first, &second, &third}, 0, &raw));
    EXPECT_EQ(raw, 1u);
    EXPECT_FALSE(second.IsSet()) << "the automatic event that satisfied the wait was taken";
    EXPECT_TRUE(VThread::WaitForAny({&first, &second, &third}, 0, &raw));
    EXPECT_EQ(raw, 2u);

    third.Reset();
    EXPECT_FALSE(VThread::WaitForAny({&first, &second, &third}, 20, &raw));
    EXPECT_EQ(raw, VThread::WaitTimeout);

    VSyncroniser empty;
    EXPECT_FALSE(VThread::WaitForAny({&first, &empty}, 0, &raw));
    EXPECT_EQ(raw, VThread::WaitFailed);
    EXPECT_FALSE(VThread::WaitForAny({}, 0, &raw));
    EXPECT_EQ(raw, VThread::WaitFailed);
}

TEST(WaitForAny, WakesWhenAnotherThreadSignalsAnyOfTheObjects)
{
    VEvent stop(true, false);
    VEvent work(false, false);
    std::atomic<int> woken{-1};
    VEvent waiting(true, false);
    VFunctionThread waiter("waiter",
                           [&](VThread&)
                           {
                               waiting.Set();
                               uint32_t raw = 0;
                               if (VThread::WaitForAny({&stop, &work}, 10000, &raw))
                                   woken = static_cast<int>(raw);
                           });
    waiter.Start();
    ASSERT_TRUE(waiting.Wait(5000));
    work.Set();
    ASSERT_TRUE(waiter.WaitForExit(5000)) << "the waiter was not woken";
    waiter.Join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(WaitForAll, TakesEveryObjectAtOnceOrNone)
{
    VEvent a(false, true);
    VEvent b(false, false);
    EXPECT_FALSE(VThread::WaitForAll({&a, &b}, 10));
    EXPECT_TRUE(a.IsSet()) << "nothing is taken while not all objects are signalled";
    b.Set();
    EXPECT_TRUE(VThread::WaitForAll({&a, &b}, 0));
    EXPECT_FALSE(a.IsSet());
    EXPECT_FALSE(b.IsSet());

    VEvent manual(true, true);
    EXPECT_FALSE(VThread::WaitForAll({&manual, &manual}, 0)) << "an object listed twice";

    // Set from another thread while the wait sleeps.
    VSemaphore slots(0, 1);
    VFunctionThread setter("setter",
                           [&](VThread&)
                           {
                               a.Set();
                               slots.Release(1);
                           });
    setter.Start();
    EXPECT_TRUE(VThread::WaitForAll({&a, &slots}, 5000));
    setter.Join();
}

TEST(Mutex, IsReentrantAndExcludesOtherThreads)
{
    VMutex mutex;
    mutex.Lock();
    EXPECT_TRUE(mutex.Wait(0)) << "the owner takes it again";

    auto otherThreadGets = [&mutex](uint32_t timeoutMs)
    {
        std::atomic<bool> got{false};
        VFunctionThread other("other",
                              [&](VThread&)
                              {
                                  got = mutex.Wait(timeoutMs);
                                  if (got)
                                      mutex.Unlock();
                              });
        other.Start();
        other.Join();
        return got.load();
    };
    EXPECT_FALSE(otherThreadGets(20));
    mutex.Unlock();
    EXPECT_FALSE(otherThreadGets(20)) << "still held once";
    mutex.Unlock();
    EXPECT_TRUE(otherThreadGets(0));
    EXPECT_FALSE(mutex.Release()) << "not the owner";

    VMutex owned(true);
    VMutex copy(owned);
    EXPECT_TRUE(copy.Release()) << "a copy is a second handle to the same mutex";
    EXPECT_FALSE(owned.Release());
}

TEST(Semaphore, CountsBetweenZeroAndItsMaximum)
{
    VSemaphore semaphore(1, 2);
    EXPECT_TRUE(semaphore.Wait(0));
    EXPECT_FALSE(semaphore.Wait(0));
    uint32_t previous = 99;
    EXPECT_FALSE(semaphore.Release(3)) << "past the maximum";
    EXPECT_TRUE(semaphore.Release(2, &previous));
    EXPECT_EQ(previous, 0u);
    EXPECT_FALSE(semaphore.Release(1));
    semaphore.Lock();
    semaphore.Lock();
    EXPECT_FALSE(semaphore.Wait(0));
    semaphore.Unlock();
    EXPECT_TRUE(semaphore.Wait(0));
}

TEST(Event, PulseReleasesCurrentWaitersAndLeavesTheEventReset)
{
    VEvent event(true, false);
    std::atomic<bool> released{false};
    VFunctionThread waiter("waiter", [&](VThread&) { released = event.Wait(10000); });
    waiter.Start();
    // Whether the waiter sleeps yet cannot be observed: pulse until it is released.
    for (int i = 0; i < 5000 && !waiter.WaitForExit(0); ++i)
    {
        event.Pulse();
        VThread::Sleep(1);
    }
    waiter.Join();
    EXPECT_TRUE(released.load());
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0)) << "a pulse does not reach later waiters";
}

TEST(CriticalSection, TryLockFailsOnlyForOtherThreads)
{
    VCriticalSection section;
    section.Lock();
    EXPECT_TRUE(section.TryLock()) << "re-entrant";
    std::atomic<bool> otherGot{true};
    VFunctionThread other("other", [&](VThread&) { otherGot = section.TryLock(); });
    other.Start();
    other.Join();
    EXPECT_FALSE(otherGot.load());
    section.Unlock();
    section.Unlock();
}
