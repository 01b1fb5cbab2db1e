// The host's end of a TCP connection on 127.0.0.1: a device shell's host, or any peer of a
// listener under test. Every read gives up after a bounded wait.
#pragma once

#include "net/VSocketSimple.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace testsupport
{

/// The device shell's prompt, which ends every answer.
constexpr const char* kShellPrompt = "\nQuorvent $";
/// What a device shell sends first.
constexpr const char* kShellGreeting = "FakeZtDevice\nQuorvent $";

/// How a client saw its connection end.
enum class End
{
    Orderly,  // end of stream
    Reset,    // connection reset
    TimedOut, // nothing within the wait
    Data      // more data arrived instead
};

/// One TCP client on 127.0.0.1. Every read gives up after the wait given at construction.
/// Used on one thread. Not copyable.
class VLoopbackClient
{
public:
    using Clock = std::chrono::steady_clock;

    explicit VLoopbackClient(std::uint32_t waitMs = 5000) : m_WaitMs(waitMs) {}
    VLoopbackClient(const VLoopbackClient&) = delete;
    VLoopbackClient& operator=(const VLoopbackClient&) = delete;

    /// Connects once to 127.0.0.1:`port`.
    bool Connect(std::uint16_t port);

    /// Connects to the device shell on 127.0.0.1:`port`, retrying until `deadline` (the shell
    /// may not listen yet), and reads the greeting up to the prompt (GetGreeting). False when
    /// no greeting with the prompt came.
    bool ConnectToShell(std::uint16_t port, Clock::time_point deadline);

    bool Send(const std::string& text);

    /// Reads until the received text ends with `suffix`; returns what came, or what came
    /// followed by "<end>" / "<timeout>" when the suffix did not.
    std::string ReadUntil(const std::string& suffix);
    /// Reads one shell answer: everything up to and including the next prompt.
    std::string ReadAnswer() { return ReadUntil(kShellPrompt); }
    /// Reads up to the next line feed and returns the line without it; "<end>" or
    /// "<timeout>" follow what came when no line feed did.
    std::string ReadLine();

    /// Sends `line` and a line feed to a shell; its reply without the prompt, or nothing
    /// when the prompt did not come within `timeout`.
    std::optional<std::string> Command(const std::string& line,
                                       std::chrono::milliseconds timeout = std::chrono::seconds(5));
    /// The greeting ConnectToShell read, without the prompt.
    const std::string& GetGreeting() const { return m_Greeting; }

    /// Waits for the end of the connection.
    End WaitForEnd();
    /// True when nothing (neither data nor the end) arrives within `ms`.
    bool IsQuietFor(std::uint32_t ms);

    /// Half-closes: the other side sees the end of the stream, this one can still read.
    void ShutdownSending();
    /// Closes so that the other side sees a reset.
    void Abort() { m_Socket.Close(false); }
    void Close() { m_Socket.Close(true); }

    /// The socket, for a test that accepts into it.
    VSocketSimple& Socket() { return m_Socket; }

private:
    bool WaitReadable(Clock::time_point deadline);
    /// Reads until the text ends with the prompt, which it removes; false at the deadline or
    /// the end of the stream.
    bool ReadToPrompt(std::string& text, Clock::time_point deadline);

    std::uint32_t m_WaitMs;
    VSocketSimple m_Socket;
    std::string m_Greeting;
};

} // namespace testsupport
