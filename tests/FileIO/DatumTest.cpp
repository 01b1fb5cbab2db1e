#include "FileIO/DefaultFormats.h"
#include "FileIO/VAnalogueBlock.h"
#include "FileIO/VAnalogueBlockDatum.h"
#include "FileIO/VCameraFrameInfoDatum.h"
#include "FileIO/VCentroidDatum.h"
#include "FileIO/VCentroidTrackDatum.h"
#include "FileIO/VEdgeDatum.h"
#include "FileIO/VFrameInfoDatum.h"
#include "FileIO/VGreyscaleBlob.h"
#include "FileIO/VGreyscaleBlobDatum.h"
#include "FileIO/VMemoryBinaryStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
constexpr std::uint16_t kUnknownFixed = 0x7001;
constexpr std::uint16_t kUnknownVariable = 0x7002;
constexpr std::uint8_t kSentinel = 0xEE;

/// A field list with an unknown fixed field first and an unknown variable one last, around
/// the given format's own fields.
VDataFieldList Surround(const VDataFormatInfo& format)
{
    VDataFieldList fields;
    fields.push_back(VDataFormatField{kUnknownFixed, 3, {}});
    fields.insert(fields.end(), format.GetFields().begin(), format.GetFields().end());
    fields.push_back(VDataFormatField{kUnknownVariable, VDataFormatField::kVariableSize, {}});
    return fields;
}

/// Bytes of the unknown fields of Surround: 3 filler bytes, and a variable field of length 7
/// (its u32 length plus 3 bytes).
void WriteUnknownFixed(VMemoryOutputStream& out)
{
    const std::uint8_t filler[] = {0xA1, 0xA2, 0xA3};
    out.Write(filler, 3);
}
void WriteUnknownVariable(VMemoryOutputStream& out)
{
    out.WriteU32(7);
    const std::uint8_t filler[] = {0xB1, 0xB2, 0xB3};
    out.Write(filler, 3);
}

/// Runs `datum` over `bytes` followed by a sentinel and checks that it stopped exactly
/// before the sentinel.
std::uint32_t ReadExactly(IDatum& datum, std::vector<std::uint8_t> bytes,
                          const VDataFieldList& fields)
{
    const std::size_t itemSize = bytes.size();
    bytes.push_back(kSentinel);
    VMemoryInputStream in(std::move(bytes));
    const std::uint32_t decoded = datum.Read(in, fields);
    EXPECT_TRUE(in.IsGood());
    EXPECT_EQ(in.Tell(), itemSize) << "the item's bytes are consumed exactly";
    return decoded;
}
} // namespace

