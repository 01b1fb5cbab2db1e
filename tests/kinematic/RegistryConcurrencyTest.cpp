// Both registries used from several threads at once. Run under ThreadSanitizer
// (-DTSM_SANITIZE=thread) this shows that name look-ups from the compute registry do not
// race with additions and removals in the target table.
#include "kinematic/VComputeTargetFactory.h"
#include "kinematic/VTargetFactory.h"

#include "ArborTestDoubles.h"
#include "kinematic/ArborTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using ArborTest::VTestComputeTarget;
using ArborTest::VTestTarget;

namespace
{
constexpr std::uint32_t kStableIds = 4;
constexpr int kRounds = 1000;

std::string StableName(std::uint32_t id)
{
    return "Stable" + std::to_string(id);
}
} // namespace

TEST(RegistryConcurrency, AddRemoveFindAndRegisterAtOnce)
{
    ITargetFactory& table = VTargetFactory::Factory();
    IComputeTargetFactory& registry = VComputeTargetFactory::Factory();
    ArborTest::ClearTargetTable();
    // Entries that stay put, so the registrar's ids keep their names; the writers
    // only add and remove entries after them.
    for (std::uint32_t id = 0; id < kStableIds; ++id)
        ASSERT_EQ(table.Add(StableName(id).c_str(), VStringStd(), VStringStd(), nullptr), id);

    std::atomic<int> targetsCreated{0};
    std::atomic<int> targetsReleased{0};
    std::atomic<int> computationsCreated{0};
    std::atomic<int> computationsReleased{0};
    std::latch start(5);
    std::vector<std::thread> threads;

    // Two writers add, find and remove their own names, shifting ids behind them.
    for (int writer = 0; writer < 2; ++writer)
    {
        threads.emplace_back(
            [&, writer]
            {
                start.arrive_and_wait();
                for (int round = 0; round < kRounds; ++round)
                {
                    const std::string name =
                        "W" + std::to_string(writer) + "-" + std::to_string(round);
                    targetsCreated.fetch_add(1);
                    const std::uint32_t index =
                        table.Add(name.c_str(), VStringStd("Seg"), VStringStd(name),
                                  new VTestTarget(&targetsReleased, Arbor::NoId, 1.0));
                    EXPECT_NE(index, Arbor::NoId);
                    EXPECT_TRUE(table.Contains(name.c_str()));
                    // The id may have moved by now; only safety matters here.
                    table.SetDescription(table.Find(name.c_str()), VStringStd("x"));
                    EXPECT_TRUE(table.Remove(name.c_str()));
                }
            });
    }

    // A reader walks the table by index while it changes.
    threads.emplace_back(
        [&]
        {
            start.arrive_and_wait();
            VStringStd text;
            for (int round = 0; round < kRounds; ++round)
            {
                const std::uint32_t count = table.Count();
                for (std::uint32_t index = 0; index <= count; ++index)
                {
                    table.Name(index, text);
                    table.Segment(index, text);
                    table.Radius(index);
                }
                EXPECT_EQ(table.Find("Stable0"), 0u);
                table.RadiusByName("W0-1");
            }
        });

    // Two registrars register, query and unregister computations by name.
    for (int registrar = 0; registrar < 2; ++registrar)
    {
        threads.emplace_back(
            [&, registrar]
            {
                start.arrive_and_wait();
                for (int round = 0; round < kRounds; ++round)
                {
                    const std::uint32_t id = (round + registrar) % kStableIds;
                    const std::string name = StableName(id);
                    computationsCreated.fetch_add(1);
                    EXPECT_TRUE(
                        registry.Register(new VTestComputeTarget(&computationsReleased, id)));
                    registry.IsRegistered(name.c_str());
                    registry.InputCountByName(name.c_str());
                    registry.InputCount(id);
                    auto* probe = new VTestTarget(nullptr, id);
                    registry.ComputeTarget(*probe);
                    probe->Destroy();
                    registry.Unregister(name.c_str());
                }
            });
    }

    for (std::thread& thread : threads)
        thread.join();

    for (std::uint32_t id = 0; id < kStableIds; ++id)
        registry.Unregister(StableName(id).c_str());
    EXPECT_EQ(table.Count(), kStableIds);
    ArborTest::ClearTargetTable();

    // Everything handed to the registries was released exactly once.
    EXPECT_EQ(targetsReleased.load(), targetsCreated.load());
    EXPECT_EQ(computationsReleased.load(), computationsCreated.load());
}
