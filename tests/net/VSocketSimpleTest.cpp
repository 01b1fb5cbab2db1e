#include "net/VSocketSimple.h"

#include "net/VDataOutSocket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>

#include <string>
#include <vector>

TEST(SocketSimple, CreateRefusesAnOpenSocketAndUnknownKinds)
{
    VSocketSimple socket;
    EXPECT_FALSE(socket.IsValid());
    EXPECT_FALSE(socket.Create(2)) << "kind 2 is neither datagram nor stream";
    EXPECT_FALSE(socket.IsValid()) << "a refused Create leaves the socket unopened";

    ASSERT_TRUE(socket.Create(VSocketSimple::KindStream));
    const int handle = socket.GetHandle();
    EXPECT_EQ(::fcntl(handle, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC) << "sockets are close-on-exec";
    EXPECT_FALSE(socket.Create(VSocketSimple::KindDatagram)) << "already open";
    EXPECT_FALSE(socket.Create(2));
    EXPECT_EQ(socket.GetHandle(), handle) << "the open socket is kept as it was";
    EXPECT_EQ(socket.GetKind(), VSocketSimple::KindStream);

    EXPECT_TRUE(socket.Close());
    EXPECT_FALSE(socket.IsValid());
    EXPECT_FALSE(socket.Close()) << "closing twice fails";
}

TEST(SocketSimple, OperationsOnAnUnopenedSocketFail)
{
    VSocketSimple socket;
    char byte = 0;
    sockaddr_in source{};
    EXPECT_FALSE(socket.Bind(0));
    EXPECT_FALSE(socket.Listen(1));
    EXPECT_FALSE(socket.SetNoDelay(true));
    EXPECT_FALSE(socket.Interrupt(true));
    EXPECT_EQ(socket.Send(&byte, 1), -1);
    EXPECT_EQ(socket.Receive(&byte, 1), -1);
    EXPECT_EQ(socket.ReceiveFrom(&byte, 1, source), -1);
    VSocketSimple target;
    EXPECT_FALSE(socket.Accept(target));
}

TEST(SocketSimple, DatagramSocketsCannotListen)
{
    VSocketSimple socket;
    ASSERT_TRUE(socket.Create(VSocketSimple::KindDatagram));
    EXPECT_FALSE(socket.Listen(1));
}

TEST(SocketSimple, FailedConnectClosesTheSocket)
{
    VSocketSimple unused;
    ASSERT_TRUE(unused.Create(VSocketSimple::KindStream));
    ASSERT_TRUE(unused.BindTo("127.0.0.1", 0)); // bound, not listening: connects are refused
    VSocketSimple client;
    ASSERT_TRUE(client.Create(VSocketSimple::KindStream));
    EXPECT_FALSE(client.ConnectWithTimeout("127.0.0.1", unused.GetLocalPort(), 2000));
    EXPECT_FALSE(client.IsValid());
    ASSERT_TRUE(client.Create(VSocketSimple::KindStream));
    EXPECT_FALSE(client.Connect("127.0.0.1", unused.GetLocalPort()));
    EXPECT_FALSE(client.IsValid());
    ASSERT_TRUE(client.Create(VSocketSimple::KindStream));
    EXPECT_FALSE(client.Connect("no such host.invalid", 1));
    EXPECT_FALSE(client.IsValid());
}

TEST(SocketSimple, SelectKeepsOnlyReadySockets)
{
    VSocketSimple quiet;
    VSocketSimple busy;
    ASSERT_TRUE(quiet.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(busy.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(quiet.BindTo("127.0.0.1", 0));
    ASSERT_TRUE(busy.BindTo("127.0.0.1", 0));
    const char byte = 'x';
    ASSERT_EQ(busy.SendTo(&byte, 1, inet_addr("127.0.0.1"), busy.GetLocalPort()), 1);

    std::vector<VSocketSimple*> readers{&quiet, &busy};
    std::vector<VSocketSimple*> writers{&quiet};
    ASSERT_TRUE(VSocketSimple::Select(readers, writers, 5000));
    EXPECT_EQ(readers, (std::vector<VSocketSimple*>{&busy}));
    EXPECT_EQ(writers, (std::vector<VSocketSimple*>{&quiet})) << "an idle UDP socket is writable";

    readers = {&quiet};
    writers.clear();
    ASSERT_TRUE(VSocketSimple::Select(readers, writers, 10));
    EXPECT_TRUE(readers.empty()) << "time-out empties the lists";

    VSocketSimple unopened;
    readers = {&unopened};
    EXPECT_FALSE(VSocketSimple::Select(readers, writers, 0));
    EXPECT_EQ(readers.size(), 1u) << "lists untouched on failure";
}

TEST(DataOutSocket, SendsToItsDestinationAndCanBeReaimed)
{
    VSocketSimple first;
    VSocketSimple second;
    ASSERT_TRUE(first.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(second.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(first.BindTo("127.0.0.1", 0));
    ASSERT_TRUE(second.BindTo("127.0.0.1", 0));
    first.SetReceiveTimeout(5000);
    second.SetReceiveTimeout(5000);

    VDataOutSocket out;
    ASSERT_TRUE(out.Open(inet_addr("127.0.0.1"), first.GetLocalPort()));
    EXPECT_EQ(out.GetDestination().sin_family, AF_INET);
    EXPECT_EQ(out.GetDestination().sin_port, htons(first.GetLocalPort()));
    EXPECT_EQ(out.GetDestinationAddress(), inet_addr("127.0.0.1"));
    bool reuse = false;
    EXPECT_TRUE(out.GetReuseAddress(reuse));
    EXPECT_TRUE(reuse);
    EXPECT_EQ(out.SendDatagram("one", 3), 3);

    char buffer[16] = {};
    EXPECT_EQ(first.Receive(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "one");

    const int handle = out.GetHandle();
    ASSERT_TRUE(out.Open(inet_addr("127.0.0.1"), second.GetLocalPort()));
    EXPECT_EQ(out.GetHandle(), handle) << "re-aiming keeps the open socket";
    EXPECT_EQ(out.SendDatagram("two", 3), 3);
    EXPECT_EQ(second.Receive(buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "two");
}

TEST(DataOutSocket, SendsFromItsSourceAddressWhenThatIsThisMachines)
{
    VSocketSimple receiver;
    ASSERT_TRUE(receiver.Create(VSocketSimple::KindDatagram));
    ASSERT_TRUE(receiver.BindTo("127.0.0.1", 0));
    receiver.SetReceiveTimeout(5000);
    char buffer[16] = {};
    sockaddr_in source{};

    // A rig on 127.0.0.2 sends from 127.0.0.2, whatever route the system would choose.
    VDataOutSocket rig;
    ASSERT_TRUE(rig.Open(inet_addr("127.0.0.1"), receiver.GetLocalPort(), inet_addr("127.0.0.2")));
    ASSERT_EQ(rig.SendDatagram("one", 3), 3);
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, source), 3);
    EXPECT_EQ(source.sin_addr.s_addr, inet_addr("127.0.0.2"));

    // An address that is not this machine's: sent from the system's choice, as before.
    VDataOutSocket elsewhere;
    ASSERT_TRUE(
        elsewhere.Open(inet_addr("127.0.0.1"), receiver.GetLocalPort(), inet_addr("10.0.1.5")));
    ASSERT_EQ(elsewhere.SendDatagram("two", 3), 3);
    ASSERT_EQ(receiver.ReceiveFrom(buffer, sizeof buffer, source), 3);
    EXPECT_EQ(source.sin_addr.s_addr, inet_addr("127.0.0.1"));
}
