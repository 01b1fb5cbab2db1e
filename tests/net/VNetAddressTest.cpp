#include "net/VNetAddress.h"

#include <gtest/gtest.h>

TEST(NetAddress, DottedQuadRoundTrips)
{
    VNetAddress address;
    EXPECT_TRUE(address.IsEmpty());
    EXPECT_EQ(address.ToString(), "0.0.0.0");
    ASSERT_TRUE(address.FromString("192.168.1.254"));
    EXPECT_EQ(address.GetAddress(), 0xC0A801FEu);
    EXPECT_EQ(address.ToString(), "192.168.1.254");
    EXPECT_EQ(address.GetNetworkOrder(), 0xFE01A8C0u) << "on a little-endian machine";
}

TEST(NetAddress, RejectsAnythingButFourNumbersUpTo255)
{
    VNetAddress address(0x01020304);
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1.2.3.4 ", " 1.2.3.4",
                            "1..3.4", "1.2.3.-4", "+1.2.3.4", "localhost", "1,2,3,4", "1.2.3.4x",
                            "0001.2.3.4"})
    {
        EXPECT_FALSE(address.FromString(bad)) << bad;
        EXPECT_EQ(address.GetAddress(), 0x01020304u) << "old value kept after " << bad;
    }
    EXPECT_TRUE(address.FromString("255.255.255.255"));
    EXPECT_TRUE(address.FromString("010.0.0.1")) << "leading zeros are still decimal";
    EXPECT_EQ(address.GetAddress(), 0x0A000001u);
}
