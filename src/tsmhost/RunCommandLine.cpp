#include "tsmhost/RunCommandLine.h"

#include "cli/CommandLine.h"
#include "tsmhost/BroadcastCommandLine.h"
#include "tsmhost/HostPorts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <vector>

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

/// A reader of seconds or hertz between `low` and `high` (`low` itself allowed when
/// `lowIncluded`) into `target`.
template <typename Target>
std::function<bool(const std::string&)> Decimal(Target& target, double low, bool lowIncluded,
                                                double high)
{
    return [&target, low, lowIncluded, high](const std::string& text)
    {
        double value = 0.0;
        if (!ParseSeconds(text, value) || (lowIncluded ? value < low : value <= low) ||
            value > high)
            return false;
        target = value;
        return true;
    };
}

/// A reader of a word between `low` and `high` into `target`.
template <typename Target>
std::function<bool(const std::string&)> Word(Target& target, std::uint32_t low, std::uint32_t high)
{
    return [&target, low, high](const std::string& text)
    {
        std::uint32_t value = 0;
        if (!ParseWord(text, value) || value < low || value > high)
            return false;
        target = value;
        return true;
    };
}

/// A reader of one of `words` into `target`.
std::function<bool(const std::string&)> OneOf(std::string& target,
                                              std::initializer_list<const char*> words)
{
    return [&target,
            allowed = std::vector<std::string>(words.begin(), words.end())](const std::string& text)
    {
        if (std::find(allowed.begin(), allowed.end(), text) == allowed.end())
            return false;
        target = text;
        return true;
    };
}

/// Runs `declare` on an app of its own named `name` and parses `args` with it.
template <typename Options>
bool ParseAlone(const char* name, void (*declare)(CLI::App&, Options&),
                const std::vector<std::string>& args, Options& options, std::string& error)
{
    CLI::App app("", name);
    CommandLine::Configure(app);
    declare(app, options);
    const CommandLine::VParseResult parsed = CommandLine::Parse(app, args);
    error = parsed.Text;
    return parsed.Outcome == CommandLine::EOutcome::Parsed;
}

constexpr double kSampleClockHz = 135000000.0;

} // namespace

bool SampleClockDivision(double hertz, std::uint32_t& prescaler, std::uint32_t& divisor)
{
    if (!(hertz > 0.0) || !(hertz <= kSampleClockHz))
        return false;
    const double whole = std::round(kSampleClockHz / hertz);
    // The rate must give whole ticks: the rate of the whole ticks is the rate asked for, up to
    // the last digits of a double.
    if (whole < 1.0 || whole > 65535.0 * 65535.0 ||
        std::fabs(kSampleClockHz / whole - hertz) > 1.0e-9 * hertz)
        return false;
    const auto total = static_cast<std::uint64_t>(whole);
    for (std::uint64_t p = 1; p <= 65535; ++p)
    {
        if (total % p == 0 && total / p <= 65535)
        {
            prescaler = static_cast<std::uint32_t>(p);
            divisor = static_cast<std::uint32_t>(total / p);
            return true;
        }
    }
    return false;
}

