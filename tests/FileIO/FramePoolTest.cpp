#include "FileIO/VAnalogueBlockFrame.h"
#include "FileIO/VCentroidFrame.h"
#include "FileIO/VCentroidTrackFrame.h"
#include "FileIO/VEdgePairFrame.h"
#include "FileIO/VGreyscaleBlobFrame.h"

#include <gtest/gtest.h>

namespace
{
/// Fills set `index` of a centroid frame with one centroid and a name.
void Fill(VCentroidFrame& frame, std::uint32_t index, double x, const char* name)
{
    ICentroidSetDirect* set = frame.GetSetDirect(index);
    set->Resize(1);
    ICentroidData* record = nullptr;
    set->GetItemData(0, &record);
    record->X = x;
    set->SetCameraValue(x);
    set->SetName(name);
}

/// Checks that a pooled set came back as a new one would be.
void ExpectCleared(const VCentroidSet* set)
{
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Count(), 0u);
    EXPECT_EQ(set->GetCameraValue(), 0.0);
    EXPECT_EQ(set->Name().Str(), "");
}
} // namespace

TEST(FramePool, ShrinkingAndRegrowingReusesTheSameClearedSets)
{
    VCentroidFrame frame;
    frame.Resize(3);
    Fill(frame, 0, 1.0, "a");
    Fill(frame, 1, 2.0, "b");
    Fill(frame, 2, 3.0, "c");
    const ICentroidSetDirect* second = frame.GetSetDirect(1);
    const ICentroidSetDirect* third = frame.GetSetDirect(2);

    frame.Resize(1);
    EXPECT_EQ(frame.Count(), 1u);
    EXPECT_EQ(frame.PoolSize(), 3u) << "the pool never shrinks";
    EXPECT_EQ(frame.GetSetDirect(1), nullptr) << "sets beyond the count are not handed out";
    EXPECT_EQ(frame.GetSetDirect(0)->Count(), 1u) << "sets in use keep their items";

    frame.Resize(4);
    EXPECT_EQ(frame.PoolSize(), 4u);
    EXPECT_EQ(frame.GetSetDirect(1), second);
    EXPECT_EQ(frame.GetSetDirect(2), third);
    ExpectCleared(frame.GetSetDirect(1));
    ExpectCleared(frame.GetSetDirect(2));
    ExpectCleared(frame.GetSetDirect(3));
}

TEST(FramePool, EraseClosesUpAndParksTheClearedSetBehind)
{
    VCentroidFrame frame;
    frame.Resize(3);
    Fill(frame, 0, 1.0, "a");
    Fill(frame, 1, 2.0, "b");
    Fill(frame, 2, 3.0, "c");
    const ICentroidSetDirect* first = frame.GetSetDirect(0);
    const ICentroidSetDirect* second = frame.GetSetDirect(1);
    const ICentroidSetDirect* third = frame.GetSetDirect(2);

    frame.Erase(0);
    ASSERT_EQ(frame.Count(), 2u);
    EXPECT_EQ(frame.GetSetDirect(0), second);
    EXPECT_EQ(frame.GetSetDirect(1), third);
    EXPECT_EQ(frame.GetSetDirect(0)->GetCameraValue(), 2.0);
    EXPECT_EQ(frame.GetSetDirect(1)->GetCameraValue(), 3.0);
    frame.Resize(3);
    EXPECT_EQ(frame.GetSetDirect(2), first);
    ExpectCleared(frame.GetSetDirect(2));

    frame.Erase(3);
    frame.Erase(99);
    EXPECT_EQ(frame.Count(), 3u) << "an index past the count is ignored";
    frame.Erase(2);
    frame.Erase(1);
    frame.Erase(0);
    EXPECT_EQ(frame.Count(), 0u);
    EXPECT_EQ(frame.PoolSize(), 3u);
}

