// The greyscale stream: protocol-2 headers and settings, the sort by line then column,
// protocol-1 blob words, datagram cuts, the trailer and the closing call, oversized segments.
#include "devices/VByteStringSink.h"
#include "devices/camerawire/CameraRecords.h"
#include "devices/camerawire/PreparedStream.h"
#include "devices/camerawire/VGreyscaleStreamAssembler.h"

#include "support/VRecordingSink.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <string>

using namespace testsupport;
using CameraData::EncodingMode;

namespace
{

struct Segment
{
    std::uint16_t Column;
    std::uint16_t Line;
    Bytes Pixels;
};

/// Owns the lines and pixels that the plain blob records point into.
class VBlobList
{
public:
    void Add(std::uint8_t flag, std::vector<Segment> segments)
    {
        m_Flags.push_back(flag);
        m_Segments.push_back(std::move(segments));
    }

    /// The blob records; valid until the next Add.
    std::span<const IGreyscaleBlobData> Blobs()
    {
        m_Lines.clear();
        m_Blobs.clear();
        for (std::size_t b = 0; b < m_Segments.size(); ++b)
        {
            std::vector<IGreyscaleLineData> lines;
            for (const Segment& s : m_Segments[b])
                lines.push_back({s.Column, s.Line, s.Pixels.empty() ? nullptr : s.Pixels.data(),
                                 static_cast<std::uint16_t>(s.Pixels.size())});
            m_Lines.push_back(std::move(lines));
        }
        for (std::size_t b = 0; b < m_Segments.size(); ++b)
            m_Blobs.push_back({m_Lines[b].empty() ? nullptr : m_Lines[b].data(),
                               static_cast<std::uint16_t>(m_Lines[b].size()), m_Flags[b]});
        return m_Blobs;
    }

private:
    std::vector<std::uint8_t> m_Flags;
    std::vector<std::vector<Segment>> m_Segments;
    std::vector<std::vector<IGreyscaleLineData>> m_Lines;
    std::vector<IGreyscaleBlobData> m_Blobs;
};

GreyscaleFrameInfo Info(std::int32_t protocol, EncodingMode grey = EncodingMode::All,
                        EncodingMode coord = EncodingMode::All)
{
    GreyscaleFrameInfo info;
    info.DeviceId = 9;
    info.FrameNumber = 20;
    info.PreviousFrame = 19;
    info.ProtocolVersion = protocol;
    info.GreyMode = grey;
    info.CoordMode = coord;
    info.Threshold = 128;
    info.MinRatio = 3;
    info.MaxPixelsPerLine = 50;
    info.SystemFrameRate = 100.0;
    return info;
}

/// Two blobs whose segments and edges interleave when sorted by line, then column.
VBlobList SampleBlobs()
{
    VBlobList blobs;
    blobs.Add(0, {{5, 2, {0x31, 0x32, 0x33}}, {1, 1, {0x11, 0x12}}});
    blobs.Add(1, {{0, 2, {0x21}}});
    return blobs;
}
const std::vector<IEdgePairData> SampleEdges = {{5, 2, 88}, {3, 1, 77}};

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length)
{
    return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

std::vector<IEdgePairData> EdgesOnDistinctLines(std::size_t count)
{
    std::vector<IEdgePairData> edges;
    for (std::size_t i = 0; i < count; ++i)
        edges.push_back({1, static_cast<std::uint16_t>(i), 0});
    return edges;
}

} // namespace

