#include "kinematic/VComputeTargetFactory.h"

#include "ArborTestDoubles.h"
#include "kinematic/ArborTypes.h"
#include "kinematic/VTargetFactory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>

using ArborTest::VTestComputeTarget;
using ArborTest::VTestTarget;

namespace
{
constexpr std::uint32_t kTableSize = 8;

/// Fills the target table with "T0".."T7" (ids 0 to 7) so that every id a test
/// registers has a name to unregister it by; everything is unregistered and removed
/// again afterwards.
class ComputeRegistry : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ArborTest::ClearTargetTable();
        for (std::uint32_t id = 0; id < kTableSize; ++id)
            ASSERT_EQ(m_Table.Add(NameOf(id).c_str(), VStringStd(), VStringStd(), nullptr), id);
    }
    void TearDown() override
    {
        for (std::uint32_t id = 0; id < kTableSize; ++id)
            m_Registry.Unregister(NameOf(id).c_str());
        ArborTest::ClearTargetTable();
    }

    static std::string NameOf(std::uint32_t id) { return "T" + std::to_string(id); }

    IComputeTargetFactory& m_Registry = VComputeTargetFactory::Factory();
    ITargetFactory& m_Table = VTargetFactory::Factory();
    std::atomic<int> m_Released{0};
};
} // namespace

TEST_F(ComputeRegistry, RegistrationFailsForNoIdAndSucceedsOtherwise)
{
    // The companion reports no id: refused, and the computation is released.
    EXPECT_FALSE(m_Registry.Register(new VTestComputeTarget(&m_Released, Arbor::NoId)));
    EXPECT_EQ(m_Released.load(), 1);

    // Any other id is accepted, the first and the last included.
    EXPECT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, 0, 3)));
    EXPECT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, kTableSize - 1, 4)));
    EXPECT_EQ(m_Released.load(), 1);
    EXPECT_TRUE(m_Registry.IsRegistered("T0"));
    EXPECT_TRUE(m_Registry.IsRegistered("T7"));
    EXPECT_EQ(m_Registry.InputCount(0), 3u);
    EXPECT_EQ(m_Registry.InputCount(kTableSize - 1), 4u);

    // A null computation, or one without a companion, is refused.
    EXPECT_FALSE(m_Registry.Register(nullptr));
    EXPECT_FALSE(m_Registry.Register(new VTestComputeTarget(&m_Released, 2, 2, false)));
    EXPECT_EQ(m_Released.load(), 2);
    EXPECT_FALSE(m_Registry.IsRegistered("T2"));
}

TEST_F(ComputeRegistry, ComputeAndInputCountAnswerZeroWhenUnregistered)
{
    auto* probe = new VTestTarget(nullptr, 3);
    EXPECT_FALSE(m_Registry.ComputeTarget(*probe));
    EXPECT_TRUE(probe->IsOccluded());
    EXPECT_EQ(m_Registry.InputCount(3), 0u);
    EXPECT_EQ(m_Registry.InputCount(Arbor::NoId), 0u);
    EXPECT_EQ(m_Registry.InputCountByName("T3"), 0u);

    ASSERT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, 3, 5)));
    EXPECT_EQ(m_Registry.InputCount(3), 5u);
    EXPECT_EQ(m_Registry.InputCountByName("T3"), 5u);
    ASSERT_TRUE(m_Registry.ComputeTarget(*probe));
    double position[Arbor::PositionSize] = {};
    ASSERT_TRUE(probe->Position(position));
    EXPECT_EQ(position[0], 1.0);
    EXPECT_EQ(position[2], 3.0);

    // Other ids stay unregistered.
    EXPECT_EQ(m_Registry.InputCount(4), 0u);
    auto* other = new VTestTarget(nullptr, 4);
    EXPECT_FALSE(m_Registry.ComputeTarget(*other));

    // After unregistering, both answer 0 again.
    ASSERT_TRUE(m_Registry.Unregister("T3"));
    EXPECT_EQ(m_Released.load(), 1);
    EXPECT_EQ(m_Registry.InputCount(3), 0u);
    EXPECT_FALSE(m_Registry.ComputeTarget(*probe));
    probe->Destroy();
    other->Destroy();
}

