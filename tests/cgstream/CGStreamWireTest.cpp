// The stream's bytes: the items and the framing against the layout that docs/stream-protocol.md
// gives host developers, and the decoders' refusals.
#include "cgstream/CGStreamWire.h"
#include "cgstream/VFrameInfo.h"
#include "cgstream/VRawItem.h"
#include "cgstream/VStreamInfo.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

TEST(CGStreamWire, ItemsAndRequestsHaveTheDocumentedBytes)
{
    // The host's preamble.
    EXPECT_EQ(CGStreamWire::EncodePreamble(), (Bytes{'O', 'C', 'G', 'S', 1, 0, 0, 0}));

    // A frame information item: type 5, length 4, the frame number, all little-endian.
    EXPECT_EQ(CGStreamWire::EncodeItem(OrvanCGStream::VFrameInfo(0x01020304)),
              (Bytes{5, 0, 0, 0, 4, 0, 0, 0, 0x04, 0x03, 0x02, 0x01}));

    // Stream information: rate in mHz, name length, name.
    EXPECT_EQ(CGStreamWire::EncodeItem(OrvanCGStream::VStreamInfo(100000, "ab")),
              (Bytes{1, 0, 0, 0, 8, 0, 0, 0, 0xA0, 0x86, 0x01, 0x00, 2, 0, 'a', 'b'}));

    // The request: preamble, count, types in increasing order.
    EXPECT_EQ(CGStreamWire::EncodeRequest({5, 1}),
              (Bytes{'O', 'C', 'G', 'S', 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0}));
}

TEST(CGStreamWire, DecodersReadWhatTheEncodersWroteAndRefuseWhatDoesNotFit)
{
    // Round trips through the item decoder, by type.
    const Bytes frame = CGStreamWire::EncodeItem(OrvanCGStream::VFrameInfo(77));
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    ASSERT_TRUE(CGStreamWire::DecodeItemHeader(frame.data(), type, length));
    auto item = CGStreamWire::DecodeItem(type, frame.data() + 8, length);
    const auto* frameInfo = dynamic_cast<const OrvanCGStream::VFrameInfo*>(item.get());
    ASSERT_NE(frameInfo, nullptr);
    EXPECT_EQ(frameInfo->GetFrameNumber(), 77u);

    const Bytes info = CGStreamWire::EncodeItem(OrvanCGStream::VStreamInfo(59940, "tsmhost"));
    item = CGStreamWire::DecodeItem(1, info.data() + 8, info.size() - 8);
    const auto* streamInfo = dynamic_cast<const OrvanCGStream::VStreamInfo*>(item.get());
    ASSERT_NE(streamInfo, nullptr);
    EXPECT_EQ(streamInfo->GetFrameRateMilliHz(), 59940u);
    EXPECT_EQ(streamInfo->GetName(), "tsmhost");

    // A type this library does not decode travels as raw bytes.
    const Bytes payload{9, 8, 7};
    item = CGStreamWire::DecodeItem(42, payload.data(), payload.size());
    const auto* raw = dynamic_cast<const OrvanCGStream::VRawItem*>(item.get());
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->GetType(), 42u);
    EXPECT_EQ(raw->GetPayload(), payload);

    // Known items whose payload is too short, or whose name overruns it, are malformed.
    EXPECT_EQ(CGStreamWire::DecodeItem(5, frame.data() + 8, 3), nullptr);
    EXPECT_EQ(CGStreamWire::DecodeItem(1, info.data() + 8, info.size() - 9), nullptr);
    const Bytes longName{0, 0, 0, 0, 0x01, 0x04}; // a name of 1025 bytes announced
    EXPECT_EQ(CGStreamWire::DecodeItem(1, longName.data(), longName.size()), nullptr);

    // A payload over the limit is refused at its header.
    const Bytes huge{5, 0, 0, 0, 0x01, 0x00, 0x10, 0x00};
    EXPECT_FALSE(CGStreamWire::DecodeItemHeader(huge.data(), type, length));

    // Requests: read back; a wrong preamble or too many types is refused.
    Bytes request = CGStreamWire::EncodeRequest({1, 5, 9});
    std::uint32_t count = 0;
    ASSERT_TRUE(CGStreamWire::DecodeRequestHeader(request.data(), count));
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(CGStreamWire::DecodeRequestedTypes(request.data() + 12, count),
              (std::set<std::uint32_t>{1, 5, 9}));
    request[0] = 'X';
    EXPECT_FALSE(CGStreamWire::DecodeRequestHeader(request.data(), count));
    request = CGStreamWire::EncodeRequest({});
    request[8] = 65;
    EXPECT_FALSE(CGStreamWire::DecodeRequestHeader(request.data(), count));
}