TEST(GreyscaleStream, ProtocolTwoFrameThatFitsIsOneDatagram)
{
    VBlobList blobs = SampleBlobs();
    VRecordingSink sink;
    VGreyscaleStreamAssembler assembler;
    const std::uint32_t sent = assembler.SendFrame(sink, Info(2), blobs.Blobs(), SampleEdges);

    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{32 + 16 + 46 + 36}));
    EXPECT_EQ(sent, 130u);
    const Bytes& datagram = sink.m_Datagrams[0];
    // Header copy: index 0, nothing appended before it, 39280 ticks at rate 100, the
    // previous frame directly before, flagged as the last datagram.
    EXPECT_EQ(Slice(datagram, 0, 32), (Bytes{0x09, 0xC0, 0,    0,    20,   0,    0, 0, //
                                             0,    0,    0,    0,    9,    0,    0, 0, //
                                             0xC0, 0xEF, 0x0B, 0x08, 0x70, 0x99, 0, 0, //
                                             1,    0,    0xFF, 0xFF, 1,    0,    1, 0}));
    EXPECT_EQ(Slice(datagram, 32, 16), (Bytes{0x01, 0xE0, 16, 0, 128, 0, 3, 0, //
                                              50, 0, 0, 0, 0x0E, 0, 0, 0}));
    // By line, then column; at line 2 column 5 the segment comes before the edge.
    EXPECT_EQ(Slice(datagram, 48, 46),
              (Bytes{0x08, 0xC0, 1, 0, 1, 0, 2,  0, 0x11, 0x12,       // line 1 column 1
                     0x02, 0xC0, 1, 0, 3, 0, 77, 0,                   // edge line 1 col 3
                     0x08, 0xC0, 2, 0, 0, 0, 1,  0, 0x21,             // line 2 column 0
                     0x08, 0xC0, 2, 0, 5, 0, 3,  0, 0x31, 0x32, 0x33, // line 2 column 5
                     0x02, 0xC0, 2, 0, 5, 0, 88, 0}));                // edge line 2 col 5
    const Bytes trailer = Slice(datagram, 94, 36);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetStreamKind), CameraData::StreamKindGreyscale);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetByteCount), 46u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetCentroidCount), 0u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetPreviousFrame), 19u);
    EXPECT_EQ(U32(trailer, FrameTrailer::OffsetTracking), 0u);

    // The template counted one copy and the settings plus items, yet no second datagram.
    EXPECT_EQ(assembler.GetHeaderTemplate().Index, 1);
    EXPECT_EQ(assembler.GetHeaderTemplate().PayloadBytes, 16u + 46u);

    // The next frame starts its template afresh.
    sink.m_Datagrams.clear();
    assembler.SendFrame(sink, Info(2), {}, {});
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{32 + 16 + 36}));
    EXPECT_EQ(U16(sink.m_Datagrams[0], DatagramHeader_t::OffsetIndex), 0);
}

TEST(GreyscaleStream, ProtocolOneKeepsTheDataOrderWithBlobWords)
{
    VGreyscaleStreamAssembler assembler;
    // Without segments or edges: one datagram holding only the trailer.
    {
        VRecordingSink sink;
        EXPECT_EQ(assembler.SendFrame(sink, Info(1), {}, {}), 36u);
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{36}));
        EXPECT_EQ(U16(sink.m_Datagrams[0], 0), CameraData::TagFrameTrailer);
        EXPECT_EQ(U32(sink.m_Datagrams[0], FrameTrailer::OffsetByteCount), 0u);
    }
    // Segments blob by blob, each headed by its blob word, then the edges.
    {
        VBlobList blobs = SampleBlobs();
        VRecordingSink sink;
        assembler.SendFrame(sink, Info(1), blobs.Blobs(), SampleEdges);
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{46 + 36}));
        EXPECT_EQ(Slice(sink.m_Datagrams[0], 0, 46),
                  (Bytes{0x00, 0xA0, 2, 0, 5, 0, 3,  0, 0x31, 0x32, 0x33, // blob 0, flag 0
                         0x00, 0xA0, 1, 0, 1, 0, 2,  0, 0x11, 0x12,       //
                         0x01, 0x80, 2, 0, 0, 0, 1,  0, 0x21,             // blob 1, flag 1
                         0x02, 0xC0, 2, 0, 5, 0, 88, 0,                   //
                         0x02, 0xC0, 1, 0, 3, 0, 77, 0}));
        EXPECT_EQ(U32(sink.m_Datagrams[0], 46 + FrameTrailer::OffsetByteCount), 46u);
    }
    // "CoordMode" none leaves the edges out, "GreyMode" none the segments.
    {
        VBlobList blobs = SampleBlobs();
        VRecordingSink sink;
        assembler.SendFrame(sink, Info(1, EncodingMode::All, EncodingMode::None), blobs.Blobs(),
                            SampleEdges);
        EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{30 + 36}));
        sink.m_Datagrams.clear();
        assembler.SendFrame(sink, Info(1, EncodingMode::None, EncodingMode::Other), blobs.Blobs(),
                            SampleEdges);
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{16 + 36}));
        EXPECT_EQ(U16(sink.m_Datagrams[0], 0), CameraData::TagEdge);
    }
}

