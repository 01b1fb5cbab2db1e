#include "kinematic/VTargetFactory.h"

#include "ArborTestDoubles.h"
#include "kinematic/ArborTypes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

using ArborTest::VTestTarget;

namespace
{
class TargetTable : public ::testing::Test
{
protected:
    void SetUp() override { ArborTest::ClearTargetTable(); }
    void TearDown() override { ArborTest::ClearTargetTable(); }

    std::uint32_t Add(const char* name, const char* segment = "", const char* description = "",
                      double radius = 0.0)
    {
        return m_Table.Add(name, VStringStd(segment), VStringStd(description),
                           new VTestTarget(&m_Released, Arbor::NoId, radius));
    }

    ITargetFactory& m_Table = VTargetFactory::Factory();
    std::atomic<int> m_Released{0};
};

std::string NameAt(const ITargetFactory& table, std::uint32_t index)
{
    VStringStd name;
    return table.Name(index, name) ? name.Str() : "<out of range>";
}
} // namespace

TEST_F(TargetTable, AddingANameTwiceReturnsTheFirstIndexAndChangesNothing)
{
    ASSERT_EQ(Add("LASI", "Pelvis"), 0u);
    ASSERT_EQ(Add("LKNE", "LeftThigh", "lateral knee", 7.0), 1u);

    std::atomic<int> secondReleased{0};
    const std::uint32_t again = m_Table.Add("LKNE", VStringStd("RightThigh"), VStringStd("other"),
                                            new VTestTarget(&secondReleased, Arbor::NoId, 14.0));
    EXPECT_EQ(again, 1u);
    EXPECT_EQ(m_Table.Count(), 2u);

    VStringStd text;
    ASSERT_TRUE(m_Table.Segment(1, text));
    EXPECT_EQ(text.Str(), "LeftThigh");
    ASSERT_TRUE(m_Table.Description(1, text));
    EXPECT_EQ(text.Str(), "lateral knee");
    EXPECT_EQ(m_Table.Radius(1), 7.0);

    // The table took the rejected target and released it at once; the kept one lives.
    EXPECT_EQ(secondReleased.load(), 1);
    EXPECT_EQ(m_Released.load(), 0);

    // Re-adding the object an entry already holds must not release it.
    std::atomic<int> sharedReleased{0};
    auto* shared = new VTestTarget(&sharedReleased, Arbor::NoId, 3.0);
    ASSERT_EQ(m_Table.Add("RKNE", VStringStd(), VStringStd(), shared), 2u);
    EXPECT_EQ(m_Table.Add("RKNE", VStringStd(), VStringStd(), shared), 2u);
    EXPECT_EQ(sharedReleased.load(), 0);
    EXPECT_EQ(m_Table.RadiusByName("RKNE"), 3.0);
}

TEST_F(TargetTable, RemovalShiftsLaterIdsDownAndReleasesTheTarget)
{
    Add("A");
    Add("B");
    Add("C");
    Add("D");

    ASSERT_TRUE(m_Table.Remove("B"));
    EXPECT_EQ(m_Released.load(), 1);
    EXPECT_EQ(m_Table.Count(), 3u);
    EXPECT_EQ(m_Table.Find("A"), 0u);
    EXPECT_EQ(m_Table.Find("C"), 1u);
    EXPECT_EQ(m_Table.Find("D"), 2u);
    EXPECT_EQ(NameAt(m_Table, 1), "C");
    EXPECT_FALSE(m_Table.Contains("B"));

    // Absent names are refused and change nothing.
    EXPECT_FALSE(m_Table.Remove("B"));
    EXPECT_FALSE(m_Table.Remove(nullptr));
    EXPECT_EQ(m_Table.Count(), 3u);

    // A new entry goes to the end, with the next free id.
    EXPECT_EQ(Add("B"), 3u);
}

TEST_F(TargetTable, OneObjectUnderTwoNamesIsReleasedOnceWhenTheLastEntryGoes)
{
    auto* target = new VTestTarget(&m_Released, Arbor::NoId, 5.0);
    ASSERT_EQ(m_Table.Add("First", VStringStd(), VStringStd(), target), 0u);
    ASSERT_EQ(m_Table.Add("Second", VStringStd(), VStringStd(), target), 1u);
    ASSERT_TRUE(m_Table.Remove("First"));
    EXPECT_EQ(m_Released.load(), 0);
    EXPECT_EQ(m_Table.RadiusByName("Second"), 5.0);
    ASSERT_TRUE(m_Table.Remove("Second"));
    EXPECT_EQ(m_Released.load(), 1);
}