TEST(FramePool, FramesCopyThroughTheirInterfaces)
{
    VCentroidFrame source;
    source.Resize(2);
    Fill(source, 0, 5.0, "zt:1");
    Fill(source, 1, 6.0, "zt:2");

    VCentroidFrame target;
    target.Resize(5);
    source.CopyTo(target);
    ASSERT_EQ(target.Count(), 2u);
    EXPECT_NE(target.GetSetDirect(0), source.GetSetDirect(0));
    EXPECT_EQ(target.GetSetDirect(1)->Name().Str(), "zt:2");
    const ICentroidFrame& asInterface = source;
    VCentroidFrame constructed(asInterface);
    EXPECT_EQ(constructed.GetSetDirect(0)->GetCameraValue(), 5.0);
    VCentroidSet out;
    EXPECT_TRUE(constructed.GetSet(1, out));
    EXPECT_EQ(out.Name().Str(), "zt:2");
    EXPECT_FALSE(constructed.GetSet(2, out));
    EXPECT_FALSE(constructed.SetSet(2, out));

    // Tracks pull with Assign; the other pooled frames behave as the centroid frame.
    VCentroidTrackFrame tracks;
    tracks.Resize(2);
    tracks.GetSetDirect(1)->Resize(3);
    tracks.GetSetDirect(1)->SetName("zt:9");
    VCentroidTrackFrame trackCopy;
    tracks.CopyTo(trackCopy);
    ASSERT_EQ(trackCopy.Count(), 2u);
    EXPECT_EQ(trackCopy.GetSetDirect(1)->Count(), 3u);
    EXPECT_EQ(trackCopy.GetSetDirect(1)->Name(), "zt:9");
    const ICentroidTrackSet* kept = trackCopy.GetSetDirect(1);
    trackCopy.Resize(1);
    trackCopy.Resize(2);
    EXPECT_EQ(trackCopy.GetSetDirect(1), kept);
    EXPECT_EQ(kept->Count(), 0u);

    VGreyscaleBlobFrame greyscale;
    greyscale.Resize(2);
    greyscale.GetSetDirect(0)->SetInfoByte(3);
    greyscale.GetSetDirect(1)->SetInfoByte(4);
    const VGreyscaleBlobSet* former = greyscale.GetSetDirect(0);
    greyscale.Erase(0);
    EXPECT_EQ(greyscale.GetSetDirect(0)->GetInfoByte(), 4);
    greyscale.Resize(2);
    EXPECT_EQ(greyscale.GetSetDirect(1), former);
    EXPECT_EQ(former->GetInfoByte(), 0) << "cleared sets lose their info byte";

    VEdgePairFrame edges;
    edges.Resize(1);
    edges.GetSetDirect(0)->Resize(2);
    VEdgePairFrame edgeCopy(edges);
    EXPECT_EQ(edgeCopy.GetSetDirect(0)->Count(), 2u);
}

TEST(AnalogueFrame, KeepsSetsByValueAndCopiesDeeply)
{
    VAnalogueBlockFrame frame;
    frame.Resize(2);
    const std::uint8_t bytes[] = {9, 8, 7};
    frame.GetSetDirect(1)->AppendData(IAnalogueBlockData{bytes, 3});
    frame.GetSetDirect(1)->SetName("sync");
    // Growing moves the sets inside the vector; their records must still point at their bytes.
    frame.Resize(50);
    const IAnalogueBlockData* block = nullptr;
    ASSERT_TRUE(frame.GetSetDirect(1)->GetItemData(0, &block));
    EXPECT_EQ(block->Data[2], 7);

    VAnalogueBlockFrame copy(frame);
    ASSERT_EQ(copy.Count(), 50u);
    const IAnalogueBlockData* copied = nullptr;
    ASSERT_TRUE(copy.GetSetDirect(1)->GetItemData(0, &copied));
    EXPECT_NE(copied->Data, block->Data);
    EXPECT_EQ(copied->Data[0], 9);
    EXPECT_EQ(copy.GetSetDirect(1)->Name().Str(), "sync");
    frame.Resize(1);
    EXPECT_EQ(frame.GetSetDirect(1), nullptr);
    EXPECT_EQ(copied->Data[1], 8);
}
