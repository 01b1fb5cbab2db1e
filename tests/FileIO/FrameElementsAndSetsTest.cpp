#include "FileIO/VAnalogueBlock.h"
#include "FileIO/VAnalogueBlockSet.h"
#include "FileIO/VCentroid.h"
#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrack.h"
#include "FileIO/VCentroidTrackSet.h"
#include "FileIO/VEdgePair.h"
#include "FileIO/VEdgePairSet.h"

#include <gtest/gtest.h>

#include <list>
#include <vector>

namespace
{
/// A centroid set with storage unlike VCentroidSet's, to show that the copy protocol
/// carries data between implementations that do not know each other.
class VListCentroidSet : public ICentroidSet
{
public:
    void CopyTo(ICentroidSet& target) const override
    {
        const std::vector<ICentroidData> flat(m_Items.begin(), m_Items.end());
        target.SetAll(flat.empty() ? nullptr : flat.data(), Count(), m_Value, m_Name);
    }
    void SetAll(const ICentroidData* data, std::uint32_t count, double value,
                const VStringStd& name) override
    {
        m_Items.assign(data, data + count);
        m_Value = value;
        m_Name = name;
    }
    ICentroidSet& Assign(const ICentroidSet& source) override
    {
        source.CopyTo(*this);
        return *this;
    }
    std::uint32_t Count() const override { return static_cast<std::uint32_t>(m_Items.size()); }
    void Resize(std::uint32_t count) override { m_Items.resize(count); }
    bool GetItem(std::uint32_t, ICentroid&) const override { return false; }
    bool SetItem(std::uint32_t, const ICentroid&) override { return false; }
    double GetCameraValue() const override { return m_Value; }
    void SetCameraValue(double value) override { m_Value = value; }
    void GetName(VStringStd& out) const override { out = m_Name; }
    void SetName(const VStringStd& name) override { m_Name = name; }

    std::list<ICentroidData> m_Items;
    double m_Value = 0.0;
    VStringStd m_Name;
};

ICentroidData Centroid(double seed)
{
    return ICentroidData{seed, seed + 1, seed + 2, 0.5};
}
} // namespace

TEST(CentroidFamily, CopyProtocolCarriesRecordsValueAndName)
{
    // Element level: Assign pulls through the source's CopyTo.
    VCentroid a(Centroid(1.0));
    VCentroid b;
    b.Assign(static_cast<const ICentroid&>(a));
    EXPECT_EQ(b.GetY(), 2.0);
    b.SetFraction(0.25);
    a.Assign(b);
    EXPECT_EQ(a.GetData()->Fraction, 0.25);

    // Set level, across implementations and back.
    const std::vector<ICentroidData> items = {Centroid(1), Centroid(10), Centroid(100)};
    VCentroidSet set;
    set.SetAll(items.data(), 3, 4.5, VStringStd("zt:7"));
    VListCentroidSet foreign;
    foreign.Assign(set);
    ASSERT_EQ(foreign.Count(), 3u);
    EXPECT_EQ(foreign.m_Items.back().X, 100.0);
    EXPECT_EQ(foreign.m_Value, 4.5);
    EXPECT_EQ(foreign.m_Name.Str(), "zt:7");
    VCentroidSet back;
    back.Assign(foreign);
    const ICentroidData* data = nullptr;
    std::uint32_t count = 0;
    double value = 0;
    back.GetData(&data, &count, &value);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(data[1].Radius, 12.0);
    EXPECT_EQ(value, 4.5);

    // Assigning a set to itself keeps everything.
    back.Assign(static_cast<const ICentroidSetDirect&>(back));
    ASSERT_EQ(back.Count(), 3u);
    EXPECT_EQ(back.Name().Str(), "zt:7");
    back.GetData(&data, &count, nullptr);
    EXPECT_EQ(data[2].X, 100.0);

    // An empty set pushes a null array.
    VCentroidSet empty;
    empty.CopyTo(back);
    EXPECT_EQ(back.Count(), 0u);
    EXPECT_EQ(back.GetCameraValue(), 0.0);
    back.GetData(&data, nullptr, nullptr);
    EXPECT_EQ(data, nullptr);
}

TEST(CentroidFamily, ItemAccessPastTheEndFailsAndLeavesOutputsAlone)
{
    VCentroidSet set;
    set.Resize(2);
    ICentroidData* record = nullptr;
    ASSERT_TRUE(set.GetItemData(1, &record));
    EXPECT_EQ(record->X, 0.0) << "new records are zero";
    record->X = 9.0;

    VCentroid out(Centroid(5));
    EXPECT_FALSE(set.GetItem(2, out));
    EXPECT_EQ(out.GetX(), 5.0);
    EXPECT_FALSE(set.SetItem(2, out));
    EXPECT_FALSE(set.GetItemData(2, &record));
    EXPECT_EQ(record, nullptr);

    EXPECT_TRUE(set.SetItem(0, out));
    EXPECT_TRUE(set.GetItem(1, out));
    EXPECT_EQ(out.GetX(), 9.0);
    EXPECT_TRUE(set.GetItem(0, out));
    EXPECT_EQ(out.GetY(), 6.0);
}

