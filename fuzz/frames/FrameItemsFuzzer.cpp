// libFuzzer entry for the data holders: arbitrary bytes become a field list and a block of
// items, read the way the trial readers read a data block. Whatever the input, decoding must
// stay inside the bytes, end without looping, leave every set's records pointing into the
// set's own storage, and what it decoded must survive a write and a read with the default
// format unchanged.
#include "FileIO/DefaultFormats.h"
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

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

void Check(bool condition)
{
    if (!condition)
    {
        __builtin_trap();
    }
}

/// Reads a block as the readers do; traps when the holder keeps going without progress.
void ReadBlock(IDataHolder& holder, IBinaryInputStream& in, const VDataFieldList& fields)
{
    const std::uint64_t end = in.Size();
    std::uint64_t calls = 0;
    while (in.Tell() < end)
    {
        Check(++calls <= end);
        const std::uint64_t before = in.Tell();
        if (!holder.ReadItem(in, fields))
        {
            break;
        }
        Check(in.Tell() > before);
    }
    Check(in.Tell() <= end);
}

std::vector<std::uint8_t> WriteAll(IDataHolder& holder)
{
    VMemoryOutputStream out;
    Check(holder.WriteItems(out));
    return out.GetBytes();
}

/// Reads bytes written with the holder's own format back with that format: every item must
/// come back whole, and nothing may be left over.
void ReadBackAll(IDataHolder& holder, const std::vector<std::uint8_t>& bytes)
{
    VMemoryInputStream in(bytes.data(), bytes.size());
    ReadBlock(holder, in, holder.GetFormat().GetFields());
    Check(in.IsGood());
    Check(in.Tell() == bytes.size());
}

/// Every blob's lines and pixels lie in the set's storage, back to back; reading every pixel
/// lets AddressSanitizer see a stale pointer.
void CheckGreyscaleLayout(const VGreyscaleBlobSet& set)
{
    const IGreyscaleBlobData* blobs = nullptr;
    std::uint32_t count = 0;
    set.GetData(&blobs, &count, nullptr);
    std::size_t lines = 0;
    std::size_t pixels = 0;
    unsigned checksum = 0;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        Check((blobs[i].Lines == nullptr) == (blobs[i].LineCount == 0));
        Check(blobs[i].BlobFlag <= 1);
        for (std::uint16_t l = 0; l < blobs[i].LineCount; ++l)
        {
            const IGreyscaleLineData& line = blobs[i].Lines[l];
            Check((line.Pixels == nullptr) == (line.PixelCount == 0));
            for (std::uint16_t p = 0; p < line.PixelCount; ++p)
            {
                checksum += line.Pixels[p];
            }
            pixels += line.PixelCount;
        }
        lines += blobs[i].LineCount;
    }
    Check(lines == set.LineStorageSize());
    Check(pixels == set.PixelStorageSize());
    (void)checksum;
}

bool SameBlobs(const VGreyscaleBlobSet& a, const VGreyscaleBlobSet& b)
{
    const IGreyscaleBlobData* x = nullptr;
    const IGreyscaleBlobData* y = nullptr;
    std::uint32_t countX = 0;
    std::uint32_t countY = 0;
    a.GetData(&x, &countX, nullptr);
    b.GetData(&y, &countY, nullptr);
    if (countX != countY)
    {
        return false;
    }
    for (std::uint32_t i = 0; i < countX; ++i)
    {
        if (x[i].LineCount != y[i].LineCount || x[i].BlobFlag != y[i].BlobFlag)
        {
            return false;
        }
        for (std::uint16_t l = 0; l < x[i].LineCount; ++l)
        {
            const IGreyscaleLineData& p = x[i].Lines[l];
            const IGreyscaleLineData& q = y[i].Lines[l];
            if (p.Coord0 != q.Coord0 || p.Coord1 != q.Coord1 || p.PixelCount != q.PixelCount ||
                (p.PixelCount > 0 && std::memcmp(p.Pixels, q.Pixels, p.PixelCount) != 0))
            {
                return false;
            }
        }
    }
    return true;
}

template <typename Record>
bool SameRecords(const Record* a, std::uint32_t countA, const Record* b, std::uint32_t countB)
{
    return countA == countB && (countA == 0 || std::memcmp(a, b, countA * sizeof(Record)) == 0);
}

void FuzzCentroids(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VCentroidSet set;
    VCentroidDataHolder holder(1024, 768);
    holder.SetTarget(&set);
    ReadBlock(holder, in, fields);
    // Decoded values need not lie on the default grid; once written they do, and then a
    // second write must repeat the first exactly.
    const std::vector<std::uint8_t> first = WriteAll(holder);
    VCentroidSet again;
    holder.SetTarget(&again);
    ReadBackAll(holder, first);
    Check(again.Count() == set.Count());
    Check(WriteAll(holder) == first);
}