void DeclareRunOptions(CLI::App& run, VRunOptions& o)
{
    using CommandLine::AddValue;
    AddValue(
        run, "--hal", [&o](const std::string& text) { return o.Hal.emplace().FromString(text); },
        "ADDR", "the HAL address; default: this machine's address as tsmCL resolves it");
    AddValue(run, "--duration", Decimal(o.Duration, 0.0, false, 1.0e6), "S",
             "stop after S seconds of streaming; default: at Ctrl-C");
    AddValue(run, "--wait", Decimal(o.Wait, 0.0, false, 1.0e6), "S",
             "give up when no device is heard within S s (default 10)");
    AddValue(run, "--master", Word(o.Master, 0, 0xFFFFFFFFu), "ID",
             "the sync master; default: the sync unit, else the first camera");
    AddValue(run, "--rate", Decimal(o.Rate, 1.0, true, 10000.0), "HZ",
             "the frame rate, 1 to 10000; default: the cameras' SystemFrameRate if they report "
             "one, else 100");
    AddValue(
        run, "--broadcast",
        [&o](const std::string& text)
        {
            o.BroadcastToDevices = text == "devices";
            return o.BroadcastToDevices || o.BroadcastAddress.emplace().FromString(text);
        },
        "ADDR|devices",
        "where broadcast commands go (the limited or subnet broadcast address, or \"devices\" "
        "for each device's own address); default: \"devices\" on loopback, else "
        "255.255.255.255");
    AddValue(run, "--data-port-base", Word(o.DataPortBase, 1024, HostPorts::MaxDataPortBase), "N",
             "the first data port, 1024 to " + std::to_string(HostPorts::MaxDataPortBase) +
                 " (default 20000); device k gets N + 10k and the streams of that port + 1, "
                 "+ 1000, + 2000, + 3000 and + 5000");
    AddValue(
        run, "--record",
        [&o](const std::string& text)
        {
            o.Record = text;
            return !text.empty();
        },
        "FILE.x2d",
        "record the camera frames into an X2D trial, and the sync units' analogue frames "
        "into an X1D trial beside it (FILE.x1d)");
    CommandLine::AddFlag(run, "--json", o.Json, "write the summary as JSON on standard output");
    AddValue(
        run, "--analogue-rate",
        [&o](const std::string& text)
        {
            double rate = 0.0;
            if (!ParseSeconds(text, rate) ||
                !SampleClockDivision(rate, o.AnaloguePrescaler, o.AnalogueDivisor))
                return false;
            o.AnalogueRate = rate;
            return true;
        },
        "HZ",
        "(ours) the analogue sample rate set on every sync unit (\"samplerate -s 0\"), one that "
        "divides 135 MHz into whole ticks; 3000 Hz or less keeps 64 channels (default 1000)");
    AddValue(run, "--greymode", OneOf(o.GreyMode, {"all", "some", "only", "none"}),
             "all|some|only|none",
             "sent to every camera as \"greymode MODE\" while it is configured (none: no "
             "greyscale blobs); default: not sent");
    AddValue(run, "--coordmode", OneOf(o.CoordMode, {"some", "only", "none"}), "some|only|none",
             "sent to every camera as \"coordmode MODE\" while it is configured (none: no "
             "edges; a camera's shell does not take all); default: not sent");
    AddValue(run, "--shell-timeout", Word(o.ShellTimeoutMs, 1, 600000), "MS",
             "limit for a shell's greeting and each reply (default 2000)");
    AddValue(
        run, "--discovery-port",
        [&o](const std::string& text) { return ParsePort(text, o.DiscoveryPort); }, "N",
        "where the devices' AWAKE and ALIVE datagrams arrive (default 8570)");
    AddValue(
        run, "--broadcast-port",
        [&o](const std::string& text) { return ParsePort(text, o.BroadcastPort); }, "N",
        "where broadcast commands go (default 8666)");
    AddValue(run, "--shell-port-base", Word(o.ShellPortBase, 0, 0xFFFF), "N",
             "a shell listens on N + position (default 9000)");
    AddValue(
        run, "--serve-stream",
        [&o](const std::string& text) { return ParsePort(text, o.ServeStream.emplace()); }, "PORT",
        "serve the host's data stream on TCP PORT of the HAL address: a frame information "
        "item for each frame once every device has delivered it, for tsmCL -latency");
    AddValue(run, "--stream-delay", Word(o.StreamDelayMs, 0, 60000), "MS",
             "hold each frame information item back by MS milliseconds, to check a latency "
             "measurement against a known latency (default 0)");
    AddValue(run, "--late-ms", Word(o.LateMs, 1, 60000), "MS",
             "count a frame as late when it ends more than MS milliseconds after it was due: "
             "one frame period after the one before, from the FRAME_NUMBER the host sent "
             "(default 50; late frames are reported, not counted as problems)");
    run.footer("Acts as the capture host (the HAL): finds the devices from their AWAKE and ALIVE "
               "datagrams, configures each over its shell (a sync unit's analogue card too: "
               "\"samplerate\", \"anactl -a on\", \"capture on\"), starts the rig and receives "
               "what it streams, showing a table once a second and a summary at the end.\nExit "
               "status: 0 "
               "when every device streamed its frames without loss, 1 when any "
               "device lost, reordered, repeated or damaged frames, fell silent, restarted or "
               "could not be configured (or none was found), 2 bad arguments, 3 the host could not "
               "start (a "
               "port in use, an address that is not this machine's, a recording that cannot be "
               "written).");
}

bool ParseRunCommandLine(const std::vector<std::string>& args, VRunOptions& options,
                         std::string& error)
{
    return ParseAlone("run", DeclareRunOptions, args, options, error);
}

void DeclareShellOptions(CLI::App& shell, VShellOptions& o)
{
    shell
        .add_option_function<std::string>(
            "ADDRESS:PORT",
            [&o](const std::string& target)
            {
                const std::size_t colon = target.rfind(':');
                if (colon == std::string::npos || !o.Address.FromString(target.substr(0, colon)) ||
                    !ParsePort(target.substr(colon + 1), o.Port))
                    throw CLI::ValidationError("\"" + target +
                                                   "\" is not ADDRESS:PORT (for example "
                                                   "127.0.0.1:9001)",
                                               CLI::ExitCodes::ValidationError);
            },
            "the device's shell")
        ->required()
        ->type_name("");
    shell
        .add_option_function<std::vector<std::string>>(
            "COMMAND",
            [&o](const std::vector<std::string>& commands)
            {
                for (const std::string& command : commands)
                {
                    if (command.find_first_of("\r\n") != std::string::npos)
                        throw CLI::ValidationError("a command cannot hold a line end",
                                                   CLI::ExitCodes::ValidationError);
                }
                o.Commands = commands;
            },
            "one line to send, for example info")
        ->required()
        ->type_name("");
    CommandLine::AddValue(shell, "--timeout", Word(o.TimeoutMs, 1, 0xFFFFFFFFu), "MS",
                          "limit for the greeting and each reply (default 2000)");
    shell.footer("Connects to one device's command shell (TCP 9000 plus its position), checks "
                 "the greeting, sends each COMMAND as one line and prints the replies.\n"
                 "Example: tsmhost shell 127.0.0.1:9001 info \"datadisable false\"\nExit status: 0 "
                 "when every command was answered, 1 when the device could not "
                 "be reached or did not answer within the time-out, 2 bad arguments.");
}

bool ParseShellCommandLine(const std::vector<std::string>& args, VShellOptions& options,
                           std::string& error)
{
    return ParseAlone("shell", DeclareShellOptions, args, options, error);
}
