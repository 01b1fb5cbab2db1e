#include "Core/Corvid/Framework/EventSystem/Invoke.h"

#include "Core/Corvid/Framework/EventSystem/VEventManagerQt.h"
#include "lumen/Log.h"
#include "support/EventLoopPump.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using Orvan::EventSystem::Invoke;

namespace
{

const char kSubmitLine[] = "Submit:InvokeEvent( pDetails )";

/// Sends the log to a file with "Event System" at level 5 while alive.
class VLogCapture
{
public:
    VLogCapture()
        : m_Path(::testing::TempDir() + "events_invoke_" + std::to_string(::getpid()) + ".log")
    {
        std::remove(m_Path.c_str());
        EXPECT_TRUE(ZEL::GlobalLog().SetOutput(m_Path));
        ZEL::GlobalLog().SetLevel("Event System", 5);
    }
    ~VLogCapture()
    {
        ZEL::GlobalLog().SetLevel("Event System", 0);
        ZEL::GlobalLog().SetOutput("-");
        std::remove(m_Path.c_str());
    }

    int CountSubmitLines() const
    {
        std::ifstream in(m_Path);
        int count = 0;
        for (std::string line; std::getline(in, line);)
            if (line.find(kSubmitLine) != std::string::npos)
                ++count;
        return count;
    }

private:
    std::string m_Path;
};

} // namespace

TEST(Invoke, OnTheEventThreadRunsBeforeReturningAndLogsNothing)
{
    VLogCapture log;
    VEventManagerQt manager;
    bool ran = false;
    EXPECT_TRUE(Invoke(&manager, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(log.CountSubmitLines(), 0);
}

TEST(Invoke, FromAWorkerReturnsAtOnceAndRunsOnTheNextLoopTurn)
{
    VLogCapture log;
    VEventManagerQt manager;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::atomic<int> runs{0};
    std::thread::id ranOn;

    std::thread worker(
        [&]
        {
            for (int i = 0; i < 2; ++i)
                EXPECT_TRUE(Invoke(&manager,
                                   [&]
                                   {
                                       ranOn = std::this_thread::get_id();
                                       ++runs;
                                   }));
        });
    worker.join();
    // The main thread has not turned its loop yet, so nothing can have run.
    EXPECT_EQ(runs.load(), 0);
    EXPECT_EQ(log.CountSubmitLines(), 2) << "one submit line per call";

    QCoreApplication::processEvents();
    EXPECT_EQ(runs.load(), 2);
    EXPECT_EQ(ranOn, mainThread);
}

TEST(Invoke, ActionsFromOneThreadRunInPostingOrder)
{
    VEventManagerQt manager;
    std::vector<int> order;

    // Three actions from one worker.
    std::thread worker(
        [&]
        {
            for (int i = 1; i <= 3; ++i)
                Invoke(&manager, [&order, i] { order.push_back(i); });
        });
    worker.join();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

    // Several workers at once: each one's actions keep their order, none is lost.
    constexpr int kThreads = 4;
    constexpr int kPerThread = 500;
    std::vector<std::vector<int>> seen(kThreads);
    int total = 0;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back(
            [&, t]
            {
                for (int i = 0; i < kPerThread; ++i)
                    Invoke(&manager,
                           [&, t, i]
                           {
                               seen[t].push_back(i);
                               ++total;
                           });
            });
    // Deliveries go on while the workers still post.
    EXPECT_TRUE(testsupport::PumpUntil([&] { return total == kThreads * kPerThread; }))
        << "delivered " << total << " of " << kThreads * kPerThread;
    for (std::thread& w : workers)
        w.join();
    for (int t = 0; t < kThreads; ++t)
    {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(kPerThread)) << "thread " << t;
        for (int i = 0; i < kPerThread; ++i)
            ASSERT_EQ(seen[t][i], i) << "thread " << t;
    }
}

TEST(Invoke, RejectsANullManagerAndAnEmptyAction)
{
    VEventManagerQt manager;
    bool ran = false;
    EXPECT_FALSE(Invoke(nullptr, [&] { ran = true; }));
    EXPECT_FALSE(Invoke(&manager, std::function<void()>()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(Invoke, ActionsStillQueuedAtShutdownAreReleasedUnrun)
{
    auto token = std::make_shared<int>(7);
    std::weak_ptr<int> watch = token;
    bool ran = false;
    {
        VEventManagerQt manager;
        std::thread worker([&, captured = std::move(token)]
                           { Invoke(&manager, [&ran, captured] { ran = *captured == 7; }); });
        worker.join();
        EXPECT_FALSE(watch.expired()) << "the queued action holds its capture";
    }
    EXPECT_TRUE(watch.expired()) << "the capture was leaked with the queued action";
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
}

TEST(InvokeDetails, ReleasesTheActionRightAfterRunningIt)
{
    // The caller's event may still hold the details on another thread; the captures
    // must nonetheless die on the event thread, right after the action ran.
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;
    int runs = 0;
    auto details = std::make_shared<Orvan::EventSystem::InvokeDetails>(
        [&runs, captured = std::move(token)] { runs += *captured; });
    Orvan::EventSystem::InvokeEvent event(details);
    EXPECT_FALSE(event.Prepare(nullptr)) << "an invoke event never reaches handlers";
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(watch.expired());
    // A clone shares the details, which have been spent.
    EXPECT_FALSE(event.Clone()->Prepare(nullptr));
    EXPECT_EQ(runs, 1);
}