TEST(GreyscaleStream, ProtocolTwoWithoutGreyscaleSendsEdgesOutsideTheTemplateCount)
{
    VBlobList blobs = SampleBlobs();
    VRecordingSink sink;
    VGreyscaleStreamAssembler assembler;
    assembler.SendFrame(sink, Info(2, EncodingMode::None), blobs.Blobs(), SampleEdges);

    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{32 + 16 + 16 + 36}));
    const Bytes& datagram = sink.m_Datagrams[0];
    EXPECT_EQ(U32(datagram, 32 + GreyscaleSettingsItem::OffsetFlags), 0x08u);
    EXPECT_EQ(U16(datagram, 48 + EdgeItem::OffsetColumn), 5) << "edges in the data's order";
    EXPECT_EQ(U16(datagram, 56 + EdgeItem::OffsetColumn), 3);
    EXPECT_EQ(U32(datagram, 64 + FrameTrailer::OffsetByteCount), 16u);
    EXPECT_EQ(assembler.GetHeaderTemplate().PayloadBytes, 16u) << "only the settings count";
}

TEST(GreyscaleStream, EveryProtocolTwoDatagramOpensWithAHeader)
{
    VRecordingSink sink;
    VGreyscaleStreamAssembler assembler;
    const auto edges = EdgesOnDistinctLines(400);
    assembler.SendFrame(sink, Info(2), {}, edges);

    // 32 + 16 + 169 × 8 = 1400, then 32 + 171 × 8 = 1400, then 32 + 60 × 8 + 36.
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{1400, 1400, 548}));
    const std::uint32_t payloads[] = {0, 16 + 169 * 8, 16 + 340 * 8};
    for (std::size_t i = 0; i < 3; ++i)
    {
        const Bytes& datagram = sink.m_Datagrams[i];
        EXPECT_EQ(U16(datagram, 0), CameraData::TagDatagramHeader) << "datagram " << i;
        EXPECT_EQ(U16(datagram, DatagramHeader_t::OffsetIndex), i);
        EXPECT_EQ(U32(datagram, DatagramHeader_t::OffsetPayloadBytes), payloads[i]);
        EXPECT_EQ(U16(datagram, DatagramHeader_t::OffsetFlags), i == 2 ? 1 : 0);
    }
    EXPECT_EQ(U16(sink.m_Datagrams[1], 32 + EdgeItem::OffsetLine), 169) << "sorted by line";
    EXPECT_EQ(U32(sink.m_Datagrams[2], 512 + FrameTrailer::OffsetByteCount), 3200u);
    EXPECT_EQ(assembler.GetHeaderTemplate().Index, 3);
}

