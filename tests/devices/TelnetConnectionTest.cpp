// The command shell connection against a scripted device on an ephemeral port: greeting
// first, one answer per line, trimming, the line-length cap, hosts that leave mid-line, a
// second host taking over, and a prompt close.
#include "devices/VDeviceTelnetConnection.h"

#include "support/MillisecondsOf.h"
#include "support/VLoopbackClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace testsupport;

namespace
{

/// Greets like the device base and records the lines it is given; "echo X" replies X,
/// "block" waits until released.
class VScriptedDevice : public IShellDevice
{
public:
    void GetGreeting(std::string& text) override
    {
        if (m_GreetingDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_GreetingDelayMs));
        text = "FakeZtDevice";
    }
    void ProcessCommand(const std::string& line, std::string& reply) override
    {
        std::unique_lock<std::mutex> guard(m_Lock);
        m_Lines.push_back(line);
        m_Signal.notify_all();
        if (line.rfind("echo ", 0) == 0)
            reply = line.substr(5);
        if (line == "block")
            m_Signal.wait_for(guard, std::chrono::seconds(10), [this] { return m_Released; });
    }

    std::vector<std::string> Lines()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Lines;
    }
    bool WaitForLines(size_t count)
    {
        std::unique_lock<std::mutex> guard(m_Lock);
        return m_Signal.wait_for(guard, std::chrono::seconds(5),
                                 [&] { return m_Lines.size() >= count; });
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Released = true;
        m_Signal.notify_all();
    }

    int m_GreetingDelayMs = 0;

private:
    std::mutex m_Lock; // guards m_Lines, m_Released
    std::condition_variable m_Signal;
    std::vector<std::string> m_Lines;
    bool m_Released = false;
};

} // namespace

TEST(TelnetShell, GreetsThenAnswersEachLineWithReplyAndPrompt)
{
    VScriptedDevice device;
    device.m_GreetingDelayMs = 100; // a slow greeting must still come before any answer
    VDeviceTelnetConnection shell(device, 0);
    const uint16_t port = shell.GetListeningPort();
    ASSERT_NE(port, 0);

    VLoopbackClient host;
    ASSERT_TRUE(host.Connect(port));
    // The host types at once, before reading anything.
    ASSERT_TRUE(host.Send("  setframe 100\r\n"));
    const std::string greeting = host.ReadAnswer();
    EXPECT_EQ(greeting, kShellGreeting);
    EXPECT_EQ(greeting.size(), 23u);
    // Blanks and the carriage return are trimmed; an empty reply is the prompt alone.
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    ASSERT_TRUE(device.WaitForLines(1));
    EXPECT_EQ(device.Lines().back(), "setframe 100");

    // A reply comes in front of the prompt; an empty line is answered too; tabs go as well;
    // several lines in one packet are answered one by one.
    ASSERT_TRUE(host.Send("echo hello\n\n\t echo two \t\r\n"));
    EXPECT_EQ(host.ReadAnswer(), std::string("hello") + kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), std::string("two") + kShellPrompt);
    EXPECT_EQ(device.Lines(),
              (std::vector<std::string>{"setframe 100", "echo hello", "", "echo two"}));
    EXPECT_TRUE(host.IsQuietFor(100)) << "no prompt after the answers";
}