TEST_F(TargetTable, AnIndexEqualToTheCountIsOutOfRangeForEveryIndexedOperation)
{
    Add("A", "SegA", "DescA", 2.0);
    Add("B", "SegB", "DescB", 4.0);
    const std::uint32_t count = m_Table.Count();
    ASSERT_EQ(count, 2u);

    VStringStd text("untouched");
    for (std::uint32_t index : {count, count + 1, Arbor::NoId})
    {
        SCOPED_TRACE(index);
        EXPECT_FALSE(m_Table.Name(index, text));
        EXPECT_FALSE(m_Table.Segment(index, text));
        EXPECT_FALSE(m_Table.Description(index, text));
        EXPECT_FALSE(m_Table.SetSegment(index, VStringStd("x")));
        EXPECT_FALSE(m_Table.SetDescription(index, VStringStd("x")));
        EXPECT_EQ(m_Table.Radius(index), 0.0);
    }
    EXPECT_EQ(text.Str(), "untouched");
    EXPECT_EQ(m_Table.Count(), count);

    // The last valid index works for every operation, setters included.
    const std::uint32_t last = count - 1;
    EXPECT_TRUE(m_Table.SetSegment(last, VStringStd("NewSeg")));
    EXPECT_TRUE(m_Table.SetDescription(last, VStringStd("NewDesc")));
    ASSERT_TRUE(m_Table.Name(last, text));
    EXPECT_EQ(text.Str(), "B");
    ASSERT_TRUE(m_Table.SegmentByName("B", text));
    EXPECT_EQ(text.Str(), "NewSeg");
    ASSERT_TRUE(m_Table.DescriptionByName("B", text));
    EXPECT_EQ(text.Str(), "NewDesc");
    EXPECT_EQ(m_Table.Radius(last), 4.0);

    // An empty table has no index 0.
    ArborTest::ClearTargetTable();
    EXPECT_FALSE(m_Table.Name(0, text));
    EXPECT_FALSE(m_Table.SetSegment(0, VStringStd("x")));
    EXPECT_EQ(m_Table.Radius(0), 0.0);
}

TEST_F(TargetTable, NamesMatchExactlyAndWholly)
{
    Add("LKNE", "LeftThigh", "", 6.5);

    EXPECT_EQ(m_Table.Find("LKNE"), 0u);
    // A prefix, an extension, another case and the empty name are other names.
    for (const char* other : {"LKN", "L", "", "LKNEE", "lkne", "LKNE "})
    {
        SCOPED_TRACE(other);
        EXPECT_EQ(m_Table.Find(other), Arbor::NoId);
        EXPECT_FALSE(m_Table.Contains(other));
        VStringStd text;
        EXPECT_FALSE(m_Table.SegmentByName(other, text));
        EXPECT_FALSE(m_Table.DescriptionByName(other, text));
        EXPECT_EQ(m_Table.RadiusByName(other), 0.0);
        EXPECT_FALSE(m_Table.Remove(other));
    }
    EXPECT_EQ(m_Table.Find(nullptr), Arbor::NoId);
    EXPECT_EQ(m_Table.Count(), 1u);
    EXPECT_EQ(m_Table.RadiusByName("LKNE"), 6.5);
}

TEST_F(TargetTable, EntriesWithoutATargetAndBadNamesAreHandled)
{
    // An entry may carry no target object: its radius reads 0.
    ASSERT_EQ(m_Table.Add("Bare", VStringStd("Seg"), VStringStd(), nullptr), 0u);
    EXPECT_EQ(m_Table.Radius(0), 0.0);
    EXPECT_EQ(m_Table.RadiusByName("Bare"), 0.0);
    EXPECT_TRUE(m_Table.Remove("Bare"));

    // A null name adds nothing, and the target handed over is still released.
    EXPECT_EQ(
        m_Table.Add(nullptr, VStringStd(), VStringStd(), new VTestTarget(&m_Released, Arbor::NoId)),
        Arbor::NoId);
    EXPECT_EQ(m_Table.Count(), 0u);
    EXPECT_EQ(m_Released.load(), 1);
}

TEST_F(TargetTable, UserCodeMayCallBackIntoTheTable)
{
    ArborTest::RunOrAbort(
        "Callbacks into the target table",
        [&]
        {
            // A target that reads the table from inside Radius(), on the same thread.
            auto* curious = new VTestTarget(&m_Released, Arbor::NoId, 9.0);
            curious->m_OnRadius = [&] { EXPECT_EQ(m_Table.Find("Curious"), 0u); };
            ASSERT_EQ(m_Table.Add("Curious", VStringStd(), VStringStd(), curious), 0u);
            EXPECT_EQ(m_Table.Radius(0), 9.0);

            // A target whose release waits for another thread that uses the table: it
            // must be released after the table's lock is dropped.
            auto* waiting = new VTestTarget(&m_Released);
            waiting->m_OnDestroy = [&]
            {
                std::thread other([&] { EXPECT_EQ(m_Table.Find("Curious"), 0u); });
                other.join();
            };
            ASSERT_EQ(m_Table.Add("Waiting", VStringStd(), VStringStd(), waiting), 1u);
            EXPECT_TRUE(m_Table.Remove("Waiting"));
            EXPECT_EQ(m_Released.load(), 1);
        });
}
