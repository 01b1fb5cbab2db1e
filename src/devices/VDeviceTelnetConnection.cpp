#include "devices/VDeviceTelnetConnection.h"

#include "lumen/Log.h"

#include <istream>
#include <ostream>

VDeviceTelnetConnection::VDeviceTelnetConnection(IShellDevice& device, uint16_t port,
                                                 uint32_t address)
    : m_Device(device)
{
    StartListening(port, 0, true, address);
}

VDeviceTelnetConnection::~VDeviceTelnetConnection()
{
    // Both here, not only in the base: the hooks are virtual and must not run on a
    // half-destroyed shell.
    StopListening();
    Disconnect(true, VSyncroniser::Infinite, true);
}

std::string VDeviceTelnetConnection::Trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(TrimSet);
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(TrimSet);
    return text.substr(first, last - first + 1);
}

uint64_t VDeviceTelnetConnection::GetDiscardedLineCount() const
{
    return m_DiscardedLines.load(std::memory_order_relaxed);
}

void VDeviceTelnetConnection::OnConnected()
{
    VSocketDataStream* stream = GetStream();
    if (stream == nullptr)
        return;
    std::string greeting;
    m_Device.GetGreeting(greeting);
    greeting += Prompt;
    Write(*stream, greeting);
}

int VDeviceTelnetConnection::Process()
{
    VSocketDataStream* stream = GetStream();
    if (stream == nullptr)
        return 2;
    std::istream& in = stream->GetIStream();

    m_Line.clear();
    bool tooLong = false;
    char last = ' ';
    while (in.good() && last != '\n')
    {
        const int next = in.get();
        if (next == std::char_traits<char>::eof())
            break;
        last = static_cast<char>(next);
        if (m_Line.size() < MaxLineLength)
            m_Line.push_back(last);
        else
            tooLong = true;
    }
    // Cut short by the host's close or a socket error: no answer; the receive loop ends the
    // connection.
    if (!in.good())
        return 0;

    std::string reply;
    if (tooLong)
    {
        m_DiscardedLines.fetch_add(1, std::memory_order_relaxed);
        ZEL_LOG("Telnet", 1, "discarded a command line longer than %zu bytes", MaxLineLength);
    }
    else
    {
        m_Device.ProcessCommand(Trim(m_Line), reply);
    }
    if (m_Line.capacity() > 4096)
        std::string().swap(m_Line); // a long line's memory goes back at once
    reply += Prompt;
    Write(*stream, reply);
    return 0;
}

void VDeviceTelnetConnection::Write(VSocketDataStream& stream, const std::string& text)
{
    std::ostream& out = stream.GetOStream();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
}
