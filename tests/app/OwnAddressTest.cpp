#include "app/OwnAddress.h"

#include <gtest/gtest.h>

namespace
{

VNetAddress A(const char* text)
{
    VNetAddress address;
    EXPECT_TRUE(address.FromString(text)) << text;
    return address;
}

} // namespace

TEST(OwnAddress, PrefersTheLastResolvedAddressThatIsNotLoopback)
{
    EXPECT_EQ(ChooseOwnAddress({A("10.0.0.5"), A("192.168.1.7")}, {A("172.16.0.1")}),
              A("192.168.1.7"));
    EXPECT_EQ(ChooseOwnAddress({A("10.0.0.5"), A("127.0.1.1")}, {A("172.16.0.1")}), A("10.0.0.5"));
}

TEST(OwnAddress, FallsBackToAnInterfaceWhenTheHostNameIsLoopback)
{
    // Debian maps the host name to 127.0.1.1.
    EXPECT_EQ(ChooseOwnAddress({A("127.0.1.1")},
                               {A("127.0.0.1"), A("0.0.0.0"), A("10.9.0.1"), A("10.9.1.1")}),
              A("10.9.0.1"));
    // The host name does not resolve at all.
    EXPECT_EQ(ChooseOwnAddress({}, {A("192.168.0.2")}), A("192.168.0.2"));
    // Nothing but loopback anywhere.
    EXPECT_EQ(ChooseOwnAddress({A("127.0.1.1")}, {A("127.0.0.1")}), A("127.0.0.1"));
    EXPECT_EQ(ChooseOwnAddress({}, {}), A("127.0.0.1"));
}

TEST(OwnAddress, ResolvesToSomeUsableAddress)
{
    const VNetAddress own = ResolveOwnAddress();
    EXPECT_FALSE(own.IsEmpty());
    EXPECT_TRUE(!IsLoopbackAddress(own) || own == A("127.0.0.1")) << own.ToString();
}
