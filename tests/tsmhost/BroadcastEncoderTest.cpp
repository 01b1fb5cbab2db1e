#include "tsmhost/BroadcastEncoder.h"

#include <gtest/gtest.h>

namespace
{

std::vector<uint8_t> Bytes(std::initializer_list<int> values)
{
    std::vector<uint8_t> bytes;
    for (int value : values)
        bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

} // namespace

TEST(BroadcastEncoder, MasterDatagramIsSixBigEndianWords)
{
    const auto rate = SplitFrameRate(100.5);
    ASSERT_TRUE(rate.has_value());
    EXPECT_EQ(EncodeBroadcastWords(MasterWords(0x02000001, true, *rate)),
              Bytes({0x00, 0x03, 0x00, 0x05, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,
                     0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x01, 0xF4, 0x00, 0x00, 0x00, 0x00}));
}

TEST(BroadcastEncoder, EveryCommandCarriesItsCodeAndWordsInPlace)
{
    // Each command's code, and the word the devices read, at its offset.
    EXPECT_EQ(SyncWords(7), (std::vector<uint32_t>{0x00010001, 7}));
    EXPECT_EQ(ResetWords(0xFFFFFFFF), (std::vector<uint32_t>{0x00020001, 0xFFFFFFFF}));
    EXPECT_EQ(AwakeWords(5), (std::vector<uint32_t>{0x00040006, 0, 5}));
    EXPECT_EQ(PreviewWords(5, true), (std::vector<uint32_t>{0x00050002, 5, 1}));
    EXPECT_EQ(PreviewWords(5, false), (std::vector<uint32_t>{0x00050002, 5, 0}));
    EXPECT_EQ(AlivePingWords(9), (std::vector<uint32_t>{0x00060007, 0, 9}));
    EXPECT_EQ(FrameNumberWords(1000), (std::vector<uint32_t>{0x00070001, 1000}));
    EXPECT_EQ(DataDisableWords(1), (std::vector<uint32_t>{0x00080001, 1}));
    EXPECT_EQ(StrobeDisableWords(3), (std::vector<uint32_t>{0x00090001, 3}));
    EXPECT_EQ(TestSyncWords(), (std::vector<uint32_t>{0x000A0001}));
    EXPECT_EQ(SystemEventWords(0x10), (std::vector<uint32_t>{0x000B0001, 0x10}));
    EXPECT_EQ(EncodeBroadcastWords({0x01020304, 0xA0B0C0D0}),
              Bytes({0x01, 0x02, 0x03, 0x04, 0xA0, 0xB0, 0xC0, 0xD0}));
}

TEST(BroadcastEncoder, FrameRateSplitsIntoWholeHertzAndThousandths)
{
    auto check = [](double hz, uint32_t whole, uint32_t thousandths)
    {
        const auto rate = SplitFrameRate(hz);
        ASSERT_TRUE(rate.has_value()) << hz;
        EXPECT_EQ(rate->m_Whole, whole) << hz;
        EXPECT_EQ(rate->m_Thousandths, thousandths) << hz;
    };
    check(100.5, 100, 500);
    check(59.94, 59, 940);
    check(0.0, 0, 0);
    // Rounding to the nearest thousandth carries into the whole hertz.
    check(29.9996, 30, 0);
    check(4294967295.0, 4294967295u, 0);

    EXPECT_FALSE(SplitFrameRate(-1.0).has_value());
    EXPECT_FALSE(SplitFrameRate(4294967296.0).has_value()) << "whole part must fit 32 bits";
    EXPECT_FALSE(SplitFrameRate(std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(SplitFrameRate(std::numeric_limits<double>::quiet_NaN()).has_value());
}
