// Test helpers: a blocking loopback TCP peer and a connected TCP socket pair.
#pragma once

#include "net/VSocketSimple.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

namespace nettest
{
/// How a peer saw its connection end.
enum class End
{
    Orderly,  // end of stream
    Reset,    // connection reset
    TimedOut, // nothing within the receive time-out
    Data      // more data arrived instead
};

/// A client on 127.0.0.1 whose reads give up after five seconds.
class VTestPeer
{
public:
    bool Connect(uint16_t port)
    {
        return m_Socket.Create(VSocketSimple::KindStream) && m_Socket.Connect("127.0.0.1", port) &&
               m_Socket.SetReceiveTimeout(5000);
    }

    bool SendText(const std::string& text)
    {
        return m_Socket.Send(text.data(), text.size()) == static_cast<int>(text.size());
    }

    /// Reads up to and without the next line feed; "<timeout>" or "<end>" when none comes.
    std::string ReadLine()
    {
        std::string line;
        char byte = 0;
        for (;;)
        {
            const int received = m_Socket.Receive(&byte, 1);
            if (received == 0)
                return line + "<end>";
            if (received < 0)
                return line + "<timeout>";
            if (byte == '\n')
                return line;
            line += byte;
        }
    }

    End WaitForEnd()
    {
        char byte = 0;
        const int received = m_Socket.Receive(&byte, 1);
        if (received == 0)
            return End::Orderly;
        if (received > 0)
            return End::Data;
        return errno == ECONNRESET ? End::Reset : End::TimedOut;
    }

    /// True if something (data or the end) becomes readable within `ms`.
    bool IsReadableWithin(uint32_t ms)
    {
        std::vector<VSocketSimple*> readers{&m_Socket};
        std::vector<VSocketSimple*> writers;
        return VSocketSimple::Select(readers, writers, ms) && !readers.empty();
    }

    /// Closes so that the other side sees a reset.
    void Abort() { m_Socket.Close(false); }
    void Close() { m_Socket.Close(true); }

    VSocketSimple m_Socket;
};

/// Two connected loopback TCP sockets.
struct VSocketPair
{
    VSocketPair()
    {
        VSocketSimple listener;
        EXPECT_TRUE(listener.Create(VSocketSimple::KindStream));
        EXPECT_TRUE(listener.BindTo("127.0.0.1", 0));
        EXPECT_TRUE(listener.Listen(1));
        EXPECT_TRUE(m_Client->Create(VSocketSimple::KindStream));
        EXPECT_TRUE(m_Client->Connect("127.0.0.1", listener.GetLocalPort()));
        EXPECT_TRUE(listener.Accept(*m_Server));
        m_Client->SetReceiveTimeout(5000);
        m_Server->SetReceiveTimeout(5000);
    }

    std::shared_ptr<VSocketSimple> m_Client = std::make_shared<VSocketSimple>();
    std::shared_ptr<VSocketSimple> m_Server = std::make_shared<VSocketSimple>();
};
} // namespace nettest
