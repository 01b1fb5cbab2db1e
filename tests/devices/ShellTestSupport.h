// Test helpers for the shell, status and awake-and-alive tests: a loopback TCP host of the
// command shell and a loopback UDP receiver, both with bounded waits.
#pragma once

#include "net/VSocketSimple.h"

#include <arpa/inet.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell_test
{
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr const char* Prompt = "\nQuorvent $";
constexpr const char* Greeting = "FakeZtDevice\nQuorvent $";

/// How a host saw its connection end.
enum class End
{
    Orderly,  // end of stream
    Reset,    // connection reset
    TimedOut, // nothing within the wait
    Data      // more data arrived instead
};

/// A shell host on 127.0.0.1. Every read gives up after `waitMs`.
class VShellHost
{
public:
    explicit VShellHost(uint32_t waitMs = 5000) : m_WaitMs(waitMs) {}

    bool Connect(uint16_t port)
    {
        return m_Socket.Create(VSocketSimple::KindStream) && m_Socket.Connect("127.0.0.1", port);
    }

    bool Send(const std::string& text)
    {
        return m_Socket.Send(text.data(), text.size()) == static_cast<int>(text.size());
    }

    /// Reads until the received text ends with `suffix`; returns what came, or what came
    /// followed by "<end>" / "<timeout>" when the suffix did not.
    std::string ReadUntil(const std::string& suffix)
    {
        std::string text;
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_WaitMs);
        while (text.size() < suffix.size() ||
               text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        {
            if (!WaitReadable(deadline))
                return text + "<timeout>";
            char byte = 0;
            const int received = m_Socket.Receive(&byte, 1);
            if (received <= 0)
                return text + "<end>";
            text += byte;
        }
        return text;
    }

    /// Reads one answer: everything up to and including the next prompt.
    std::string ReadAnswer() { return ReadUntil(Prompt); }

    /// Waits for the end of the connection.
    End WaitForEnd()
    {
        if (!WaitReadable(Clock::now() + std::chrono::milliseconds(m_WaitMs)))
            return End::TimedOut;
        char byte = 0;
        const int received = m_Socket.Receive(&byte, 1);
        if (received == 0)
            return End::Orderly;
        if (received > 0)
            return End::Data;
        return errno == ECONNRESET ? End::Reset : End::TimedOut;
    }

    /// True when nothing (neither data nor the end) arrives within `ms`.
    bool IsQuietFor(uint32_t ms)
    {
        return !WaitReadable(Clock::now() + std::chrono::milliseconds(ms));
    }

    /// Half-closes: the shell sees the end of the stream, the host can still read.
    void ShutdownSending() { ::shutdown(m_Socket.GetHandle(), SHUT_WR); }
    void Close() { m_Socket.Close(true); }

private:
    bool WaitReadable(Clock::time_point deadline)
    {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd entry{m_Socket.GetHandle(), POLLIN, 0};
        return ::poll(&entry, 1, left.count() < 0 ? 0 : static_cast<int>(left.count())) == 1;
    }

    uint32_t m_WaitMs;
    VSocketSimple m_Socket;
};

/// A UDP socket on 127.0.0.1 with a port of its own (0: an ephemeral one).
class VUdpReceiver
{
public:
    explicit VUdpReceiver(uint16_t port = 0)
    {
        m_Bound = m_Socket.Create(VSocketSimple::KindDatagram) &&
                  (port == 0 || m_Socket.SetReuseAddress(true)) &&
                  m_Socket.BindTo("127.0.0.1", port);
    }

    bool IsBound() const { return m_Bound; }
    uint16_t Port() const { return m_Socket.GetLocalPort(); }

    /// The next datagram, or nothing within `waitMs`.
    std::optional<Bytes> Receive(uint32_t waitMs = 5000)
    {
        pollfd entry{m_Socket.GetHandle(), POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(waitMs)) != 1)
            return std::nullopt;
        Bytes bytes(65536);
        const int length = m_Socket.Receive(bytes.data(), bytes.size());
        if (length < 0)
            return std::nullopt;
        bytes.resize(static_cast<size_t>(length));
        return bytes;
    }

    /// Drops everything already waiting.
    void Drain()
    {
        while (Receive(0))
        {
        }
    }

private:
    VSocketSimple m_Socket;
    bool m_Bound = false;
};

inline uint32_t LoadBig32(const Bytes& bytes, size_t offset)
{
    return (uint32_t{bytes[offset]} << 24) | (uint32_t{bytes[offset + 1]} << 16) |
           (uint32_t{bytes[offset + 2]} << 8) | uint32_t{bytes[offset + 3]};
}
inline uint16_t LoadLittle16(const Bytes& bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}
inline uint32_t LoadLittle32(const Bytes& bytes, size_t offset)
{
    return uint32_t{bytes[offset]} | (uint32_t{bytes[offset + 1]} << 8) |
           (uint32_t{bytes[offset + 2]} << 16) | (uint32_t{bytes[offset + 3]} << 24);
}

/// Milliseconds taken by `action`.
template <class Action> long long MillisecondsOf(Action&& action)
{
    const auto start = Clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}
} // namespace shell_test