void FuzzTracks(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VCentroidTrackSet set;
    VCentroidTrackDataHolder holder;
    holder.SetTarget(&set);
    ReadBlock(holder, in, fields);
    const std::vector<std::uint8_t> bytes = WriteAll(holder);
    VCentroidTrackSet again;
    holder.SetTarget(&again);
    ReadBackAll(holder, bytes);
    const ICentroidTrackData* a = nullptr;
    const ICentroidTrackData* b = nullptr;
    std::uint32_t countA = 0;
    std::uint32_t countB = 0;
    set.GetData(&a, &countA);
    again.GetData(&b, &countB);
    Check(countA == countB);
    for (std::uint32_t i = 0; i < countA; ++i)
    {
        Check(a[i].Id == b[i].Id && a[i].Length == b[i].Length &&
              std::memcmp(&a[i].Confidence, &b[i].Confidence, sizeof(float)) == 0);
    }
}

void FuzzEdges(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VEdgePairSet set;
    VEdgeDataHolder holder;
    holder.SetTarget(&set);
    ReadBlock(holder, in, fields);
    const std::vector<std::uint8_t> bytes = WriteAll(holder);
    VEdgePairSet again;
    holder.SetTarget(&again);
    ReadBackAll(holder, bytes);
    const IEdgePairData* a = nullptr;
    const IEdgePairData* b = nullptr;
    std::uint32_t countA = 0;
    std::uint32_t countB = 0;
    set.GetData(&a, &countA);
    again.GetData(&b, &countB);
    Check(SameRecords(a, countA, b, countB));
}

void FuzzGreyscale(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VGreyscaleBlobSet set;
    VGreyscaleBlobDataHolder holder;
    holder.SetTarget(&set);
    ReadBlock(holder, in, fields);
    CheckGreyscaleLayout(set);

    // Copies and self-assignment keep the layout inside each set's own arrays.
    VGreyscaleBlobSet copy(set);
    copy.Assign(static_cast<const IGreyscaleBlobSet&>(copy));
    CheckGreyscaleLayout(copy);
    Check(SameBlobs(set, copy));

    const std::vector<std::uint8_t> bytes = WriteAll(holder);
    VGreyscaleBlobSet again;
    holder.SetTarget(&again);
    ReadBackAll(holder, bytes);
    CheckGreyscaleLayout(again);
    Check(SameBlobs(set, again));
}

void FuzzAnalogue(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VAnalogueBlockSet set;
    VAnalogueBlockDataHolder holder;
    holder.SetTarget(&set);
    ReadBlock(holder, in, fields);
    const std::vector<std::uint8_t> bytes = WriteAll(holder);
    VAnalogueBlockSet again;
    holder.SetTarget(&again);
    ReadBackAll(holder, bytes);
    const IAnalogueBlockData* a = nullptr;
    const IAnalogueBlockData* b = nullptr;
    std::uint32_t countA = 0;
    std::uint32_t countB = 0;
    set.GetData(&a, &countA);
    again.GetData(&b, &countB);
    Check(countA == countB);
    for (std::uint32_t i = 0; i < countA; ++i)
    {
        Check(a[i].Size == b[i].Size && (a[i].Data == nullptr) == (a[i].Size == 0));
        Check(a[i].Size == 0 || std::memcmp(a[i].Data, b[i].Data, a[i].Size) == 0);
    }
}

void FuzzSingles(IBinaryInputStream& in, const VDataFieldList& fields)
{
    VCameraFrameInfoDataHolder info;
    ReadBlock(info, in, fields);
    const std::vector<std::uint8_t> bytes = WriteAll(info);
    const std::uint8_t infoByte = info.GetInfoByte();
    info.SetInfoByte(static_cast<std::uint8_t>(~infoByte));
    VMemoryInputStream back(bytes.data(), bytes.size());
    info.ReadItem(back, info.GetFormat().GetFields());
    Check(info.GetInfoByte() == infoByte);

    in.ClearErrors();
    in.Seek(0);
    VFrameInfoDataHolder frameInfo;
    ReadBlock(frameInfo, in, fields);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
    {
        return 0;
    }
    // Byte 0: the kind; bit 7 of byte 1: take the field list from the input (else the
    // kind's default); the rest: the list (when taken) and then the items.
    const std::uint8_t kind = data[0] % 6;
    const bool ownList = (data[1] & 0x80) != 0;
    VMemoryInputStream header(data + 2, size - 2);
    VDataFormatInfo format;
    std::uint64_t itemsStart = 2;
    if (ownList && format.Read(header))
    {
        itemsStart += header.Tell();
    }
    else
    {
        const VDataFormatInfo* defaults[] = {
            &DefaultFormats::Centroids(),      &DefaultFormats::CentroidTracks(),
            &DefaultFormats::EdgePairs(),      &DefaultFormats::GreyscaleBlobs(),
            &DefaultFormats::AnalogueBlocks(), &DefaultFormats::CameraFrameInfo()};
        format = *defaults[kind];
        if (kind == 0)
        {
            format = DefaultFormats::MakeCentroids(1024, 768);
        }
    }
    VMemoryInputStream items(data + itemsStart, size - itemsStart);
    switch (kind)
    {
    case 0:
        FuzzCentroids(items, format.GetFields());
        break;
    case 1:
        FuzzTracks(items, format.GetFields());
        break;
    case 2:
        FuzzEdges(items, format.GetFields());
        break;
    case 3:
        FuzzGreyscale(items, format.GetFields());
        break;
    case 4:
        FuzzAnalogue(items, format.GetFields());
        break;
    default:
        FuzzSingles(items, format.GetFields());
        break;
    }
    return 0;
}