TEST(GreyscaleStream, TrailerThatDoesNotFitOpensADatagramWithAHeader)
{
    VRecordingSink sink;
    VGreyscaleStreamAssembler assembler;
    const auto edges = EdgesOnDistinctLines(169); // fills the first datagram to 1400 bytes
    assembler.SendFrame(sink, Info(2), {}, edges);

    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{1400, 32 + 36}));
    EXPECT_EQ(U16(sink.m_Datagrams[0], DatagramHeader_t::OffsetFlags), 0);
    const Bytes& last = sink.m_Datagrams[1];
    EXPECT_EQ(U16(last, 0), CameraData::TagDatagramHeader);
    EXPECT_EQ(U16(last, DatagramHeader_t::OffsetIndex), 1) << "follows the previous index";
    EXPECT_EQ(U32(last, DatagramHeader_t::OffsetPayloadBytes), 16u + 169u * 8u);
    EXPECT_EQ(U16(last, DatagramHeader_t::OffsetFlags), 1) << "the flag lands in the header";
    // The trailer behind it is intact, its previous-frame field included.
    EXPECT_EQ(U16(last, 32), CameraData::TagFrameTrailer);
    EXPECT_EQ(U32(last, 32 + FrameTrailer::OffsetPreviousFrame), 19u);
    EXPECT_EQ(U32(last, 32 + FrameTrailer::OffsetByteCount), 169u * 8u);
}

TEST(GreyscaleStream, OversizedSegmentsGoOutAloneAndNeverOverrunTheBuffer)
{
    VGreyscaleStreamAssembler assembler;
    Bytes wide(2352);
    for (std::size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<std::uint8_t>(i * 7);
    // Protocol 1, a whole line of a 2352-pixel sensor between two short segments.
    {
        VBlobList blobs;
        blobs.Add(1, {{0, 1, Bytes(10, 1)}, {0, 2, wide}, {0, 3, Bytes(10, 3)}});
        VRecordingSink sink;
        const std::uint32_t sent = assembler.SendFrame(sink, Info(1), blobs.Blobs(), {});
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{18, 2360, 18 + 36}));
        EXPECT_EQ(sent, 18u + 2360u + 54u);
        EXPECT_EQ(Slice(sink.m_Datagrams[1], 8, 2352), wide) << "pixels kept exactly";
        EXPECT_EQ(U16(sink.m_Datagrams[1], GreyscaleSegmentItem::OffsetPixelCount), 2352);
        EXPECT_EQ(U32(sink.m_Datagrams[2], 18 + FrameTrailer::OffsetByteCount), 2396u);
    }
    // Protocol 2, a 4704-pixel line: its datagram carries a header too.
    {
        VBlobList blobs;
        Bytes widest(4704, 0x5A);
        blobs.Add(1, {{0, 1, widest}});
        VRecordingSink sink;
        assembler.SendFrame(sink, Info(2), blobs.Blobs(), {});
        ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{48, 32 + 4712, 32 + 36}));
        for (std::uint16_t i = 0; i < 3; ++i)
        {
            EXPECT_EQ(U16(sink.m_Datagrams[i], DatagramHeader_t::OffsetIndex), i);
            EXPECT_EQ(U16(sink.m_Datagrams[i], DatagramHeader_t::OffsetFlags), i == 2 ? 1 : 0);
        }
        EXPECT_EQ(U32(sink.m_Datagrams[2], DatagramHeader_t::OffsetPayloadBytes), 16u + 4712u);
        EXPECT_EQ(Slice(sink.m_Datagrams[1], 40, 4704), widest);
    }
    // The header counts in the fit test: 1388 bytes fit an empty protocol-1 datagram but not
    // one that opens with 32 header bytes; 1400 bytes fill a protocol-1 datagram exactly.
    {
        VBlobList blobs;
        blobs.Add(1, {{0, 1, Bytes(1380, 1)}});
        VRecordingSink sink;
        assembler.SendFrame(sink, Info(2), blobs.Blobs(), {});
        EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{48, 32 + 1388, 32 + 36}));
        sink.m_Datagrams.clear();
        VBlobList exact;
        exact.Add(1, {{0, 1, Bytes(1392, 1)}});
        assembler.SendFrame(sink, Info(1), exact.Blobs(), {});
        EXPECT_EQ(sink.Sizes(), (std::vector<std::size_t>{1400, 36}));
    }
}

