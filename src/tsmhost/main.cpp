// tsmhost: a stand-in for the capture host (the HAL). For now it sends one
// broadcast command datagram per run.
#include "tsmhost/BroadcastCommandLine.h"
#include "tsmhost/BroadcastEncoder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr int kExitSent = 0;
constexpr int kExitSendFailed = 1;
constexpr int kExitUsage = 2;

const char* const kToolUsage = "Usage: tsmhost broadcast <command> [options]\n"
                               "Run \"tsmhost broadcast --help\" for the commands.\n";

/// Closes the descriptor when it goes.
class VFileDescriptor
{
public:
    explicit VFileDescriptor(int fd) : m_Fd(fd) {}
    ~VFileDescriptor()
    {
        if (m_Fd >= 0)
            close(m_Fd);
    }
    VFileDescriptor(const VFileDescriptor&) = delete;
    VFileDescriptor& operator=(const VFileDescriptor&) = delete;
    int Get() const { return m_Fd; }

private:
    int m_Fd;
};

sockaddr_in SocketAddress(const VNetAddress& address, uint16_t port)
{
    sockaddr_in in = {};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = address.GetNetworkOrder();
    return in;
}

/// Sends the request's datagram; on failure prints why and returns false.
bool Send(const VBroadcastRequest& request)
{
    VFileDescriptor socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (socket.Get() < 0)
    {
        std::fprintf(stderr, "tsmhost: cannot open a UDP socket: %s\n", std::strerror(errno));
        return false;
    }
    const int on = 1;
    setsockopt(socket.Get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    if (!request.m_Source.IsEmpty())
    {
        const sockaddr_in source = SocketAddress(request.m_Source, 0);
        if (bind(socket.Get(), reinterpret_cast<const sockaddr*>(&source), sizeof(source)) != 0)
        {
            std::fprintf(stderr, "tsmhost: cannot send from %s: %s\n",
                         request.m_Source.ToString().c_str(), std::strerror(errno));
            return false;
        }
    }
    const std::vector<uint8_t> datagram = EncodeBroadcastWords(request.m_Words);
    const sockaddr_in destination = SocketAddress(request.m_Destination, request.m_Port);
    const ssize_t sent =
        sendto(socket.Get(), datagram.data(), datagram.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&destination), sizeof(destination));
    if (sent != static_cast<ssize_t>(datagram.size()))
    {
        std::fprintf(stderr, "tsmhost: cannot send to %s:%u: %s\n",
                     request.m_Destination.ToString().c_str(), request.m_Port,
                     sent < 0 ? std::strerror(errno) : "datagram cut short");
        return false;
    }
    std::printf("tsmhost: sent %s (%zu bytes) to %s:%u\n", request.m_Name.c_str(), datagram.size(),
                request.m_Destination.ToString().c_str(), request.m_Port);
    return true;
}

bool WantsHelp(const std::vector<std::string>& args)
{
    for (const std::string& arg : args)
    {
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] != "broadcast")
    {
        const bool help = !args.empty() && WantsHelp(args);
        std::fputs(kToolUsage, help ? stdout : stderr);
        return help ? kExitSent : kExitUsage;
    }
    const std::vector<std::string> commandArgs(args.begin() + 1, args.end());
    if (WantsHelp(commandArgs))
    {
        std::fputs(BroadcastUsageText(), stdout);
        return kExitSent;
    }
    VBroadcastRequest request;
    std::string error;
    if (!ParseBroadcastCommandLine(commandArgs, request, error))
    {
        std::fprintf(stderr, "tsmhost: %s\n%s", error.c_str(), kToolUsage);
        return kExitUsage;
    }
    return Send(request) ? kExitSent : kExitSendFailed;
}
