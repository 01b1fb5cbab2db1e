#include "FileIO/VAnalogueBlockDataHolder.h"
#include "FileIO/VAnalogueBlockSet.h"
#include "FileIO/VCameraFrameInfoDataHolder.h"
#include "FileIO/VCentroidDataHolder.h"
#include "FileIO/VCentroidSet.h"
#include "FileIO/VCentroidTrackDataHolder.h"
#include "FileIO/VCentroidTrackSet.h"
#include "FileIO/VEdgeDataHolder.h"
#include "FileIO/VEdgePairSet.h"
#include "FileIO/VFrameInfoDataHolder.h"
#include "FileIO/VGreyscaleBlobDataHolder.h"
#include "FileIO/VGreyscaleBlobSet.h"
#include "FileIO/VMemoryBinaryStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
/// Reads a data block the way the trial readers do: items while the position is inside the
/// block and the holder says another may follow. Returns the number of ReadItem calls; the
/// loop is capped so that a holder that never stops fails the test instead of hanging it.
std::size_t ReadBlock(IDataHolder& holder, const std::vector<std::uint8_t>& bytes,
                      const VDataFieldList& fields)
{
    VMemoryInputStream in(bytes.data(), bytes.size());
    std::size_t calls = 0;
    while (in.Tell() < bytes.size() && calls <= bytes.size())
    {
        ++calls;
        if (!holder.ReadItem(in, fields))
        {
            break;
        }
    }
    EXPECT_LE(calls, bytes.size()) << "every item that lets the loop go on consumed bytes";
    return calls;
}

std::vector<std::uint8_t> Written(IDataHolder& holder)
{
    VMemoryOutputStream out;
    EXPECT_TRUE(holder.WriteItems(out));
    return out.GetBytes();
}
} // namespace

TEST(DataHolder, NoCopyingHoldersAppendStraightIntoTheirTargetSets)
{
    const VDataFormatInfo format = DefaultFormats::MakeCentroids(1024, 1024);
    VCentroidSet source;
    source.Resize(3);
    for (std::uint32_t i = 0; i < 3; ++i)
    {
        ICentroidData* record = nullptr;
        source.GetItemData(i, &record);
        *record = ICentroidData{i * 64.0, i * 32.0, 2.0, 0.5};
    }
    VCentroidDataHolder writer(1024, 1024);
    writer.SetTarget(&source);
    EXPECT_EQ(writer.GetFormat(), format);
    const std::vector<std::uint8_t> bytes = Written(writer);
    EXPECT_EQ(bytes.size(), 3u * 11);

    // Into a set that already holds a stale item: Clear first, as the reader does.
    VCentroidSet target;
    target.Resize(1);
    target.SetCameraValue(7.0);
    VCentroidDataHolder reader;
    reader.SetTarget(&target);
    reader.Clear();
    EXPECT_EQ(reader.GetCount(), 0u);
    EXPECT_EQ(target.GetCameraValue(), 7.0) << "Clear only removes the items";
    EXPECT_EQ(ReadBlock(reader, bytes, format.GetFields()), 3u);
    ASSERT_EQ(reader.GetCount(), 3u);
    const ICentroidData* records = nullptr;
    target.GetData(&records, nullptr, nullptr);
    EXPECT_EQ(records[2].X, 128.0);
    EXPECT_EQ(records[1].Y, 32.0);
    EXPECT_EQ(records[0].Fraction, 0.5);

    // Without a target the items are decoded and dropped.
    reader.SetTarget(nullptr);
    EXPECT_EQ(ReadBlock(reader, bytes, format.GetFields()), 3u);
    EXPECT_EQ(reader.GetCount(), 0u);
    EXPECT_EQ(target.Count(), 3u);

    // Tracks and edges round trip through their holders.
    VCentroidTrackSet tracks;
    tracks.Resize(2);
    ICentroidTrackData* track = nullptr;
    tracks.GetData(&track, nullptr);
    track[1] = ICentroidTrackData{99, 4, 0.5f};
    VCentroidTrackDataHolder trackHolder;
    trackHolder.SetTarget(&tracks);
    const std::vector<std::uint8_t> trackBytes = Written(trackHolder);
    VCentroidTrackSet trackCopy;
    trackHolder.SetTarget(&trackCopy);
    ReadBlock(trackHolder, trackBytes, trackHolder.GetFormat().GetFields());
    ASSERT_EQ(trackCopy.Count(), 2u);
    trackCopy.GetData(&track, nullptr);
    EXPECT_EQ(track[0].Id, -1);
    EXPECT_EQ(track[1].Id, 99);

    VEdgePairSet edges;
    edges.SetAll(std::vector<IEdgePairData>{{1, 2, 3}, {4, 5, 6}}.data(), 2, "e");
    VEdgeDataHolder edgeHolder;
    edgeHolder.SetTarget(&edges);
    const std::vector<std::uint8_t> edgeBytes = Written(edgeHolder);
    EXPECT_EQ(edgeBytes.size(), 12u);
    VEdgePairSet edgeCopy;
    edgeHolder.SetTarget(&edgeCopy);
    ReadBlock(edgeHolder, edgeBytes, edgeHolder.GetFormat().GetFields());
    const IEdgePairData* edge = nullptr;
    ASSERT_TRUE(edgeCopy.GetItemData(1, &edge));
    EXPECT_EQ(edge->Coord1, 5);
}

