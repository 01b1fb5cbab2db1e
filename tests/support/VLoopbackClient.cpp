#include "support/VLoopbackClient.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <thread>

namespace testsupport
{

bool VLoopbackClient::Connect(std::uint16_t port)
{
    return m_Socket.Create(VSocketSimple::KindStream) && m_Socket.Connect("127.0.0.1", port) &&
           m_Socket.SetReceiveTimeout(m_WaitMs);
}

bool VLoopbackClient::ConnectToShell(std::uint16_t port, Clock::time_point deadline)
{
    while (Clock::now() < deadline)
    {
        m_Socket.Close(false);
        if (m_Socket.Create(VSocketSimple::KindStream) &&
            m_Socket.ConnectWithTimeout("127.0.0.1", port, 500))
        {
            m_Greeting.clear();
            return ReadToPrompt(m_Greeting, deadline);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool VLoopbackClient::Send(const std::string& text)
{
    return m_Socket.Send(text.data(), text.size()) == static_cast<int>(text.size());
}

std::string VLoopbackClient::ReadUntil(const std::string& suffix)
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

std::string VLoopbackClient::ReadLine()
{
    std::string line = ReadUntil("\n");
    if (!line.empty() && line.back() == '\n')
        line.pop_back();
    return line;
}

std::optional<std::string> VLoopbackClient::Command(const std::string& line,
                                                    std::chrono::milliseconds timeout)
{
    if (!Send(line + "\n"))
        return std::nullopt;
    std::string reply;
    if (!ReadToPrompt(reply, Clock::now() + timeout))
        return std::nullopt;
    return reply;
}

End VLoopbackClient::WaitForEnd()
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

bool VLoopbackClient::IsQuietFor(std::uint32_t ms)
{
    return !WaitReadable(Clock::now() + std::chrono::milliseconds(ms));
}

void VLoopbackClient::ShutdownSending()
{
    ::shutdown(m_Socket.GetHandle(), SHUT_WR);
}

bool VLoopbackClient::WaitReadable(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{m_Socket.GetHandle(), POLLIN, 0};
    return ::poll(&entry, 1, left.count() < 0 ? 0 : static_cast<int>(left.count())) == 1;
}

bool VLoopbackClient::ReadToPrompt(std::string& text, Clock::time_point deadline)
{
    const std::string prompt = kShellPrompt;
    while (Clock::now() < deadline)
    {
        if (text.size() >= prompt.size() &&
            text.compare(text.size() - prompt.size(), prompt.size(), prompt) == 0)
        {
            text.resize(text.size() - prompt.size());
            return true;
        }
        pollfd descriptor{m_Socket.GetHandle(), POLLIN, 0};
        if (::poll(&descriptor, 1, 100) <= 0)
            continue;
        char buffer[4096];
        const int received = m_Socket.Receive(buffer, sizeof buffer);
        if (received <= 0)
            return false;
        text.append(buffer, static_cast<std::size_t>(received));
    }
    return false;
}

} // namespace testsupport
