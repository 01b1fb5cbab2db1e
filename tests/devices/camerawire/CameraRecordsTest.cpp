// Byte layouts of the camera stream's records and items, and the conversions of real values
// and parameters into their fixed-width fields.
#include "devices/camerawire/CameraRecords.h"

#include "support/VRecordingSink.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <limits>

using namespace testsupport;
using CameraData::EncodingMode;

TEST(CameraRecords, CentroidRecordHoldsEightFractionBits)
{
    Bytes bytes(CentroidRecord::Size, 0xEE);
    CentroidRecord::Encode(bytes.data(), 10.5, 3.25, 2.0, 0.5);
    EXPECT_EQ(bytes, (Bytes{0x07, 0xC0, 128, 0,  //
                            0x80, 0x0A, 0, 0,    // 2688
                            0x40, 0x03, 0, 0,    // 832
                            0x00, 0x02, 0, 0})); // 512

    // The synthetic generator's fourth value 100 gives 25600; negative positions are signed
    // and truncate toward zero.
    CentroidRecord::Encode(bytes.data(), -1.5, -0.999, 0.0, 100.0);
    EXPECT_EQ(U16(bytes, CentroidRecord::OffsetFraction), 25600);
    EXPECT_EQ(I32(bytes, CentroidRecord::OffsetX), -384);
    EXPECT_EQ(I32(bytes, CentroidRecord::OffsetY), -255);
    EXPECT_EQ(I32(bytes, CentroidRecord::OffsetRadius), 0);

    // A fourth value beyond 16 bits keeps the low bits: 300 × 256 = 76800 = 0x12C00.
    CentroidRecord::Encode(bytes.data(), 0.0, 0.0, 0.0, 300.0);
    EXPECT_EQ(U16(bytes, CentroidRecord::OffsetFraction), 0x2C00);
}