TEST(Datum, UnknownFixedAndVariableFieldsAreSkippedExactlyByEveryDatum)
{
    // Centroid: X 0x000010 x 0.5, Y 0x000020 x 0.25.
    {
        VDataFormatInfo format(0xDFAA);
        format.AddFieldWithScale(0xAA00, 3, 0.5f);
        format.AddFieldWithScale(0xAA01, 3, 0.25f);
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteUnsigned(0x10, 3);
        out.WriteUnsigned(0x20, 3);
        WriteUnknownVariable(out);
        ICentroidData data;
        VCentroidDatum datum;
        datum.SetDestination(&data);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(format)), 2u);
        EXPECT_EQ(data.X, 8.0);
        EXPECT_EQ(data.Y, 8.0);
    }
    // Track.
    {
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteI64(77);
        out.WriteU32(5);
        out.WriteF32(0.5f);
        WriteUnknownVariable(out);
        ICentroidTrackData data;
        VCentroidTrackDatum datum;
        datum.SetDestination(&data);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(DefaultFormats::CentroidTracks())),
                  3u);
        EXPECT_EQ(data.Id, 77);
        EXPECT_EQ(data.Length, 5u);
        EXPECT_EQ(data.Confidence, 0.5f);
    }
    // Edge pair.
    {
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteU16(1);
        out.WriteU16(2);
        out.WriteU16(3);
        WriteUnknownVariable(out);
        IEdgePairData data;
        VEdgeDatum datum;
        datum.SetDestination(&data);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(DefaultFormats::EdgePairs())), 3u);
        EXPECT_EQ(data.Coord0, 1);
        EXPECT_EQ(data.Coord2, 3);
    }
    // Camera frame info and frame info.
    {
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteU8(0x42);
        WriteUnknownVariable(out);
        std::uint8_t infoByte = 0;
        VCameraFrameInfoDatum datum;
        datum.SetDestination(&infoByte);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(DefaultFormats::CameraFrameInfo())),
                  1u);
        EXPECT_EQ(infoByte, 0x42);

        VFrameInfoDatum frameInfo;
        EXPECT_EQ(
            ReadExactly(frameInfo, out.GetBytes(), Surround(DefaultFormats::CameraFrameInfo())), 0u)
            << "the frame info datum knows no field but still walks past all of them";
    }
    // Greyscale blob: one line of two pixels, flag word 3 (bit 0 set).
    {
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteU32(6 + 6 + 2);
        out.WriteU16(1);
        out.WriteU16(10);
        out.WriteU16(20);
        out.WriteU16(2);
        out.WriteU8(0x80);
        out.WriteU8(0x81);
        out.WriteU32(3);
        WriteUnknownVariable(out);
        VGreyscaleBlob blob;
        VGreyscaleBlobDatum datum;
        datum.SetDestination(&blob);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(DefaultFormats::GreyscaleBlobs())),
                  2u);
        ASSERT_EQ(blob.GetData()->LineCount, 1);
        EXPECT_EQ(blob.GetData()->Lines[0].Coord1, 20);
        EXPECT_EQ(blob.GetData()->Lines[0].Pixels[1], 0x81);
        EXPECT_EQ(blob.GetBlobFlag(), 1);
    }
    // Analogue block.
    {
        VMemoryOutputStream out;
        WriteUnknownFixed(out);
        out.WriteU32(8 + 3);
        out.WriteU32(3);
        const std::uint8_t samples[] = {7, 8, 9};
        out.Write(samples, 3);
        WriteUnknownVariable(out);
        VAnalogueBlock block;
        VAnalogueBlockDatum datum;
        datum.SetDestination(&block);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), Surround(DefaultFormats::AnalogueBlocks())),
                  1u);
        ASSERT_EQ(block.GetData()->Size, 3u);
        EXPECT_EQ(block.GetData()->Data[2], 9);
    }
}

TEST(Datum, CentroidValuesScaleZeroExtendedIntegers)
{
    const std::uint32_t width = 1280;
    VDataFormatInfo format(0xDFAA);
    format.AddFieldWithScale(0xAA00, 3, static_cast<float>(width / 16777216.0));
    format.AddField(0xAA01, 0);                  // size 0: 0.0, no scale needed
    format.AddFieldWithScale(0xAA02, 8, 1.0f);   // the widest field
    format.AddFieldWithScale(0xAA03, 1, 0.125f); // high bit set: zero-extended, not signed
    format.AddFieldWithU32(0xAA04, 0, 9);        // 9 bits of padding: 2 bytes
    VMemoryOutputStream out;
    out.WriteUnsigned(0xFFFFFF, 3);
    out.WriteU64(0x0000000100000000ull);
    out.WriteU8(0xFF);
    out.WriteU16(0xFFFF);

    ICentroidData data{-1, -1, -1, -1};
    VCentroidDatum datum;
    datum.SetDestination(&data);
    EXPECT_EQ(ReadExactly(datum, out.GetBytes(), format.GetFields()), 5u);
    EXPECT_LT(data.X, width);
    EXPECT_GT(data.X, width - 0.001);
    EXPECT_EQ(data.Y, 0.0);
    EXPECT_EQ(data.Radius, 4294967296.0);
    EXPECT_EQ(data.Fraction, 255 * 0.125);
}

