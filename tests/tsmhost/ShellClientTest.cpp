// The host's shell client against the devices' own shell and against shells that misbehave:
// mute, greeting only, endless talk, refused connections, and an interrupt from another
// thread.
#include "tsmhost/VShellClient.h"

#include "devices/IShellDevice.h"
#include "devices/VDeviceTelnetConnection.h"
#include "net/VThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace
{

const VNetAddress Loopback(0x7F000001u);

/// Answers "info" with two lines and "echo X" with X; records nothing else.
class VEchoDevice : public IShellDevice
{
public:
    void GetGreeting(std::string& text) override { text = "FakeZtDevice"; }
    void ProcessCommand(const std::string& line, std::string& reply) override
    {
        if (line == "info")
            reply = "Device Type : Zt-M4\nDevice ID : 3\n";
        else if (line.rfind("echo ", 0) == 0)
            reply = line.substr(5);
    }
};

/// A TCP listener on an ephemeral port whose accepted hosts get `greeting` and then, when
/// `flood` is set, more than a megabyte without a prompt.
class VOddPeer
{
public:
    VOddPeer(std::string greeting, bool flood) : m_Greeting(std::move(greeting)), m_Flood(flood)
    {
        m_Listener.Create(VSocketSimple::KindStream);
        m_Listener.BindTo("127.0.0.1", 0);
        m_Listener.Listen(2);
        m_Thread = std::make_unique<VFunctionThread>("odd-peer", [this](VThread&) { Run(); });
        m_Thread->Start();
    }
    ~VOddPeer()
    {
        m_Listener.Interrupt(true);
        m_Host.Interrupt(true);
        m_Thread->Stop();
    }
    std::uint16_t GetPort() const { return m_Listener.GetLocalPort(); }

private:
    void Run()
    {
        if (!m_Listener.Accept(m_Host))
            return;
        m_Host.Send(m_Greeting.data(), m_Greeting.size());
        const std::string chunk(64 * 1024, 'x');
        for (int i = 0; m_Flood && i < 20; ++i)
        {
            if (m_Host.Send(chunk.data(), chunk.size()) <= 0)
                return;
        }
        char buffer[256];
        while (m_Host.Receive(buffer, sizeof(buffer)) > 0)
        {
        }
    }

    const std::string m_Greeting;
    const bool m_Flood;
    VSocketSimple m_Listener;
    VSocketSimple m_Host;
    std::unique_ptr<VFunctionThread> m_Thread;
};

} // namespace

TEST(ShellClient, TalksToTheDevicesShell)
{
    VEchoDevice device;
    VDeviceTelnetConnection shell(device, 0);
    VShellClient client;
    std::string error;
    ASSERT_TRUE(client.Connect(Loopback, shell.GetListeningPort(), 1000, error)) << error;
    std::string banner;
    ASSERT_TRUE(client.ReadGreeting(1000, banner, error)) << error;
    EXPECT_EQ(banner, "FakeZtDevice");
    std::string reply;
    ASSERT_TRUE(client.Command("info", 1000, reply, error)) << error;
    EXPECT_EQ(reply, "Device Type : Zt-M4\nDevice ID : 3\n");
    // A command without reply text is answered with the prompt alone.
    ASSERT_TRUE(client.Command("portset 20000", 1000, reply, error)) << error;
    EXPECT_EQ(reply, "");
    ASSERT_TRUE(client.Command("echo last", 1000, reply, error)) << error;
    EXPECT_EQ(reply, "last");
    EXPECT_FALSE(client.Command("two\nlines", 1000, reply, error));
    EXPECT_EQ(error, "a command line cannot hold a line feed");
}

TEST(ShellClient, MisbehavingShellsGiveClearErrorsInTime)
{
    using Clock = std::chrono::steady_clock;
    std::string error;
    std::string text;
    // Mute: no greeting within the limit.
    {
        VOddPeer mute("", false);
        VShellClient client;
        ASSERT_TRUE(client.Connect(Loopback, mute.GetPort(), 1000, error)) << error;
        const Clock::time_point start = Clock::now();
        EXPECT_FALSE(client.ReadGreeting(200, text, error));
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(error, "no greeting from 127.0.0.1:" + std::to_string(mute.GetPort()) +
                             ": nothing within 200 ms");
    }
    // Greets, then never answers.
    {
        VOddPeer greeter(std::string("FakeZtDevice") + VShellClient::Prompt, false);
        VShellClient client;
        ASSERT_TRUE(client.Connect(Loopback, greeter.GetPort(), 1000, error)) << error;
        ASSERT_TRUE(client.ReadGreeting(1000, text, error)) << error;
        EXPECT_FALSE(client.Command("info", 200, text, error));
        EXPECT_EQ(error, "no reply to \"info\" from 127.0.0.1:" +
                             std::to_string(greeter.GetPort()) + ": nothing within 200 ms");
    }
    // Talks without end: refused past the limit instead of growing.
    {
        VOddPeer flood("", true);
        VShellClient client;
        ASSERT_TRUE(client.Connect(Loopback, flood.GetPort(), 1000, error)) << error;
        EXPECT_FALSE(client.ReadGreeting(5000, text, error));
        EXPECT_NE(error.find("bytes without a prompt"), std::string::npos) << error;
    }
    // Nobody listens.
    {
        std::uint16_t closed = 0;
        {
            VSocketSimple probe;
            probe.Create(VSocketSimple::KindStream);
            probe.BindTo("127.0.0.1", 0);
            closed = probe.GetLocalPort();
        }
        VShellClient client;
        EXPECT_FALSE(client.Connect(Loopback, closed, 1000, error));
        EXPECT_EQ(error, "cannot connect to the shell at 127.0.0.1:" + std::to_string(closed) +
                             ": Connection refused");
    }
}

TEST(ShellClient, InterruptEndsAWaitAtOnce)
{
    VOddPeer mute("", false);
    VShellClient client;
    std::string error;
    ASSERT_TRUE(client.Connect(Loopback, mute.GetPort(), 1000, error)) << error;
    const auto start = std::chrono::steady_clock::now();
    std::thread interrupter(
        [&client]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            client.Interrupt();
        });
    std::string text;
    EXPECT_FALSE(client.ReadGreeting(20000, text, error));
    interrupter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(error.find("interrupted"), std::string::npos) << error;
    // Later calls fail at once too.
    EXPECT_FALSE(client.Command("info", 20000, text, error));
}