TEST(CameraRecords, RealsOutsideEveryRangeKeepTheirLowBits)
{
    using CameraData::TruncateToWireBits;
    constexpr double TwoTo63 = 9223372036854775808.0;
    constexpr double TwoTo64 = 18446744073709551616.0;
    EXPECT_EQ(TruncateToWireBits(-1.9), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(TruncateToWireBits(TwoTo63), 0x8000000000000000ull);
    EXPECT_EQ(TruncateToWireBits(-TwoTo63), 0x8000000000000000ull);
    EXPECT_EQ(TruncateToWireBits(TwoTo64 + 0x12345000), 0x12345000ull);
    EXPECT_EQ(TruncateToWireBits(-TwoTo64 - 4096.0), 0xFFFFFFFFFFFFF000ull);
    EXPECT_EQ(TruncateToWireBits(-TwoTo64), 0ull);
    EXPECT_EQ(TruncateToWireBits(1e300), TruncateToWireBits(1e300)); // defined, whatever it is
    EXPECT_EQ(TruncateToWireBits(std::numeric_limits<double>::quiet_NaN()), 0ull);
    EXPECT_EQ(TruncateToWireBits(std::numeric_limits<double>::infinity()), 0ull);
    EXPECT_EQ(TruncateToWireBits(-std::numeric_limits<double>::infinity()), 0ull);

    // 1e10 pixels × 256 = 0x2540BE40000: the 32-bit field keeps 0x0BE40000.
    Bytes bytes(CentroidRecord::Size);
    CentroidRecord::Encode(bytes.data(), 1e10, std::numeric_limits<double>::quiet_NaN(), 0, 0);
    EXPECT_EQ(U32(bytes, CentroidRecord::OffsetX), 0x0BE40000u);
    EXPECT_EQ(U32(bytes, CentroidRecord::OffsetY), 0u);
}

TEST(CameraRecords, TrackRecordSplitsTheIdAndScalesConfidence)
{
    Bytes bytes(TrackRecord::Size, 0xEE);
    ICentroidTrackData track;
    track.Id = 0x0123456789ABCDEF;
    track.Length = 70000; // keeps 70000 - 65536 = 4464
    track.Confidence = 0.5f;
    TrackRecord::Encode(bytes.data(), 3, track);
    EXPECT_EQ(bytes, (Bytes{0x06, 0xC0, 3, 0, 0x70, 0x11, 0xFF, 0x7F, //
                            0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}));

    // No track (Id -1), full confidence, a position beyond 16 bits.
    track = ICentroidTrackData{};
    track.Confidence = 1.0f;
    TrackRecord::Encode(bytes.data(), 0x10005, track);
    EXPECT_EQ(U16(bytes, TrackRecord::OffsetPosition), 5);
    EXPECT_EQ(U16(bytes, TrackRecord::OffsetConfidence), 65535);
    EXPECT_EQ(U32(bytes, TrackRecord::OffsetIdLow), 0xFFFFFFFFu);
    EXPECT_EQ(U32(bytes, TrackRecord::OffsetIdHigh), 0xFFFFFFFFu);
}

TEST(CameraRecords, TrailerLayout)
{
    FrameTrailer trailer;
    trailer.StreamKind = CameraData::StreamKindGreyscale;
    trailer.DeviceId = 0x11223344;
    trailer.FrameNumber = 1000;
    trailer.ByteCount = 3200;
    trailer.CentroidCount = 200;
    trailer.PreviousFrame = 999;
    trailer.Tracking = FrameTrailer::TrackingOn;
    Bytes bytes(FrameTrailer::Size, 0xEE);
    trailer.Encode(bytes.data());
    EXPECT_EQ(bytes, (Bytes{0x01, 0xC0, 36,   0,    0x02, 0, 0x01, 0, //
                            0x44, 0x33, 0x22, 0x11, 0xE8, 3, 0,    0, //
                            0x80, 0x0C, 0,    0,    200,  0, 0,    0, //
                            0,    0,    0,    0,    0xE7, 3, 0,    0, //
                            8,    0,    0,    0}));

    FrameTrailer::PatchFrameNumbers(bytes.data(), 7, 0xFFFFFFFF);
    EXPECT_EQ(U32(bytes, FrameTrailer::OffsetFrameNumber), 7u);
    EXPECT_EQ(U32(bytes, FrameTrailer::OffsetPreviousFrame), 0xFFFFFFFFu);
    EXPECT_EQ(U32(bytes, FrameTrailer::OffsetByteCount), 3200u);
}

TEST(CameraRecords, DatagramHeaderRateFieldsAndLayout)
{
    DatagramHeader_t header;
    // 135000000 / 100 = 1350000 = 0x149970: the field keeps 0x9970 = 39280.
    header.Fill(0x02000001, 10, 9, 100.0);
    header.Index = 3;
    header.PayloadBytes = 1368;
    Bytes bytes(DatagramHeader_t::Size, 0xEE);
    header.Encode(bytes.data());
    EXPECT_EQ(bytes, (Bytes{0x09, 0xC0, 3,    0,    10,   0,    0, 0,    //
                            0x58, 0x05, 0,    0,    0x01, 0,    0, 0x02, //
                            0xC0, 0xEF, 0x0B, 0x08, 0x70, 0x99, 0, 0,    //
                            1,    0,    0xFF, 0xFF, 1,    0,    0, 0}));
    DatagramHeader_t::MarkLast(bytes.data());
    EXPECT_EQ(U16(bytes, DatagramHeader_t::OffsetFlags), 1);

    // Rate 0 gives 0 ticks instead of a division by zero; a fractional rate truncates
    // (135000000 / 100.5 = 1343283.58, low 16 bits 32563); the template starts afresh.
    header.Fill(1, 5, 5, 0.0);
    EXPECT_EQ(header.FrameTicks, 0);
    EXPECT_EQ(header.FrameDelta, 0);
    EXPECT_EQ(header.Index, 0);
    EXPECT_EQ(header.PayloadBytes, 0u);
    header.Fill(1, 0, 0xFFFFFFFF, 100.5);
    EXPECT_EQ(header.FrameTicks, 32563);
    EXPECT_EQ(header.FrameDelta, 0xFFFF);
    header.Fill(1, 0, 0, -50.0); // a nonsense rate is still defined
    EXPECT_EQ(header.FrameTicks, static_cast<std::uint16_t>(-2700000));
    header.Fill(1, 0, 0, 1e-300); // so is a quotient far beyond 64 bits
    EXPECT_EQ(header.FrameTicks, CameraData::FrameTicks16(1e-300));
}

TEST(CameraRecords, GreyscaleSettingsFlagsFollowGreyMode)
{
    EXPECT_EQ(GreyscaleSettingsItem::FlagsFromGreyMode(EncodingMode::All), 0x0Eu);
    EXPECT_EQ(GreyscaleSettingsItem::FlagsFromGreyMode(EncodingMode::Some), 0x0Au);
    EXPECT_EQ(GreyscaleSettingsItem::FlagsFromGreyMode(EncodingMode::Only), 0x00u);
    EXPECT_EQ(GreyscaleSettingsItem::FlagsFromGreyMode(EncodingMode::None), 0x08u);
    EXPECT_EQ(GreyscaleSettingsItem::FlagsFromGreyMode(EncodingMode::Other), 0x08u);
    EXPECT_EQ(CameraData::EncodingModeFromText("only"), EncodingMode::Only);
    EXPECT_EQ(CameraData::EncodingModeFromText("All"), EncodingMode::Other);

    Bytes bytes(GreyscaleSettingsItem::Size, 0xEE);
    GreyscaleSettingsItem::Encode(bytes.data(), 70000, -1, 300, EncodingMode::All);
    EXPECT_EQ(bytes, (Bytes{0x01, 0xE0, 16, 0, 0x70, 0x11, 0xFF, 0xFF, //
                            0x2C, 0x01, 0, 0, 0x0E, 0, 0, 0}));
}

TEST(CameraRecords, SegmentAndEdgeItemsPutTheLineFirst)
{
    EXPECT_EQ(GreyscaleSegmentItem::BlobWord(5, 0), 0xA005);
    EXPECT_EQ(GreyscaleSegmentItem::BlobWord(5, 1), 0x8005);
    EXPECT_EQ(GreyscaleSegmentItem::BlobWord(0x10001, 1), 0x8001);

    const std::uint8_t pixels[3] = {9, 8, 7};
    IGreyscaleLineData line{0x0102, 0x0304, pixels, 3}; // column 0x102, line 0x304
    Bytes bytes(GreyscaleSegmentItem::HeadSize, 0xEE);
    GreyscaleSegmentItem::EncodeHead(bytes.data(), CameraData::TagGreyscaleSegment, line);
    EXPECT_EQ(bytes, (Bytes{0x08, 0xC0, 0x04, 0x03, 0x02, 0x01, 3, 0}));

    Bytes edge(EdgeItem::Size, 0xEE);
    EdgeItem::Encode(edge.data(), IEdgePairData{0x0102, 0x0304, 0x0506});
    EXPECT_EQ(edge, (Bytes{0x02, 0xC0, 0x04, 0x03, 0x02, 0x01, 0x06, 0x05}));
}