TEST(Datum, MalformedFieldsEndTheItemWithoutLeavingItsBytes)
{
    ICentroidData data;
    VCentroidDatum centroid;
    centroid.SetDestination(&data);
    const std::vector<std::uint8_t> bytes(32, 0x01);

    // A centroid field wider than 8 bytes.
    VDataFieldList wide = {VDataFormatField{0xAA00, 9, {0, 0, 0x80, 0x3F}}};
    VMemoryInputStream in1(bytes);
    EXPECT_EQ(centroid.Read(in1, wide), 0u);
    EXPECT_TRUE(centroid.IsMalformed());
    EXPECT_TRUE(in1.IsGood());

    // A centroid field without its scale, and a padding field without its bit count.
    VDataFieldList noScale = {VDataFormatField{0xAA00, 2, {0x80, 0x3F}}};
    VMemoryInputStream in2(bytes);
    EXPECT_EQ(centroid.Read(in2, noScale), 0u);
    EXPECT_TRUE(centroid.IsMalformed());
    VDataFieldList noBits = {VDataFormatField{0xAA04, 0, {}}};
    VMemoryInputStream in3(bytes);
    centroid.Read(in3, noBits);
    EXPECT_TRUE(centroid.IsMalformed());

    // An unknown variable field whose length does not cover its own 4 bytes.
    for (std::uint32_t length : {0u, 1u, 3u})
    {
        VMemoryOutputStream out;
        out.WriteU32(length);
        out.WriteU16(5);
        VMemoryInputStream in(out.GetBytes());
        VEdgeDatum edge;
        IEdgePairData pair;
        edge.SetDestination(&pair);
        const VDataFieldList fields = {
            VDataFormatField{kUnknownVariable, VDataFormatField::kVariableSize, {}},
            VDataFormatField{0xCC00, 2, {}}};
        EXPECT_EQ(edge.Read(in, fields), 0u) << length;
        EXPECT_TRUE(edge.IsMalformed()) << length;
        EXPECT_EQ(pair.Coord0, 0) << "nothing decoded after the malformed field";
    }

    // A well-formed read afterwards clears the state.
    VDataFieldList fine = {VDataFormatField{0xAA00, 1, {0, 0, 0x80, 0x3F}}};
    VMemoryInputStream in4(bytes);
    EXPECT_EQ(centroid.Read(in4, fine), 1u);
    EXPECT_FALSE(centroid.IsMalformed());
    EXPECT_EQ(data.X, 1.0);
}

TEST(Datum, AbsentFieldsKeepTheirDefaults)
{
    // A track without 0xAA00 is "no track", even over a record that held one.
    VMemoryOutputStream trackBytes;
    trackBytes.WriteU32(9);
    ICentroidTrackData track{5, 5, 5.0f};
    VCentroidTrackDatum trackDatum;
    trackDatum.SetDestination(&track);
    EXPECT_EQ(ReadExactly(trackDatum, trackBytes.GetBytes(), {VDataFormatField{0xAA01, 4, {}}}),
              1u);
    EXPECT_EQ(track.Id, -1);
    EXPECT_EQ(track.Length, 9u);
    EXPECT_EQ(track.Confidence, 0.0f);

    // A blob without 0xBB01 has flag 0; a line of 0 pixels has null Pixels.
    VMemoryOutputStream lineBytes;
    lineBytes.WriteU32(12);
    lineBytes.WriteU16(1);
    lineBytes.WriteU16(3);
    lineBytes.WriteU16(4);
    lineBytes.WriteU16(0);
    VGreyscaleBlob blob;
    blob.SetBlobFlag(1);
    VGreyscaleBlobDatum blobDatum;
    blobDatum.SetDestination(&blob);
    const VDataFieldList linesOnly = {
        VDataFormatField{0xBB00, VDataFormatField::kVariableSize, {}}};
    EXPECT_EQ(ReadExactly(blobDatum, lineBytes.GetBytes(), linesOnly), 1u);
    EXPECT_EQ(blob.GetBlobFlag(), 0);
    ASSERT_EQ(blob.GetData()->LineCount, 1);
    EXPECT_EQ(blob.GetData()->Lines[0].PixelCount, 0);
    EXPECT_EQ(blob.GetData()->Lines[0].Pixels, nullptr);

    // A blob without lines has null Lines.
    VMemoryOutputStream flagOnly;
    flagOnly.WriteU32(1);
    EXPECT_EQ(ReadExactly(blobDatum, flagOnly.GetBytes(), {VDataFormatField{0xBB01, 4, {}}}), 1u);
    EXPECT_EQ(blob.GetData()->Lines, nullptr);
    EXPECT_EQ(blob.GetData()->LineCount, 0);
    EXPECT_EQ(blob.GetBlobFlag(), 1);

    // An analogue block of 0 bytes has null Data.
    VMemoryOutputStream emptyBlock;
    emptyBlock.WriteU32(8);
    emptyBlock.WriteU32(0);
    const std::uint8_t old[] = {1};
    VAnalogueBlock block(IAnalogueBlockData{old, 1});
    VAnalogueBlockDatum blockDatum;
    blockDatum.SetDestination(&block);
    EXPECT_EQ(ReadExactly(blockDatum, emptyBlock.GetBytes(),
                          DefaultFormats::AnalogueBlocks().GetFields()),
              1u);
    EXPECT_EQ(block.GetData()->Size, 0u);
    EXPECT_EQ(block.GetData()->Data, nullptr);
}

