#include "FileIO/VGreyscaleBlob.h"
#include "FileIO/VGreyscaleBlobSet.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{
/// Builds blobs from plain vectors; the records point into this object.
struct BlobSource
{
    std::vector<std::vector<std::uint8_t>> pixels;
    std::vector<IGreyscaleLineData> lines;
    IGreyscaleBlobData blob;

    BlobSource(std::uint16_t lineCount, std::uint8_t seed, std::uint8_t flag = 0)
    {
        for (std::uint16_t i = 0; i < lineCount; ++i)
        {
            // Line i has i pixels: the first line of every blob is empty.
            pixels.emplace_back(i, static_cast<std::uint8_t>(seed + i));
        }
        for (std::uint16_t i = 0; i < lineCount; ++i)
        {
            lines.push_back(IGreyscaleLineData{static_cast<std::uint16_t>(seed), i,
                                               i > 0 ? pixels[i].data() : nullptr, i});
        }
        blob = IGreyscaleBlobData{lineCount > 0 ? lines.data() : nullptr, lineCount, flag};
    }
};

bool Within(const void* pointer, const void* begin, std::size_t bytes)
{
    auto p = static_cast<const std::uint8_t*>(pointer);
    auto b = static_cast<const std::uint8_t*>(begin);
    return std::less_equal<const std::uint8_t*>()(b, p) &&
           std::less<const std::uint8_t*>()(p, b + bytes);
}

/// Checks the flat layout of a set: lines back to back blob after blob, pixels line after line,
/// content as BlobSource(i % 5, i) made it, and nothing pointing into `foreign`.
void ExpectLayout(const VGreyscaleBlobSet& set, std::uint32_t count,
                  const VGreyscaleBlobSet* foreign = nullptr)
{
    const IGreyscaleBlobData* blobs = nullptr;
    std::uint32_t actual = 0;
    set.GetData(&blobs, &actual, nullptr);
    ASSERT_EQ(actual, count);
    const IGreyscaleLineData* nextLine = nullptr;
    const std::uint8_t* nextPixel = nullptr;
    const IGreyscaleBlobData* foreignBlobs = nullptr;
    std::uint32_t foreignCount = 0;
    if (foreign != nullptr)
    {
        foreign->GetData(&foreignBlobs, &foreignCount, nullptr);
    }
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const IGreyscaleBlobData& blob = blobs[i];
        ASSERT_EQ(blob.LineCount, i % 5) << "blob " << i;
        if (blob.LineCount == 0)
        {
            EXPECT_EQ(blob.Lines, nullptr) << "blob " << i;
            continue;
        }
        if (nextLine != nullptr)
        {
            EXPECT_EQ(blob.Lines, nextLine) << "lines of blob " << i << " follow the previous";
        }
        nextLine = blob.Lines + blob.LineCount;
        for (std::uint16_t l = 0; l < blob.LineCount; ++l)
        {
            const IGreyscaleLineData& line = blob.Lines[l];
            EXPECT_EQ(line.Coord0, static_cast<std::uint16_t>(i & 0xFF));
            EXPECT_EQ(line.Coord1, l);
            ASSERT_EQ(line.PixelCount, l);
            if (l == 0)
            {
                EXPECT_EQ(line.Pixels, nullptr);
                continue;
            }
            if (nextPixel != nullptr)
            {
                EXPECT_EQ(line.Pixels, nextPixel) << "blob " << i << " line " << l;
            }
            nextPixel = line.Pixels + line.PixelCount;
            for (std::uint16_t p = 0; p < line.PixelCount; ++p)
            {
                EXPECT_EQ(line.Pixels[p], static_cast<std::uint8_t>(i + l));
            }
            for (std::uint32_t f = 0; f < foreignCount; ++f)
            {
                const IGreyscaleBlobData& other = foreignBlobs[f];
                EXPECT_FALSE(other.LineCount > 0 &&
                             Within(&line, other.Lines, other.LineCount * sizeof(line)));
            }
        }
    }
}

VGreyscaleBlobSet MakeSet(std::uint32_t count)
{
    VGreyscaleBlobSet set;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        BlobSource source(static_cast<std::uint16_t>(i % 5), static_cast<std::uint8_t>(i),
                          static_cast<std::uint8_t>(i & 1));
        set.Append(VGreyscaleBlob(source.blob));
    }
    set.SetInfoByte(0x5A);
    set.SetName("zt:3");
    return set;
}
} // namespace