TEST(GreyscaleStream, SegmentBeyondTheLargestDatagramIsDroppedWithAConsoleLine)
{
    VBlobList blobs;
    blobs.Add(1, {{0, 1, Bytes(65535, 2)}, {0, 2, Bytes(4, 3)}});
    VRecordingSink sink;
    VGreyscaleStreamAssembler assembler;
    testing::internal::CaptureStdout();
    assembler.SendFrame(sink, Info(1), blobs.Blobs(), {});
    const std::string output = testing::internal::GetCapturedStdout();

    EXPECT_EQ(output, "9: Greyscale item of 65543 bytes does not fit in one datagram; dropped\n");
    EXPECT_EQ(assembler.GetDroppedItemCount(), 1u);
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{12 + 36}));
    EXPECT_EQ(U32(sink.m_Datagrams[0], 12 + FrameTrailer::OffsetByteCount), 12u)
        << "the trailer counts what was sent";
}

TEST(GreyscaleStream, MalformedBlobRecordsAreSkipped)
{
    const IGreyscaleLineData lines[] = {{0, 1, nullptr, 5}, {0, 2, nullptr, 0}};
    const IGreyscaleBlobData blobs[] = {{nullptr, 3, 0}, {lines, 2, 1}};
    for (std::int32_t protocol : {1, 2})
    {
        VRecordingSink sink;
        VGreyscaleStreamAssembler assembler;
        assembler.SendFrame(sink, Info(protocol), blobs, {});
        ASSERT_EQ(sink.m_Datagrams.size(), 1u);
        // Only the empty segment of line 2 remains.
        const std::size_t trailer = sink.m_Datagrams[0].size() - FrameTrailer::Size;
        EXPECT_EQ(U32(sink.m_Datagrams[0], trailer + FrameTrailer::OffsetByteCount), 8u);
    }
}

TEST(GreyscaleStream, SyntheticSourceSendsTheTrailerAlone)
{
    VRecordingSink sink;
    EXPECT_EQ(VGreyscaleStreamAssembler::SendTrailerOnly(sink, 3, 8, 7), 36u);
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{36}));
    EXPECT_EQ(U32(sink.m_Datagrams[0], FrameTrailer::OffsetStreamKind),
              CameraData::StreamKindGreyscale);
    EXPECT_EQ(U32(sink.m_Datagrams[0], FrameTrailer::OffsetPreviousFrame), 7u);
    sink.m_FailAt = {1};
    EXPECT_EQ(VGreyscaleStreamAssembler::SendTrailerOnly(sink, 3, 8, 7), 0u);
}

TEST(PreparedStream, StoredGreyscaleFrameReplaysWithNewFrameNumbers)
{
    // A frame prepared in advance: the assembly's datagrams stored back to back.
    const std::vector<IEdgePairData> edges(200, IEdgePairData{1, 2, 3});
    GreyscaleFrameInfo info;
    info.FrameNumber = 5;
    info.PreviousFrame = 4;
    VByteStringSink store;
    VGreyscaleStreamAssembler assembler;
    assembler.SendFrame(store, info, {}, edges);
    Bytes prepared = store.TakeBytes();
    ASSERT_EQ(prepared.size(), 200u * 8u + 36u);
    EXPECT_TRUE(store.GetBytes().empty());

    FrameTrailer::PatchFrameNumbers(prepared.data() + prepared.size() - FrameTrailer::Size, 1005,
                                    1004);
    VRecordingSink sink;
    PreparedStream::Send(sink, prepared.data(), prepared.size());
    ASSERT_EQ(sink.Sizes(), (std::vector<std::size_t>{1400, 200, 36}));
    EXPECT_EQ(U16(sink.m_Datagrams[2], 0), CameraData::TagFrameTrailer);
    EXPECT_EQ(U32(sink.m_Datagrams[2], FrameTrailer::OffsetFrameNumber), 1005u);
    EXPECT_EQ(U32(sink.m_Datagrams[2], FrameTrailer::OffsetPreviousFrame), 1004u);
    EXPECT_EQ(U32(sink.m_Datagrams[2], FrameTrailer::OffsetByteCount), 1600u);
}