TEST(Datum, TruncatedAndOversizedItemsFailTheStreamWithoutAllocating)
{
    // An analogue count of 4 GiB with 2 bytes behind it.
    VMemoryOutputStream huge;
    huge.WriteU32(0);
    huge.WriteU32(0xFFFFFFFF);
    huge.WriteU16(0);
    VMemoryInputStream in(huge.GetBytes());
    VAnalogueBlock block;
    VAnalogueBlockDatum blockDatum;
    blockDatum.SetDestination(&block);
    EXPECT_EQ(blockDatum.Read(in, DefaultFormats::AnalogueBlocks().GetFields()), 0u);
    EXPECT_FALSE(in.IsGood());
    EXPECT_EQ(block.GetData()->Size, 0u);

    // A blob whose line count promises more lines than there are bytes.
    VMemoryOutputStream lines;
    lines.WriteU32(0);
    lines.WriteU16(0xFFFF);
    lines.WriteU16(1);
    VMemoryInputStream linesIn(lines.GetBytes());
    VGreyscaleBlob blob;
    VGreyscaleBlobDatum blobDatum;
    blobDatum.SetDestination(&blob);
    EXPECT_EQ(blobDatum.Read(linesIn, DefaultFormats::GreyscaleBlobs().GetFields()), 0u);
    EXPECT_FALSE(linesIn.IsGood());

    // A track cut inside its Length: 0 fields reported, the Id already decoded kept.
    VMemoryOutputStream track;
    track.WriteI64(12);
    track.WriteU16(1);
    VMemoryInputStream trackIn(track.GetBytes());
    ICentroidTrackData data;
    VCentroidTrackDatum trackDatum;
    trackDatum.SetDestination(&data);
    EXPECT_EQ(trackDatum.Read(trackIn, DefaultFormats::CentroidTracks().GetFields()), 0u);
    EXPECT_EQ(data.Id, 12);
    EXPECT_EQ(data.Length, 0u);
}