TEST_F(ComputeRegistry, NamesResolveThroughTheTargetTable)
{
    ASSERT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, 5, 2)));
    EXPECT_TRUE(m_Registry.IsRegistered("T5"));
    EXPECT_EQ(m_Registry.InputCountByName("T5"), 2u);

    // Unknown names, prefixes and null find nothing and unregister nothing.
    for (const char* unknown : {"T", "T55", "t5", "", "Nobody"})
    {
        SCOPED_TRACE(unknown);
        EXPECT_FALSE(m_Registry.IsRegistered(unknown));
        EXPECT_EQ(m_Registry.InputCountByName(unknown), 0u);
        EXPECT_FALSE(m_Registry.Unregister(unknown));
    }
    EXPECT_FALSE(m_Registry.IsRegistered(nullptr));
    EXPECT_FALSE(m_Registry.Unregister(nullptr));
    // A known name whose id has no computation.
    EXPECT_FALSE(m_Registry.IsRegistered("T4"));
    EXPECT_FALSE(m_Registry.Unregister("T4"));
    EXPECT_EQ(m_Released.load(), 0);

    EXPECT_TRUE(m_Registry.Unregister("T5"));
    EXPECT_EQ(m_Released.load(), 1);
    EXPECT_FALSE(m_Registry.IsRegistered("T5"));
    EXPECT_FALSE(m_Registry.Unregister("T5"));

    // Registrations follow ids, not names: removing an earlier entry of the table moves
    // "T6" to id 5, which has no computation, while id 6 now names "T7".
    ASSERT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, 6, 1)));
    EXPECT_TRUE(m_Registry.IsRegistered("T6"));
    ASSERT_TRUE(m_Table.Remove("T0"));
    EXPECT_FALSE(m_Registry.IsRegistered("T6"));
    EXPECT_TRUE(m_Registry.IsRegistered("T7"));
    EXPECT_TRUE(m_Registry.Unregister("T7"));
    ASSERT_EQ(m_Table.Add("T0", VStringStd(), VStringStd(), nullptr), kTableSize - 1);
}

TEST_F(ComputeRegistry, ReRegisteringAnIdReplacesAndReleasesTheEarlierComputation)
{
    auto* first = new VTestComputeTarget(&m_Released, 1, 1);
    ASSERT_TRUE(m_Registry.Register(first));
    // The same object again: nothing is released.
    ASSERT_TRUE(m_Registry.Register(first));
    EXPECT_EQ(m_Released.load(), 0);
    EXPECT_EQ(m_Registry.InputCount(1), 1u);

    ASSERT_TRUE(m_Registry.Register(new VTestComputeTarget(&m_Released, 1, 9)));
    EXPECT_EQ(m_Released.load(), 1);
    EXPECT_EQ(m_Registry.InputCount(1), 9u);
}

TEST_F(ComputeRegistry, ComputationsMayCallBackIntoTheRegistries)
{
    ArborTest::RunOrAbort("Callbacks into the compute registry",
                          [&]
                          {
                              auto* curious = new VTestComputeTarget(&m_Released, 2, 6);
                              curious->m_OnInputCount = [&]
                              {
                                  EXPECT_TRUE(m_Registry.IsRegistered("T2"));
                                  EXPECT_EQ(m_Table.Find("T2"), 2u);
                              };
                              ASSERT_TRUE(m_Registry.Register(curious));
                              EXPECT_EQ(m_Registry.InputCountByName("T2"), 6u);
                              EXPECT_EQ(m_Registry.InputCount(2), 6u);
                          });
}
