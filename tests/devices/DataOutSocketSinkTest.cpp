// The socket sink: datagrams reach a loopback receiver intact, transient errors are retried
// a bounded number of times, anything else drops the datagram at once; a whole centroid frame
// on the wire; and a frame outbox sent in batches, in order, with the same retry rule.
#include "devices/VDataOutSocketSink.h"
#include "devices/VFrameOutbox.h"
#include "devices/camerawire/VCentroidStreamWriter.h"

#include "net/VDataOutSocket.h"
#include "support/VRecordingSink.h"
#include "support/WireBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <optional>

using namespace testsupport;

namespace
{

/// A UDP socket on 127.0.0.1 and an ephemeral port, read without blocking for long.
class VLoopbackReceiver
{
public:
    VLoopbackReceiver()
    {
        m_Fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (m_Fd >= 0 && bind(m_Fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
            getsockname(m_Fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_Port = ntohs(address.sin_port);
    }
    ~VLoopbackReceiver()
    {
        if (m_Fd >= 0)
            close(m_Fd);
    }
    VLoopbackReceiver(const VLoopbackReceiver&) = delete;
    VLoopbackReceiver& operator=(const VLoopbackReceiver&) = delete;

    std::uint16_t Port() const { return m_Port; }

    /// The next datagram, or nothing after 5 s.
    std::optional<Bytes> Receive()
    {
        pollfd entry{m_Fd, POLLIN, 0};
        if (poll(&entry, 1, 5000) != 1)
            return std::nullopt;
        Bytes bytes(65536);
        const ssize_t length = recv(m_Fd, bytes.data(), bytes.size(), 0);
        if (length < 0)
            return std::nullopt;
        bytes.resize(static_cast<std::size_t>(length));
        return bytes;
    }

private:
    int m_Fd = -1;
    std::uint16_t m_Port = 0;
};

/// Plays a scripted list of errno values (0: success) instead of sending, and records the
/// pauses taken.
class VScriptedSink : public VDataOutSocketSink
{
public:
    VScriptedSink(VDataOutSocket& socket, std::deque<int> script)
        : VDataOutSocketSink(socket, DatagramRetryPolicy{4, std::chrono::microseconds(100)}),
          m_Script(std::move(script))
    {
    }

    int m_Attempts = 0;
    std::vector<int> m_Pauses;

protected:
    int AttemptSend(const std::uint8_t*, std::size_t length) override
    {
        ++m_Attempts;
        const int error = m_Script.empty() ? 0 : m_Script.front();
        if (!m_Script.empty())
            m_Script.pop_front();
        if (error == 0)
            return static_cast<int>(length);
        errno = error;
        return -1;
    }
    /// Batch attempts: a script entry n > 0 sends the first n (at most the batch), -e fails
    /// the first with errno e; an empty script sends everything.
    int AttemptSendBatch(const iovec*, unsigned count) override
    {
        ++m_Attempts;
        const int step = m_Script.empty() ? static_cast<int>(count) : m_Script.front();
        if (!m_Script.empty())
            m_Script.pop_front();
        if (step > 0)
            return std::min(step, static_cast<int>(count));
        errno = -step;
        return -1;
    }
    void PauseBeforeRetry(int error) override
    {
        m_Pauses.push_back(error);
        VDataOutSocketSink::PauseBeforeRetry(error);
    }

private:
    std::deque<int> m_Script;
};

} // namespace

TEST(DataOutSocketSink, DeliversDatagramsIntactOnLoopback)
{
    VLoopbackReceiver receiver;
    ASSERT_NE(receiver.Port(), 0);
    VDataOutSocket socket;
    ASSERT_TRUE(socket.Open(htonl(INADDR_LOOPBACK), receiver.Port()));
    VDataOutSocketSink sink(socket);

    const Bytes payload = {1, 2, 3, 250};
    ASSERT_TRUE(sink.Send(payload.data(), payload.size()));
    ASSERT_TRUE(sink.Send(nullptr, 0)) << "an empty datagram is a datagram too";
    EXPECT_EQ(receiver.Receive(), payload);
    EXPECT_EQ(receiver.Receive(), Bytes{});
    EXPECT_EQ(sink.GetSentCount(), 2u);
    EXPECT_EQ(sink.GetDroppedCount(), 0u);

    // A whole centroid frame of 200 records, as the host would see it.
    VCentroidStreamWriter writer;
    std::vector<ICentroidData> centroids(200, ICentroidData{10.5, 3.25, 2.0, 0.0});
    EXPECT_EQ(writer.SendFrame(sink, centroids, {}, CentroidFrameInfo{}), 3236u);
    for (std::size_t expected : {1392u, 1392u, 416u, 36u})
    {
        const auto datagram = receiver.Receive();
        ASSERT_TRUE(datagram.has_value()) << "a datagram of the frame did not arrive in 5 s";
        EXPECT_EQ(datagram->size(), expected);
    }
}

TEST(DataOutSocketSink, RetriesOnlyTransientErrorsAndBoundsThem)
{
    VDataOutSocket socket; // never opened: the scripted sink does not touch it
    const Bytes payload(100, 7);
    // Would-block, no buffer space and an interrupt, then success: sent on the 4th attempt.
    {
        VScriptedSink sink(socket, {EAGAIN, ENOBUFS, EINTR, 0});
        EXPECT_TRUE(sink.Send(payload.data(), payload.size()));
        EXPECT_EQ(sink.m_Attempts, 4);
        EXPECT_EQ(sink.m_Pauses, (std::vector<int>{EAGAIN, ENOBUFS, EINTR}));
        EXPECT_EQ(sink.GetDroppedCount(), 0u);
    }
    // A socket that stays full: four attempts, then the datagram is dropped and counted.
    {
        VScriptedSink sink(socket, {EAGAIN, EAGAIN, EAGAIN, EAGAIN, EAGAIN, 0});
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(sink.Send(payload.data(), payload.size()));
        EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
        EXPECT_EQ(sink.m_Attempts, 4);
        EXPECT_EQ(sink.GetDroppedCount(), 1u);
        EXPECT_EQ(sink.GetSentCount(), 0u);
    }
    // Errors that a repetition cannot mend drop the datagram at once.
    for (int error : {EHOSTUNREACH, ENETUNREACH, EMSGSIZE, EBADF})
    {
        VScriptedSink sink(socket, {error, 0});
        EXPECT_FALSE(sink.Send(payload.data(), payload.size())) << "errno " << error;
        EXPECT_EQ(sink.m_Attempts, 1);
        EXPECT_EQ(sink.GetDroppedCount(), 1u);
    }
}

TEST(DataOutSocketSink, UnsendableDatagramsAreDroppedWithoutWaiting)
{
    const Bytes payload(100, 7);
    // An unopened socket.
    {
        VDataOutSocket socket;
        VDataOutSocketSink sink(socket);
        EXPECT_FALSE(sink.Send(payload.data(), payload.size()));
        EXPECT_EQ(sink.GetDroppedCount(), 1u);
    }
    // A datagram beyond what UDP can carry.
    {
        VLoopbackReceiver receiver;
        VDataOutSocket socket;
        ASSERT_TRUE(socket.Open(htonl(INADDR_LOOPBACK), receiver.Port()));
        VDataOutSocketSink sink(socket);
        const Bytes huge(70000, 1);
        EXPECT_FALSE(sink.Send(huge.data(), huge.size()));
        EXPECT_EQ(sink.GetDroppedCount(), 1u);
        EXPECT_TRUE(sink.Send(payload.data(), payload.size())) << "the sink carries on";
    }
}

TEST(DataOutSocketSink, AFrameSentAsOneBatchArrivesWholeAndInOrder)
{
    VLoopbackReceiver receiver;
    ASSERT_NE(receiver.Port(), 0);
    VDataOutSocket socket;
    ASSERT_TRUE(socket.Open(htonl(INADDR_LOOPBACK), receiver.Port()));
    VDataOutSocketSink sink(socket);

    // More datagrams than one system call takes, an empty one among them, and one too large
    // for UDP, which alone is dropped.
    VFrameOutbox outbox;
    std::vector<Bytes> sent;
    for (std::size_t i = 0; i < 150; ++i)
    {
        Bytes datagram(i == 7 ? 0 : 1 + (i * 37) % 300, static_cast<std::uint8_t>(i));
        if (!datagram.empty())
            datagram[0] = static_cast<std::uint8_t>(i >> 8);
        ASSERT_TRUE(outbox.Send(datagram.data(), datagram.size()));
        sent.push_back(datagram);
        if (i == 100)
        {
            const Bytes huge(70000, 1);
            ASSERT_TRUE(outbox.Send(huge.data(), huge.size()));
        }
    }
    EXPECT_EQ(outbox.GetQueuedCount(), 151u);
    EXPECT_EQ(outbox.Flush(sink), 70000u) << "the bytes of the one dropped datagram";
    EXPECT_EQ(outbox.GetQueuedCount(), 0u);
    EXPECT_EQ(sink.GetSentCount(), 150u);
    EXPECT_EQ(sink.GetDroppedCount(), 1u);
    for (std::size_t i = 0; i < sent.size(); ++i)
    {
        const auto datagram = receiver.Receive();
        ASSERT_TRUE(datagram.has_value()) << "datagram " << i << " did not arrive in 5 s";
        ASSERT_EQ(*datagram, sent[i]) << "datagram " << i;
    }
}

TEST(DataOutSocketSink, ABatchRetriesTheDatagramThatMetATransientErrorAndGoesOn)
{
    VDataOutSocket socket; // never opened: the scripted sink does not touch it
    const Bytes payload(100, 7);
    const std::vector<VDatagramView> datagrams(5, VDatagramView{payload.data(), payload.size()});
    // Two go, the third waits once for room, then goes; the fourth cannot go at all and is
    // dropped at once; the fifth finds the socket full four times and is dropped.
    VScriptedSink sink(socket, {2, -EAGAIN, 1, -EMSGSIZE, -EAGAIN, -EAGAIN, -EAGAIN, -EAGAIN});
    EXPECT_EQ(sink.SendBatch(datagrams.data(), datagrams.size()), 300u);
    EXPECT_EQ(sink.GetSentCount(), 3u);
    EXPECT_EQ(sink.GetDroppedCount(), 2u);
    EXPECT_EQ(sink.m_Pauses, (std::vector<int>{EAGAIN, EAGAIN, EAGAIN, EAGAIN}));
    EXPECT_EQ(sink.m_Attempts, 8);
}