TEST(DataHolder, ItemsThatCannotProgressEndTheBlock)
{
    const std::vector<std::uint8_t> bytes(40, 0x11);
    VCentroidSet set;
    VCentroidDataHolder holder;
    holder.SetTarget(&set);

    // Fields that occupy no bytes: one call, nothing kept.
    VDataFormatInfo empty(0xDFAA);
    empty.AddField(0xAA00, 0);
    empty.AddField(0x1234, 0);
    EXPECT_EQ(ReadBlock(holder, bytes, empty.GetFields()), 1u);
    EXPECT_EQ(set.Count(), 0u);
    EXPECT_EQ(ReadBlock(holder, bytes, VDataFieldList{}), 1u);
    EXPECT_EQ(set.Count(), 0u);

    // A malformed field: the item stops, the block ends.
    VDataFormatInfo noScale(0xDFAA);
    noScale.AddFieldWithScale(0xAA00, 1, 1.0f);
    noScale.AddField(0xAA01, 1);
    EXPECT_EQ(ReadBlock(holder, bytes, noScale.GetFields()), 1u);
    ASSERT_EQ(set.Count(), 1u) << "the record keeps what was decoded before the bad field";
    ICentroidData* record = nullptr;
    set.GetItemData(0, &record);
    EXPECT_EQ(record->X, 17.0);

    // The same for a single holder and a greyscale one.
    VCameraFrameInfoDataHolder info;
    EXPECT_EQ(ReadBlock(info, bytes, VDataFieldList{}), 1u);
    VGreyscaleBlobSet blobs;
    VGreyscaleBlobDataHolder blobHolder;
    blobHolder.SetTarget(&blobs);
    const VDataFieldList shortVariable = {
        VDataFormatField{0x9999, VDataFormatField::kVariableSize, {}}};
    std::vector<std::uint8_t> lengthTwo(40, 0);
    lengthTwo[0] = 2;
    EXPECT_EQ(ReadBlock(blobHolder, lengthTwo, shortVariable), 1u);
    EXPECT_EQ(blobs.Count(), 0u);
}

