#include "net/VSocketSimple.h"

#include <gtest/gtest.h>

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