TEST(GreyscaleBlob, CopiesOwnLinesAndPixelsAndNullsEmptyOnes)
{
    BlobSource source(4, 10, 1);
    VGreyscaleBlob blob(source.blob);
    const IGreyscaleBlobData* data = blob.GetData();
    ASSERT_EQ(data->LineCount, 4);
    EXPECT_NE(data->Lines, source.lines.data());
    EXPECT_EQ(data->Lines[0].Pixels, nullptr) << "a line of 0 pixels";
    EXPECT_EQ(data->Lines[2].Pixels + 2, data->Lines[3].Pixels) << "pixels back to back";
    EXPECT_EQ(data->Lines[3].Pixels[2], 13);
    EXPECT_EQ(blob.GetBlobFlag(), 1);

    VGreyscaleBlob copy(blob);
    EXPECT_NE(copy.GetData()->Lines, data->Lines);
    EXPECT_NE(copy.GetData()->Lines[1].Pixels, data->Lines[1].Pixels);
    EXPECT_EQ(copy.GetData()->Lines[1].Pixels[0], 11);

    // Re-setting a blob from its own record (a copy of it) must not read freed storage.
    const IGreyscaleBlobData own = *copy.GetData();
    copy.SetData(own);
    EXPECT_EQ(copy.GetData()->Lines[3].Pixels[0], 13);

    VGreyscaleBlob empty{IGreyscaleBlobData{}};
    EXPECT_EQ(empty.GetData()->Lines, nullptr);
    copy.Assign(static_cast<const IGreyscaleBlob&>(empty));
    EXPECT_EQ(copy.GetData()->LineCount, 0);
    EXPECT_EQ(copy.GetData()->Lines, nullptr);

    // A moved-from blob is empty and the moved-to one still reads its lines.
    VGreyscaleBlob moved(std::move(blob));
    EXPECT_EQ(moved.GetData()->Lines[3].Pixels[2], 13);
    EXPECT_EQ(blob.GetData()->Lines, nullptr);
}

TEST(GreyscaleBlobSet, AppendsKeepTheFlatLayoutThroughGrowth)
{
    const VGreyscaleBlobSet set = MakeSet(300);
    ExpectLayout(set, 300);
    const IGreyscaleBlobData* blob = nullptr;
    ASSERT_TRUE(set.GetItemData(7, &blob));
    EXPECT_EQ(blob->BlobFlag, 1);
    EXPECT_FALSE(set.GetItemData(300, &blob));
    EXPECT_EQ(blob, nullptr);
}

TEST(GreyscaleBlobSet, CopiesPointIntoTheirOwnArraysOnly)
{
    VGreyscaleBlobSet source = MakeSet(40);

    VGreyscaleBlobSet copy;
    source.CopyTo(copy);
    ExpectLayout(copy, 40, &source);
    EXPECT_EQ(copy.GetInfoByte(), 0x5A);
    EXPECT_EQ(copy.Name().Str(), "zt:3");

    // The copy survives the source's destruction (AddressSanitizer sees any stale pointer).
    auto owned = std::make_unique<VGreyscaleBlobSet>(source);
    VGreyscaleBlobSet second(*owned);
    owned.reset();
    ExpectLayout(second, 40);

    // Assigning to itself, through either interface.
    second.Assign(static_cast<const IGreyscaleBlobSet&>(second));
    ExpectLayout(second, 40);
    second.Assign(static_cast<const IGreyscaleBlobSetDirect&>(second));
    ExpectLayout(second, 40);
    EXPECT_EQ(second.GetInfoByte(), 0x5A);
    EXPECT_EQ(second.Name().Str(), "zt:3");

    // A copy assigned over a larger set shrinks it.
    VGreyscaleBlobSet large = MakeSet(100);
    large = second;
    ExpectLayout(large, 40, &second);
}

TEST(GreyscaleBlobSet, ItemsAreReplacedAppendedAndReadBack)
{
    VGreyscaleBlobSet set = MakeSet(6);

    // Replace blob 1 (1 line) with a blob of 4 lines: everything behind it must shift.
    BlobSource wider(4, 1, 1);
    VGreyscaleBlob replacement(wider.blob);
    ASSERT_TRUE(set.SetItem(1, replacement));
    EXPECT_FALSE(set.SetItem(6, replacement));
    const IGreyscaleBlobData* blobs = nullptr;
    set.GetData(&blobs, nullptr, nullptr);
    EXPECT_EQ(blobs[1].LineCount, 4);
    EXPECT_EQ(blobs[2].Lines, blobs[1].Lines + 4);
    ASSERT_EQ(blobs[4].LineCount, 4);
    EXPECT_EQ(blobs[4].Lines[3].Pixels[2], 7);

    // Appending a blob that was read out of the same set.
    VGreyscaleBlob out;
    ASSERT_TRUE(set.GetItem(4, out));
    set.Append(out);
    set.GetData(&blobs, nullptr, nullptr);
    ASSERT_EQ(set.Count(), 7u);
    EXPECT_EQ(blobs[6].LineCount, 4);
    EXPECT_EQ(blobs[6].Lines[3].Pixels[2], 7);
    EXPECT_NE(blobs[6].Lines, blobs[4].Lines);

    // Appending a record that points into the set itself.
    set.AppendData(blobs[3]);
    set.GetData(&blobs, nullptr, nullptr);
    EXPECT_EQ(blobs[7].LineCount, 3);
    EXPECT_EQ(blobs[7].Lines[2].Pixels[1], 5);

    VGreyscaleBlob untouched(wider.blob);
    EXPECT_FALSE(set.GetItem(8, untouched));
    EXPECT_EQ(untouched.GetData()->LineCount, 4);

    set.Clear();
    EXPECT_EQ(set.Count(), 0u);
    EXPECT_EQ(set.GetInfoByte(), 0);
    EXPECT_EQ(set.Name().Str(), "");
}
