#include "net/VThread.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

namespace
{
using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

/// Runs until asked to stop, recording its system name.
class VNamedWaiter : public VThread
{
public:
    explicit VNamedWaiter(std::string name) : VThread(std::move(name)) {}
    ~VNamedWaiter() override { Stop(); }

    void Run() override
    {
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        m_SystemName = name;
        m_RanOnItself = IsCurrentThread();
        m_JoinedItself = Join();
        m_Ready.Set();
        WaitForStop(VSyncroniser::Infinite);
    }

    std::string m_SystemName;
    bool m_RanOnItself = false;
    bool m_JoinedItself = true;
    VEvent m_Ready{true, false};
};
} // namespace

TEST(Thread, StartsOnceNamesItselfAndStopsPromptly)
{
    VNamedWaiter thread("SimpleComms_Receiver");
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_FALSE(thread.Join()) << "a thread never started cannot be joined";
    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start()) << "starting twice does nothing";
    ASSERT_TRUE(thread.m_Ready.Wait(5000)) << "thread did not start";
    EXPECT_NE(thread.GetThreadId(), 0u);
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_FALSE(thread.IsCurrentThread());
    EXPECT_FALSE(thread.WaitForExit(0));

    const auto start = Clock::now();
    EXPECT_TRUE(thread.Stop());
    EXPECT_LT(ElapsedMs(start), 1000) << "stop must be prompt";
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_TRUE(thread.WaitForExit(0));
    EXPECT_EQ(thread.m_SystemName, "SimpleComms_Rec") << "names are cut to 15 characters";
    EXPECT_TRUE(thread.m_RanOnItself);
    EXPECT_FALSE(thread.m_JoinedItself) << "a thread cannot join itself";
    EXPECT_FALSE(thread.Join()) << "joined only once";
}

TEST(Thread, FunctionThreadSeesStopRequest)
{
    std::atomic<int> rounds{0};
    VFunctionThread thread("worker",
                           [&](VThread& self)
                           {
                               while (!self.WaitForStop(1))
                                   ++rounds;
                           });
    thread.Start();
    while (rounds.load() < 3)
        VThread::Sleep(1);
    EXPECT_TRUE(thread.Stop());
}

TEST(Event, ManualAndAutomaticReset)
{
    VEvent manual(true, false);
    EXPECT_FALSE(manual.Wait(0));
    manual.Set();
    EXPECT_TRUE(manual.Wait(0));
    EXPECT_TRUE(manual.Wait(0)) << "a manual event stays set";
    manual.Reset();
    EXPECT_FALSE(manual.Wait(10));

    VEvent automatic(false, true);
    EXPECT_TRUE(automatic.Wait(0));
    EXPECT_FALSE(automatic.Wait(0)) << "an automatic event releases one wait";

    VEvent copy = automatic;
    copy.Set();
    EXPECT_TRUE(automatic.IsSet()) << "a copy is a second handle to the same event";
    EXPECT_FALSE(VEvent(true, false).Wait(0));
}

TEST(Event, SetFromAnotherThreadWakesWaiter)
{
    VEvent event(false, false);
    VFunctionThread setter("setter",
                           [&](VThread&)
                           {
                               VThread::Sleep(20);
                               event.Set();
                           });
    setter.Start();
    const auto start = Clock::now();
    EXPECT_TRUE(event.Wait(5000));
    EXPECT_LT(ElapsedMs(start), 4000);
    setter.Join();
}