TEST(Datum, EveryDatumRoundTripsThroughItsDefaultFormat)
{
    // Centroid: values on the scale grid survive exactly; off-grid ones round to nearest.
    {
        const VDataFormatInfo format = DefaultFormats::MakeCentroids(1024, 768);
        const double unitX = 1024 / 16777216.0;
        const double unitY = 768 / 16777216.0;
        ICentroidData written{1000 * unitX, 2000 * unitY, 100.5, 0.75};
        VCentroidDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, format.GetFields()));
        EXPECT_EQ(out.GetBytes().size(), 3u + 3 + 3 + 2) << "3, 3, 3 and 2 bytes, no padding";
        ICentroidData read;
        datum.SetDestination(&read);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), format.GetFields()), 5u);
        EXPECT_EQ(read.X, written.X);
        EXPECT_EQ(read.Y, written.Y);
        EXPECT_EQ(read.Radius, written.Radius);
        EXPECT_EQ(read.Fraction, written.Fraction);

        // Off-grid values round to nearest, ties to even.
        VDataFormatInfo halves(0xDFAA);
        halves.AddFieldWithScale(0xAA00, 1, 0.5f);
        halves.AddFieldWithScale(0xAA01, 1, 0.5f);
        halves.AddFieldWithScale(0xAA02, 1, 0.5f);
        ICentroidData ties{2.25, 2.75, 2.3, 0.0};
        datum.SetDestination(&ties);
        VMemoryOutputStream rounded;
        ASSERT_TRUE(datum.Write(rounded, halves.GetFields()));
        EXPECT_EQ(rounded.GetBytes(), (std::vector<std::uint8_t>{4, 6, 5}));

        // Out-of-range values clamp instead of wrapping around.
        ICentroidData outside{-3.0, 1e9, 0.0, 2.0};
        datum.SetDestination(&outside);
        VMemoryOutputStream clamped;
        ASSERT_TRUE(datum.Write(clamped, format.GetFields()));
        datum.SetDestination(&read);
        ReadExactly(datum, clamped.GetBytes(), format.GetFields());
        EXPECT_EQ(read.X, 0.0);
        EXPECT_GT(read.Y, 767.99);
        EXPECT_LT(read.Y, 768.0);
        EXPECT_LT(read.Fraction, 1.0);
    }
    // Track, including a negative Id and a NaN-free float.
    {
        ICentroidTrackData written{-123456789012345, 42, 0.125f};
        VCentroidTrackDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::CentroidTracks().GetFields()));
        EXPECT_EQ(out.GetBytes().size(), 16u);
        ICentroidTrackData read;
        datum.SetDestination(&read);
        ReadExactly(datum, out.GetBytes(), DefaultFormats::CentroidTracks().GetFields());
        EXPECT_EQ(std::memcmp(&read, &written, sizeof(read)), 0);
    }
    // Edge pair.
    {
        IEdgePairData written{0xFFFF, 0, 0x1234};
        VEdgeDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::EdgePairs().GetFields()));
        IEdgePairData read;
        datum.SetDestination(&read);
        ReadExactly(datum, out.GetBytes(), DefaultFormats::EdgePairs().GetFields());
        EXPECT_EQ(read.Coord0, 0xFFFF);
        EXPECT_EQ(read.Coord2, 0x1234);
    }
    // Camera frame info.
    {
        std::uint8_t written = 0x99;
        VCameraFrameInfoDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::CameraFrameInfo().GetFields()));
        std::uint8_t read = 0;
        datum.SetDestination(&read);
        ReadExactly(datum, out.GetBytes(), DefaultFormats::CameraFrameInfo().GetFields());
        EXPECT_EQ(read, 0x99);
    }
    // Frame info: nothing to write, nothing to read, also with filler fields.
    {
        VFrameInfoDatum datum;
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::FrameInfo().GetFields()));
        EXPECT_TRUE(out.GetBytes().empty());
        VDataFormatInfo filler(0xFDDF);
        filler.AddField(1, 5);
        filler.AddField(2, VDataFormatField::kVariableSize);
        ASSERT_TRUE(datum.Write(out, filler.GetFields()));
        EXPECT_EQ(out.GetBytes().size(), 9u);
        ReadExactly(datum, out.GetBytes(), filler.GetFields());
    }
    // Greyscale blob: lines with and without pixels, and the flag.
    {
        const std::uint8_t pixels[] = {1, 2, 3, 4, 5};
        const IGreyscaleLineData lines[] = {
            {3, 4, pixels, 5}, {3, 5, nullptr, 0}, {9, 6, pixels, 1}};
        VGreyscaleBlob written(IGreyscaleBlobData{lines, 3, 1});
        VGreyscaleBlobDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::GreyscaleBlobs().GetFields()));
        ASSERT_GE(out.GetBytes().size(), 4u);
        EXPECT_EQ(LittleEndian::LoadU32(out.GetBytes().data()), 6u + (5 + 6) + 6 + (1 + 6))
            << "L counts itself, the line count and every line";
        VGreyscaleBlob read;
        datum.SetDestination(&read);
        EXPECT_EQ(ReadExactly(datum, out.GetBytes(), DefaultFormats::GreyscaleBlobs().GetFields()),
                  2u);
        const IGreyscaleBlobData* data = read.GetData();
        ASSERT_EQ(data->LineCount, 3);
        EXPECT_EQ(data->BlobFlag, 1);
        EXPECT_EQ(data->Lines[0].Pixels[4], 5);
        EXPECT_EQ(data->Lines[1].Pixels, nullptr);
        EXPECT_EQ(data->Lines[2].Coord0, 9);
        EXPECT_EQ(data->Lines[2].Pixels[0], 1);
    }
    // Analogue block.
    {
        std::vector<std::uint8_t> samples(300);
        for (std::size_t i = 0; i < samples.size(); ++i)
        {
            samples[i] = static_cast<std::uint8_t>(i * 7);
        }
        VAnalogueBlock written(IAnalogueBlockData{samples.data(), 300});
        VAnalogueBlockDatum datum;
        datum.SetDestination(&written);
        VMemoryOutputStream out;
        ASSERT_TRUE(datum.Write(out, DefaultFormats::AnalogueBlocks().GetFields()));
        EXPECT_EQ(LittleEndian::LoadU32(out.GetBytes().data()), 308u);
        VAnalogueBlock read;
        datum.SetDestination(&read);
        ReadExactly(datum, out.GetBytes(), DefaultFormats::AnalogueBlocks().GetFields());
        ASSERT_EQ(read.GetData()->Size, 300u);
        EXPECT_EQ(std::memcmp(read.GetData()->Data, samples.data(), 300), 0);
    }
}

