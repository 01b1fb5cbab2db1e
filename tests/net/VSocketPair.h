// A connected pair of loopback TCP sockets, for the stream tests.
#pragma once

#include "net/VSocketSimple.h"

#include <gtest/gtest.h>

#include <memory>

namespace nettest
{
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
