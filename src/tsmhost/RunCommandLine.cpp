#include "tsmhost/RunCommandLine.h"

#include "tsmhost/BroadcastCommandLine.h"
#include "tsmhost/HostPorts.h"

#include <charconv>
#include <cmath>

namespace
{

bool ParseSeconds(const std::string& text, double& value)
{
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos)
        return false;
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end && std::isfinite(value);
}

bool ParsePort(const std::string& text, std::uint16_t& port)
{
    std::uint32_t value = 0;
    if (!ParseWord(text, value) || value == 0 || value > 0xFFFF)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

} // namespace

bool ParseRunCommandLine(const std::vector<std::string>& args, VRunOptions& options,
                         std::string& error)
{
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        const std::string& option = args[i];
        if (option == "--json")
        {
            options.Json = true;
            continue;
        }
        if (option.rfind("--", 0) != 0)
        {
            error = "unexpected argument \"" + option + "\"";
            return false;
        }
        if (i + 1 >= args.size())
        {
            error = option + " needs a value";
            return false;
        }
        const std::string& text = args[++i];
        bool good = false;
        std::uint32_t word = 0;
        double seconds = 0.0;
        VNetAddress address;
        if (option == "--hal")
        {
            good = address.FromString(text);
            options.Hal = address;
        }
        else if (option == "--broadcast")
        {
            good = text == "devices" || address.FromString(text);
            options.BroadcastToDevices = text == "devices";
            if (good && !options.BroadcastToDevices)
                options.BroadcastAddress = address;
        }
        else if (option == "--data-port-base")
        {
            good = ParseWord(text, word) && word >= 1024 && word <= HostPorts::MaxDataPortBase;
            options.DataPortBase = word;
            if (!good)
            {
                error = "--data-port-base must lie between 1024 and " +
                        std::to_string(HostPorts::MaxDataPortBase) + " (every block of ports " +
                        "up to base + 5990 must fit)";
                return false;
            }
        }
        else if (option == "--master")
        {
            good = ParseWord(text, word);
            options.Master = word;
        }
        else if (option == "--rate")
        {
            good = ParseSeconds(text, seconds) && seconds >= 1.0 && seconds <= 10000.0;
            options.Rate = seconds;
        }
        else if (option == "--duration")
        {
            good = ParseSeconds(text, seconds) && seconds > 0.0 && seconds <= 1.0e6;
            options.Duration = seconds;
        }
        else if (option == "--wait")
        {
            good = ParseSeconds(text, seconds) && seconds > 0.0 && seconds <= 1.0e6;
            options.Wait = seconds;
        }
        else if (option == "--record")
        {
            good = !text.empty();
            options.Record = text;
        }
        else if (option == "--discovery-port")
            good = ParsePort(text, options.DiscoveryPort);
        else if (option == "--broadcast-port")
            good = ParsePort(text, options.BroadcastPort);
        else if (option == "--shell-port-base")
        {
            good = ParseWord(text, word) && word <= 0xFFFF;
            options.ShellPortBase = word;
        }
        else if (option == "--shell-timeout")
        {
            good = ParseWord(text, word) && word >= 1 && word <= 600000;
            options.ShellTimeoutMs = word;
        }
        else
        {
            error = "unknown option \"" + option + "\"";
            return false;
        }
        if (!good)
        {
            error = "bad value \"" + text + "\" for " + option;
            return false;
        }
    }
    return true;
}

const char* RunUsageText()
{
    return "Usage: tsmhost run [options]\n"
           "Acts as the capture host (the HAL): finds the devices from their AWAKE and ALIVE\n"
           "datagrams, configures each over its shell, starts the rig and receives what it\n"
           "streams, showing a table once a second and a summary at the end.\n"
           "\n"
           "Options:\n"
           "  --hal ADDR             the HAL address; default: this machine's address as tsmCL\n"
           "                         resolves it\n"
           "  --duration S           stop after S seconds of streaming; default: at Ctrl-C\n"
           "  --wait S               give up when no device is heard within S s (default 10)\n"
           "  --master ID            the sync master; default: the sync unit, else the first\n"
           "                         camera\n"
           "  --rate HZ              the frame rate; default: the cameras' SystemFrameRate if\n"
           "                         they report one, else 100\n"
           "  --broadcast ADDR       where broadcast commands go (the limited or subnet\n"
           "                         broadcast address, or \"devices\" for each device's own\n"
           "                         address); default: \"devices\" on loopback, else\n"
           "                         255.255.255.255\n"
           "  --data-port-base N     the first data port (default 20000); device k gets\n"
           "                         N + 10k and the streams of that port + 1, + 1000, + 2000,\n"
           "                         + 3000 and + 5000\n"
           "  --record FILE.x2d      record the camera frames into an X2D trial\n"
           "  --json                 write the summary as JSON on standard output\n"
           "  --shell-timeout MS     limit for a shell's greeting and each reply (default 2000)\n"
           "  --discovery-port N     (default 8570)   --broadcast-port N (default 8666)\n"
           "  --shell-port-base N    a shell listens on N + position (default 9000)\n"
           "\n"
           "Exit status: 0 when every device streamed its frames without loss, 1 when any\n"
           "device lost, reordered or damaged frames, fell silent, restarted or could not\n"
           "be configured (or none was found), 2 bad arguments, 3 the host could not start\n"
           "(a port in use, an address that is not this machine's, a recording that cannot\n"
           "be written).\n";
}

bool ParseShellCommandLine(const std::vector<std::string>& args, VShellOptions& options,
                           std::string& error)
{
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i)
    {
        if (args[i] == "--timeout")
        {
            std::uint32_t value = 0;
            if (i + 1 >= args.size() || !ParseWord(args[i + 1], value) || value == 0)
            {
                error = "--timeout needs a number of milliseconds";
                return false;
            }
            options.TimeoutMs = value;
            ++i;
            continue;
        }
        positional.push_back(args[i]);
    }
    if (positional.empty())
    {
        error = "no device address given (ADDRESS:PORT)";
        return false;
    }
    const std::string& target = positional[0];
    const std::size_t colon = target.rfind(':');
    std::uint16_t port = 0;
    if (colon == std::string::npos || !options.Address.FromString(target.substr(0, colon)) ||
        !ParsePort(target.substr(colon + 1), port))
    {
        error = "\"" + target + "\" is not ADDRESS:PORT (for example 127.0.0.1:9001)";
        return false;
    }
    options.Port = port;
    options.Commands.assign(positional.begin() + 1, positional.end());
    if (options.Commands.empty())
    {
        error = "no command given";
        return false;
    }
    for (const std::string& command : options.Commands)
    {
        if (command.find_first_of("\r\n") != std::string::npos)
        {
            error = "a command cannot hold a line end";
            return false;
        }
    }
    return true;
}

const char* ShellUsageText()
{
    return "Usage: tsmhost shell ADDRESS:PORT COMMAND... [--timeout MS]\n"
           "Connects to one device's command shell (TCP 9000 plus its position), checks the\n"
           "greeting, sends each COMMAND as one line and prints the replies.\n"
           "Example: tsmhost shell 127.0.0.1:9001 info \"datadisable false\"\n"
           "\n"
           "Exit status: 0 when every command was answered, 1 when the device could not be\n"
           "reached or did not answer within the time-out (default 2000 ms), 2 bad arguments.\n";
}