TEST(DefaultFormats, MatchTheKindsTables)
{
    const VDataFormatInfo centroids = DefaultFormats::MakeCentroids(1024, 768);
    ASSERT_EQ(centroids.GetFields().size(), 5u);
    EXPECT_EQ(centroids.GetFormatId(), 0xDFAA);
    const auto scale = [&](std::size_t i)
    { return LittleEndian::LoadF32(centroids.GetFields()[i].Parameters.data()); };
    EXPECT_EQ(scale(0), 1024.0f / 16777216.0f);
    EXPECT_EQ(scale(1), 768.0f / 16777216.0f);
    EXPECT_EQ(scale(2), 512.0f / 16777216.0f);
    EXPECT_EQ(scale(3), 1.0f / 65536.0f);
    EXPECT_EQ(centroids.GetFields()[3].Size, 2u);
    EXPECT_EQ(centroids.GetFields()[4].Key, 0xAA04);
    EXPECT_EQ(centroids.GetFields()[4].Size, 0u);
    EXPECT_EQ(DefaultFormats::Centroids(), DefaultFormats::MakeCentroids(0, 0));
    EXPECT_EQ(&DefaultFormats::Centroids(), &DefaultFormats::Centroids()) << "built once";

    EXPECT_EQ(DefaultFormats::CentroidTracks().GetFormatId(), 0xDFDD);
    EXPECT_EQ(DefaultFormats::GreyscaleBlobs().GetFormatId(), 0xDFBB);
    EXPECT_TRUE(DefaultFormats::GreyscaleBlobs().GetFields()[0].IsVariable());
    EXPECT_EQ(DefaultFormats::EdgePairs().GetFormatId(), 0xDFCC);
    EXPECT_EQ(DefaultFormats::CameraFrameInfo().GetFormatId(), 0xDFEE);
    EXPECT_EQ(DefaultFormats::FrameInfo().GetFormatId(), 0xFDDF);
    EXPECT_TRUE(DefaultFormats::FrameInfo().GetFields().empty());
    EXPECT_EQ(DefaultFormats::AnalogueBlocks().GetFormatId(), 0xDFAA);
}
