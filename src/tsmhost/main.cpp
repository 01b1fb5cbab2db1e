// tsmhost: a stand-in for the capture host (the HAL): runs a rig ("run"), talks to one
// device's shell ("shell") or sends one broadcast command ("broadcast").
#include "cli/CommandLine.h"
#include "tsmhost/BroadcastCommandLine.h"
#include "tsmhost/BroadcastEncoder.h"
#include "tsmhost/RunCommandLine.h"
#include "tsmhost/ShellCommand.h"
#include "tsmhost/VHostRun.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

constexpr int kExitSent = 0;
constexpr int kExitSendFailed = 1;
constexpr int kExitUsage = 2;

/// Set by SIGINT and SIGTERM during "run": the run stops and reports.
std::atomic<bool> g_StopRequested{false};

void OnStopSignal(int)
{
    g_StopRequested.store(true);
}

void InstallStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader of the output that goes away (tsmhost run | head) must not end the run before
    // it has stopped the rig: writes then just fail.
    signal(SIGPIPE, SIG_IGN);
}

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

} // namespace

int main(int argc, char* argv[])
{
    // Lines leave at their end, also into a pipe: scripts read the events as they happen.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    CLI::App app("A stand-in for the capture host (the HAL): runs a rig, talks to one device's "
                 "shell or sends one broadcast command.",
                 "tsmhost");
    CommandLine::Configure(app);
    app.require_subcommand(1);
    VRunOptions runOptions;
    CLI::App* run = app.add_subcommand("run", "play the whole capture host");
    DeclareRunOptions(*run, runOptions);
    VShellOptions shellOptions;
    CLI::App* shell = app.add_subcommand("shell", "send commands to one device's shell");
    DeclareShellOptions(*shell, shellOptions);
    VBroadcastCommandLine broadcastCommandLine;
    CLI::App* broadcast =
        app.add_subcommand("broadcast", "send one broadcast command datagram as the HAL does");
    broadcastCommandLine.Declare(*broadcast);

    const CommandLine::VParseResult parsed =
        CommandLine::Parse(app, std::vector<std::string>(argv + 1, argv + argc));
    VBroadcastRequest request;
    std::string error = parsed.Text;
    switch (parsed.Outcome)
    {
    case CommandLine::EOutcome::HelpShown:
    case CommandLine::EOutcome::VersionShown:
        std::fputs(parsed.Text.c_str(), stdout);
        return kExitSent;
    case CommandLine::EOutcome::Parsed:
        if (run->parsed())
        {
            InstallStopSignals();
            VHostRun host(runOptions, g_StopRequested, stdout, stderr);
            return host.Run();
        }
        if (shell->parsed())
            return RunShellCommand(shellOptions, stdout, stderr);
        if (broadcastCommandLine.MakeRequest(*broadcast, request, error))
            return Send(request) ? kExitSent : kExitSendFailed;
        break;
    case CommandLine::EOutcome::Refused:
        break;
    }
    std::fprintf(stderr, "tsmhost: %s\n%s", error.c_str(), CommandLine::HelpOfChosen(app).c_str());
    return kExitUsage;
}
