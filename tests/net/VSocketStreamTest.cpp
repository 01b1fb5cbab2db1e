#include "net/VSocketStream.h"

#include "VSocketPair.h"
#include "net/VThread.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using nettest::VSocketPair;

namespace
{
/// True if the socket has something to read within `ms`.
bool IsReadableWithin(VSocketSimple& socket, uint32_t ms)
{
    std::vector<VSocketSimple*> readers{&socket};
    std::vector<VSocketSimple*> writers;
    return VSocketSimple::Select(readers, writers, ms) && !readers.empty();
}
} // namespace

TEST(SocketStream, BytesLeaveOnlyOnFlushAndAnEmptyFlushSendsNothing)
{
    VSocketPair pair;
    VSocketOutputStream out(pair.m_Server);
    out.flush();
    EXPECT_TRUE(out.good()) << "flushing nothing succeeds";
    EXPECT_FALSE(IsReadableWithin(*pair.m_Client, 50)) << "and sends nothing";

    out << "abc";
    EXPECT_FALSE(IsReadableWithin(*pair.m_Client, 50)) << "held until the flush";
    out.flush();
    EXPECT_TRUE(out.good());
    char received[8] = {};
    EXPECT_EQ(pair.m_Client->Receive(received, sizeof received), 3);
    EXPECT_EQ(std::string(received, 3), "abc");
    EXPECT_EQ(out.rdbuf()->GetPendingSize(), 0u);
    EXPECT_EQ(out.rdbuf()->GetSendCapacity(), VSocketBuffer::InitialSendCapacity)
        << "the capacity is kept after a flush";
}

TEST(SocketStream, SendAreaGrowsByDoublingUpToItsBound)
{
    VSocketPair pair;
    VSocketOutputStream out(pair.m_Server);
    const std::string block(10000, 'b');
    out << block;
    EXPECT_EQ(out.rdbuf()->GetSendCapacity(), 16384u);
    EXPECT_EQ(out.rdbuf()->GetPendingSize(), block.size());

    // Far more than the bound without a flush: the reader must see it all, memory stays bounded.
    const size_t total = 3 * VSocketBuffer::MaxSendCapacity + 123;
    size_t received = 0;
    VFunctionThread reader("reader",
                           [&](VThread&)
                           {
                               std::vector<char> chunk(65536);
                               while (received < total + block.size())
                               {
                                   const int count =
                                       pair.m_Client->Receive(chunk.data(), chunk.size());
                                   if (count <= 0)
                                       break;
                                   received += static_cast<size_t>(count);
                               }
                           });
    reader.Start();
    for (size_t written = 0; written < total; written += block.size())
        out.write(block.data(),
                  static_cast<std::streamsize>(std::min(block.size(), total - written)));
    EXPECT_LE(out.rdbuf()->GetSendCapacity(), VSocketBuffer::MaxSendCapacity);
    out.flush();
    EXPECT_TRUE(out.good());
    reader.Join();
    EXPECT_EQ(received, total + block.size());
}

TEST(SocketStream, PeerCloseIsEndOfStreamAndResetIsBad)
{
    {
        VSocketPair pair;
        VSocketInputStream in(pair.m_Server);
        ASSERT_EQ(pair.m_Client->Send("xy", 2), 2);
        pair.m_Client->Close(true);
        std::string text;
        in >> text;
        EXPECT_EQ(text, "xy");
        EXPECT_TRUE(in.eof());
        EXPECT_FALSE(in.bad());
    }
    {
        VSocketPair pair;
        VSocketInputStream in(pair.m_Server);
        pair.m_Client->Close(false);
        char byte = 0;
        EXPECT_FALSE(in.get(byte));
        EXPECT_TRUE(in.bad()) << "a receive error is the bad bit, not an end of stream";
        EXPECT_TRUE(in.rdbuf()->HasReceiveError());
    }
    {
        // A receive time-out is an error as well.
        VSocketPair pair;
        pair.m_Server->SetReceiveTimeout(10);
        VSocketInputStream in(pair.m_Server);
        char byte = 0;
        EXPECT_FALSE(in.get(byte));
        EXPECT_TRUE(in.bad());
    }
}

TEST(SocketStream, BulkAndSmallReadsDeliverEveryByteInOrder)
{
    VSocketPair pair;
    std::string sent(20000, '\0');
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7);
    VSocketStream peer(pair.m_Client);
    peer.write(sent.data(), static_cast<std::streamsize>(sent.size()));
    peer.flush();
    ASSERT_TRUE(peer.good());

    VSocketInputStream in(pair.m_Server);
    std::string got(sent.size(), '\0');
    in.read(got.data(), 3);        // small: through the block
    in.read(got.data() + 3, 9000); // bulk: straight into memory
    for (size_t i = 9003; i < got.size(); ++i)
        got[i] = static_cast<char>(in.get()); // one by one
    EXPECT_TRUE(in.good());
    EXPECT_EQ(got, sent);
    EXPECT_EQ(in.rdbuf()->in_avail(), 0) << "nothing waiting";
}