TEST(TelnetShell, ALineOverTheCapIsDiscardedAndAnsweredWithThePromptAlone)
{
    VScriptedDevice device;
    VDeviceTelnetConnection shell(device, 0);
    VLoopbackClient host;
    ASSERT_TRUE(host.Connect(shell.GetListeningPort()));
    ASSERT_EQ(host.ReadAnswer(), kShellGreeting);

    // Exactly at the cap (line feed included) the line is still taken.
    const size_t cap = VDeviceTelnetConnection::MaxLineLength;
    ASSERT_TRUE(host.Send("echo " + std::string(cap - 6, 'x') + "\n"));
    EXPECT_EQ(host.ReadAnswer(), std::string(cap - 6, 'x') + kShellPrompt);

    // One byte over: read to its line feed, not kept, not handed to the device.
    ASSERT_TRUE(host.Send("echo " + std::string(cap - 5, 'y') + "\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    // Far over (1 MiB in pieces): the same, and the shell is still in step afterwards.
    const std::string piece(64 * 1024, 'z');
    for (int i = 0; i < 16; ++i)
        ASSERT_TRUE(host.Send(piece));
    ASSERT_TRUE(host.Send("\necho after\n"));
    EXPECT_EQ(host.ReadAnswer(), kShellPrompt);
    EXPECT_EQ(host.ReadAnswer(), std::string("after") + kShellPrompt);
    EXPECT_EQ(shell.GetDiscardedLineCount(), 2u);
    const auto lines = device.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.back(), "echo after");
}

TEST(TelnetShell, AHostThatLeavesMidLineGetsNoAnswer)
{
    VScriptedDevice device;
    VDeviceTelnetConnection shell(device, 0);
    VLoopbackClient host;
    ASSERT_TRUE(host.Connect(shell.GetListeningPort()));
    ASSERT_EQ(host.ReadAnswer(), kShellGreeting);
    ASSERT_TRUE(host.Send("echo complete\necho partial"));
    host.ShutdownSending();
    EXPECT_EQ(host.ReadAnswer(), std::string("complete") + kShellPrompt);
    EXPECT_EQ(host.WaitForEnd(), End::Orderly) << "the partial line was answered";
    EXPECT_EQ(device.Lines(), std::vector<std::string>{"echo complete"});
    // The shell goes on listening for the next host.
    VLoopbackClient next;
    ASSERT_TRUE(next.Connect(shell.GetListeningPort()));
    EXPECT_EQ(next.ReadAnswer(), kShellGreeting);
}

TEST(TelnetShell, ASecondHostTakesOverAndTheFirstSeesAnOrderlyClose)
{
    VScriptedDevice device;
    VDeviceTelnetConnection shell(device, 0);
    VLoopbackClient first;
    ASSERT_TRUE(first.Connect(shell.GetListeningPort()));
    ASSERT_EQ(first.ReadAnswer(), kShellGreeting);

    VLoopbackClient second;
    ASSERT_TRUE(second.Connect(shell.GetListeningPort()));
    EXPECT_EQ(second.ReadAnswer(), kShellGreeting);
    EXPECT_EQ(first.WaitForEnd(), End::Orderly);
    ASSERT_TRUE(second.Send("echo mine\n"));
    EXPECT_EQ(second.ReadAnswer(), std::string("mine") + kShellPrompt);
}

TEST(TelnetShell, ClosesWithinASecondWhileAHostIsAttached)
{
    // Idle host, host in mid-line, host that sends and never reads.
    for (int scenario = 0; scenario < 3; ++scenario)
    {
        VScriptedDevice device;
        auto shell = std::make_unique<VDeviceTelnetConnection>(device, 0);
        VLoopbackClient host;
        ASSERT_TRUE(host.Connect(shell->GetListeningPort()));
        ASSERT_EQ(host.ReadAnswer(), kShellGreeting);
        if (scenario == 1)
        {
            ASSERT_TRUE(host.Send("echo half"));
        }
        if (scenario == 2)
        {
            // Replies pile up unread until the socket buffers are full and the shell's
            // write blocks.
            const std::string lines(8 * 1024, '\n');
            for (int i = 0; i < 64; ++i)
                host.Send(lines);
        }
        EXPECT_LT(MillisecondsOf([&] { shell.reset(); }), 1000) << "scenario " << scenario;
        EXPECT_NE(host.WaitForEnd(), End::TimedOut);
    }
}

TEST(TelnetShell, ClosingWaitsForACommandInProgress)
{
    VScriptedDevice device;
    auto shell = std::make_unique<VDeviceTelnetConnection>(device, 0);
    VLoopbackClient host;
    ASSERT_TRUE(host.Connect(shell->GetListeningPort()));
    ASSERT_EQ(host.ReadAnswer(), kShellGreeting);
    ASSERT_TRUE(host.Send("block\n"));
    ASSERT_TRUE(device.WaitForLines(1));
    std::thread releaser(
        [&]
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            device.Release();
        });
    const auto ms = MillisecondsOf([&] { shell.reset(); });
    releaser.join();
    EXPECT_GE(ms, 150) << "the shell was destroyed under a running command";
    EXPECT_LT(ms, 1000);
}