TEST(DataHolder, CopyingHoldersAppendOnlyCleanItemsAndClearWholeSets)
{
    const std::uint8_t pixels[] = {5, 6, 7};
    const IGreyscaleLineData lines[] = {{1, 2, pixels, 3}};
    VGreyscaleBlobSet source;
    source.AppendData(IGreyscaleBlobData{lines, 1, 1});
    source.AppendData(IGreyscaleBlobData{nullptr, 0, 0});
    VGreyscaleBlobDataHolder holder;
    holder.SetTarget(&source);
    const std::vector<std::uint8_t> bytes = Written(holder);

    VGreyscaleBlobSet target;
    target.AppendData(IGreyscaleBlobData{lines, 1, 0});
    target.SetInfoByte(9);
    target.SetName("zt:4");
    holder.SetTarget(&target);
    holder.Clear();
    EXPECT_EQ(target.Count(), 0u);
    EXPECT_EQ(target.GetInfoByte(), 0);
    EXPECT_EQ(target.Name().Str(), "");
    EXPECT_EQ(ReadBlock(holder, bytes, holder.GetFormat().GetFields()), 2u);
    ASSERT_EQ(holder.GetCount(), 2u);
    const IGreyscaleBlobData* blob = nullptr;
    target.GetItemData(0, &blob);
    EXPECT_EQ(blob->BlobFlag, 1);
    EXPECT_EQ(blob->Lines[0].Pixels[2], 7);
    target.GetItemData(1, &blob);
    EXPECT_EQ(blob->Lines, nullptr);

    // A blob cut short is not appended.
    holder.Clear();
    const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 10);
    EXPECT_EQ(ReadBlock(holder, cut, holder.GetFormat().GetFields()), 1u);
    EXPECT_EQ(target.Count(), 0u);

    // Analogue blocks likewise.
    VAnalogueBlockSet blocks;
    blocks.AppendData(IAnalogueBlockData{pixels, 3});
    blocks.AppendData(IAnalogueBlockData{nullptr, 0});
    VAnalogueBlockDataHolder blockHolder;
    blockHolder.SetTarget(&blocks);
    const std::vector<std::uint8_t> blockBytes = Written(blockHolder);
    EXPECT_EQ(blockBytes.size(), 11u + 8);
    VAnalogueBlockSet blockCopy;
    blockCopy.SetName("old");
    blockHolder.SetTarget(&blockCopy);
    blockHolder.Clear();
    EXPECT_EQ(blockCopy.Name().Str(), "");
    EXPECT_EQ(ReadBlock(blockHolder, blockBytes, blockHolder.GetFormat().GetFields()), 2u);
    ASSERT_EQ(blockCopy.Count(), 2u);
    const IAnalogueBlockData* block = nullptr;
    blockCopy.GetItemData(0, &block);
    EXPECT_EQ(block->Data[1], 6);
    blockCopy.GetItemData(1, &block);
    EXPECT_EQ(block->Data, nullptr);
    const std::vector<std::uint8_t> blockCut(blockBytes.begin(), blockBytes.begin() + 10);
    blockHolder.Clear();
    ReadBlock(blockHolder, blockCut, blockHolder.GetFormat().GetFields());
    EXPECT_EQ(blockCopy.Count(), 0u);
}

TEST(DataHolder, SingleHoldersHoldOneItem)
{
    VCameraFrameInfoDataHolder info;
    EXPECT_EQ(info.GetCount(), 1u);
    info.SetInfoByte(0x3C);
    const std::vector<std::uint8_t> bytes = Written(info);
    ASSERT_EQ(bytes, std::vector<std::uint8_t>{0x3C});
    info.SetInfoByte(0);
    info.Clear();
    VMemoryInputStream in(bytes);
    EXPECT_TRUE(info.ReadItem(in, info.GetFormat().GetFields()));
    EXPECT_EQ(info.GetInfoByte(), 0x3C);
    info.Clear();
    EXPECT_EQ(info.GetInfoByte(), 0x3C) << "Clear leaves a single holder alone";

    // The frame info of a list without fields: nothing read, the stream stays where it was.
    VFrameInfoDataHolder frameInfo;
    EXPECT_EQ(frameInfo.GetFormat().GetFormatId(), 0xFDDF);
    VMemoryInputStream none(bytes);
    EXPECT_FALSE(frameInfo.ReadItem(none, frameInfo.GetFormat().GetFields()));
    EXPECT_TRUE(none.IsGood());
    EXPECT_EQ(none.Tell(), 0u);
    EXPECT_TRUE(Written(frameInfo).empty());
}