TEST(TrackAndEdgeFamilies, DefaultsCopiesAndBounds)
{
    VCentroidTrack track;
    EXPECT_EQ(track.GetId(), -1);
    EXPECT_EQ(track.GetLength(), 0u);
    EXPECT_EQ(track.GetConfidence(), 0.0f);

    // New track records are "no track" records, not zero ones.
    VCentroidTrackSet tracks;
    tracks.Resize(2);
    ICentroidTrackData* data = nullptr;
    std::uint32_t count = 0;
    tracks.GetData(&data, &count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(data[1].Id, -1);
    data[0] = ICentroidTrackData{42, 3, 0.75f};
    tracks.SetName("zt:1");

    VCentroidTrackSet copy;
    copy.Assign(static_cast<const ICentroidTrackSet&>(tracks));
    EXPECT_TRUE(copy.GetItem(0, track));
    EXPECT_EQ(track.GetId(), 42);
    EXPECT_EQ(track.GetConfidence(), 0.75f);
    EXPECT_EQ(copy.Name(), "zt:1");
    EXPECT_FALSE(copy.GetItem(2, track));
    track.SetId(7);
    EXPECT_TRUE(copy.SetItem(1, track));
    copy.GetData(&data, nullptr);
    EXPECT_EQ(data[1].Id, 7);
    EXPECT_EQ(data[1].Length, 3u) << "the whole record is copied over";

    VEdgePairSet edges;
    edges.Resize(1);
    IEdgePairData* edge = nullptr;
    ASSERT_TRUE(edges.GetItemData(0, &edge));
    *edge = IEdgePairData{1, 2, 3};
    VEdgePairSet edgeCopy;
    edges.CopyTo(edgeCopy);
    VEdgePair pair;
    EXPECT_TRUE(edgeCopy.GetItem(0, pair));
    EXPECT_EQ(pair.GetCoord2(), 3);
    const IEdgePairData* constEdge = edge;
    EXPECT_FALSE(static_cast<const VEdgePairSet&>(edgeCopy).GetItemData(1, &constEdge));
    EXPECT_EQ(constEdge, nullptr);
}

TEST(AnalogueFamily, BlocksOwnTheirBytesAndSetsRepointAfterGrowth)
{
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    VAnalogueBlock block(IAnalogueBlockData{bytes, 5});
    ASSERT_NE(block.GetData()->Data, bytes) << "the bytes are copied";
    EXPECT_EQ(block.GetData()->Data[4], 5);
    block.Resize(0);
    EXPECT_EQ(block.GetData()->Data, nullptr);
    EXPECT_EQ(block.GetData()->Size, 0u);

    // Many appends force the byte array to move; every record must follow it.
    VAnalogueBlockSet set;
    for (std::uint32_t i = 0; i < 200; ++i)
    {
        std::vector<std::uint8_t> sample(i % 7, static_cast<std::uint8_t>(i));
        set.Append(VAnalogueBlock(IAnalogueBlockData{sample.data(), i % 7}));
    }
    ASSERT_EQ(set.Count(), 200u);
    const IAnalogueBlockData* blocks = nullptr;
    set.GetData(&blocks, nullptr);
    for (std::uint32_t i = 0; i < 200; ++i)
    {
        ASSERT_EQ(blocks[i].Size, i % 7);
        if (blocks[i].Size == 0)
        {
            EXPECT_EQ(blocks[i].Data, nullptr) << i;
            continue;
        }
        EXPECT_EQ(blocks[i].Data[blocks[i].Size - 1], static_cast<std::uint8_t>(i)) << i;
    }

    // A copy points into its own bytes; self-assignment keeps the content.
    VAnalogueBlockSet copy(set);
    const IAnalogueBlockData* copied = nullptr;
    copy.GetData(&copied, nullptr);
    EXPECT_NE(copied[1].Data, blocks[1].Data);
    EXPECT_EQ(copied[1].Data[0], 1);
    copy.Assign(static_cast<const IAnalogueBlockSetDirect&>(copy));
    copy.GetData(&copied, nullptr);
    ASSERT_EQ(copy.Count(), 200u);
    EXPECT_EQ(copied[199].Data[0], 199);

    VAnalogueBlock out;
    EXPECT_FALSE(set.GetItem(200, out));
    EXPECT_TRUE(set.GetItem(6, out));
    EXPECT_EQ(out.GetData()->Size, 6u);
}
