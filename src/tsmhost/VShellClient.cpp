#include "tsmhost/VShellClient.h"

#include "devices/VDeviceTelnetConnection.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace
{

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

const char* const VShellClient::Prompt = VDeviceTelnetConnection::Prompt;

bool VShellClient::Connect(const VNetAddress& address, std::uint16_t port, std::uint32_t timeoutMs,
                           std::string& error)
{
    Close();
    m_Where = address.ToString() + ":" + std::to_string(port);
    if (m_Interrupted)
    {
        error = "interrupted";
        return false;
    }
    if (!m_Socket.Create(VSocketSimple::KindStream))
    {
        error = "cannot open a TCP socket: " + std::string(std::strerror(errno));
        return false;
    }
    // Our own connect, so that the reason of a failure (refused, unreachable, no answer)
    // reaches the message.
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    target.sin_addr.s_addr = address.GetNetworkOrder();
    const int handle = m_Socket.GetHandle();
    m_Socket.SetNonBlocking(true);
    int cause = 0;
    bool timedOut = false;
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0)
    {
        cause = errno;
        if (cause == EINPROGRESS)
        {
            cause = 0;
            pollfd entry{handle, POLLOUT, 0};
            int ready = 0;
            do
                ready = ::poll(&entry, 1, static_cast<int>(timeoutMs));
            while (ready < 0 && errno == EINTR);
            socklen_t length = sizeof(cause);
            if (ready == 0)
                timedOut = true;
            else if (ready < 0)
                cause = errno;
            else if (!m_Socket.GetOption(SOL_SOCKET, SO_ERROR, &cause, length))
                cause = errno;
        }
    }
    if (cause == 0 && !timedOut && m_Interrupted)
        cause = EINTR;
    if (timedOut || cause != 0)
    {
        error = "cannot connect to the shell at " + m_Where + ": " +
                (timedOut ? "no answer within " + std::to_string(timeoutMs) + " ms"
                          : std::string(std::strerror(cause)));
        m_Socket.Close(false);
        return false;
    }
    m_Socket.SetNonBlocking(false);
    m_Socket.SetNoDelay(true);
    return true;
}

bool VShellClient::ReadGreeting(std::uint32_t timeoutMs, std::string& banner, std::string& error)
{
    if (!ReadUntilPrompt(timeoutMs, banner, error))
    {
        error = "no greeting from " + m_Where + ": " + error;
        return false;
    }
    return true;
}

bool VShellClient::Command(const std::string& line, std::uint32_t timeoutMs, std::string& reply,
                           std::string& error)
{
    if (!m_Socket.IsValid())
    {
        error = "not connected";
        return false;
    }
    if (line.find('\n') != std::string::npos)
    {
        error = "a command line cannot hold a line feed";
        return false;
    }
    const std::string bytes = line + "\n";
    std::size_t sent = 0;
    while (sent < bytes.size())
    {
        const int count = m_Socket.Send(bytes.data() + sent, bytes.size() - sent);
        if (count <= 0)
        {
            error = "cannot send \"" + line + "\" to " + m_Where + ": " + std::strerror(errno);
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    if (!ReadUntilPrompt(timeoutMs, reply, error))
    {
        error = "no reply to \"" + line + "\" from " + m_Where + ": " + error;
        return false;
    }
    return true;
}

bool VShellClient::ReadUntilPrompt(std::uint32_t timeoutMs, std::string& text, std::string& error)
{
    const std::string prompt = Prompt;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    for (;;)
    {
        const std::size_t end = m_Pending.find(prompt);
        if (end != std::string::npos)
        {
            text.assign(m_Pending, 0, end);
            m_Pending.erase(0, end + prompt.size());
            return true;
        }
        if (m_Pending.size() > MaxReplyBytes)
        {
            error = "more than " + std::to_string(MaxReplyBytes) + " bytes without a prompt";
            return false;
        }
        if (m_Interrupted)
        {
            error = "interrupted";
            return false;
        }
        const int wait = RemainingMs(deadline);
        pollfd entry{m_Socket.GetHandle(), POLLIN, 0};
        const int ready = wait > 0 ? ::poll(&entry, 1, wait) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
        {
            error = ready == 0 ? "nothing within " + std::to_string(timeoutMs) + " ms"
                               : std::string(std::strerror(errno));
            return false;
        }
        const int count = m_Socket.Receive(buffer, sizeof(buffer));
        if (count <= 0)
        {
            error = m_Interrupted ? "interrupted"
                    : count == 0  ? "the device closed the connection"
                                  : std::string(std::strerror(errno));
            return false;
        }
        m_Pending.append(buffer, static_cast<std::size_t>(count));
    }
}

void VShellClient::Close()
{
    if (m_Socket.IsValid())
        m_Socket.Close(true);
    m_Pending.clear();
}

void VShellClient::Interrupt()
{
    m_Interrupted = true;
    m_Socket.Interrupt(true);
}
