// The host's side of a device's command shell: connect, read the greeting, send a line and
// read its reply up to the prompt, each within a time limit.
#pragma once

#include "net/VNetAddress.h"
#include "net/VSocketSimple.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

/// One TCP connection to a device shell. Every reply ends with the prompt ("\nQuorvent $");
/// the text before it is the reply. Every wait is bounded by the caller's time limit, and a
/// reply longer than MaxReplyBytes is refused, so a device that never answers or talks
/// without end cannot hold the caller.
///
/// Threading contract: one owner thread connects, talks and closes; Interrupt may be called
/// from any other thread to end a wait at once (the call in progress and every later one then
/// fail with "interrupted"); the owner still closes. Not copyable.
class VShellClient
{
public:
    /// The prompt that ends the greeting and every reply.
    static const char* const Prompt;
    static constexpr std::size_t MaxReplyBytes = 1 << 20;

    VShellClient() = default;
    VShellClient(const VShellClient&) = delete;
    VShellClient& operator=(const VShellClient&) = delete;

    /// Connects to `address`:`port` within `timeoutMs`. False with the reason in `error`.
    bool Connect(const VNetAddress& address, std::uint16_t port, std::uint32_t timeoutMs,
                 std::string& error);
    /// Reads the greeting: the banner word followed by the prompt. `banner` receives the text
    /// before the prompt.
    bool ReadGreeting(std::uint32_t timeoutMs, std::string& banner, std::string& error);
    /// Sends `line` and a line feed, then reads the reply up to the prompt. The line must not
    /// hold a line feed.
    bool Command(const std::string& line, std::uint32_t timeoutMs, std::string& reply,
                 std::string& error);
    /// Closes the connection (owner thread).
    void Close();
    /// Ends any wait in progress at once. Any thread.
    void Interrupt();

    bool IsConnected() const { return m_Socket.IsValid(); }

private:
    /// Reads until the received bytes end with the prompt; moves the text before it into
    /// `text`.
    bool ReadUntilPrompt(std::uint32_t timeoutMs, std::string& text, std::string& error);

    VSocketSimple m_Socket;
    std::string m_Pending;                  // received bytes not yet handed out
    std::string m_Where;                    // "127.0.0.1:9001", for messages
    std::atomic<bool> m_Interrupted{false}; // set by Interrupt from any thread
};
