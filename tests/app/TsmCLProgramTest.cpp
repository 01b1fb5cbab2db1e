// Runs the real tsmCL program and checks its console texts, streams and exit codes.
#include "app/OwnAddress.h"
#include "support/VChildProcess.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;
using testsupport::VChildProcess;

namespace
{

const std::string kBanner = "tsmCL " TSM_VERSION " - simulated motion-capture devices\n";
const std::string kUsage = "Usage : tsm [-localip <local_ip_address>] [-halip <hal_ip_address>] "
                           "[-x1d <trial.x1d>] [-x2d <trial.x2d>]";
const std::string kPrompt = "Press Ctrl-C to quit\n\n\n";

/// Runs tsmCL with `args` to its end (at most 10 s).
void RunToEnd(VChildProcess& child, std::vector<std::string> args)
{
    args.insert(args.begin(), TSMCL_PATH);
    ASSERT_TRUE(child.Start(args));
    EXPECT_TRUE(child.WaitForExit(10s)) << "tsmCL did not end within 10 s";
}

/// Starts tsmCL with `args` and waits until it has printed its prompt, which it
/// does only after opening the broadcast port.
void StartRunning(VChildProcess& child, std::vector<std::string> args)
{
    args.insert(args.begin(), TSMCL_PATH);
    ASSERT_TRUE(child.Start(args));
    ASSERT_TRUE(child.WaitForOutput(kPrompt, 10s)) << "no prompt within 10 s; output so far:\n"
                                                   << child.Stdout() << child.Stderr();
}

/// Ends a running tsmCL the way the scripts do and expects a clean exit.
void Terminate(VChildProcess& child, int signalNumber)
{
    child.Signal(signalNumber);
    ASSERT_TRUE(child.WaitForExit(5s)) << "tsmCL did not end within 5 s of the signal";
    EXPECT_EQ(child.TermSignal(), 0);
    EXPECT_EQ(child.ExitCode(), 0);
}

bool SendFromLoopback(const std::vector<uint8_t>& datagram)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in destination = {};
    destination.sin_family = AF_INET;
    destination.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    destination.sin_port = htons(8666);
    const bool sent =
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&destination),
               sizeof(destination)) == static_cast<ssize_t>(datagram.size());
    close(fd);
    return sent;
}

} // namespace

TEST(TsmCLProgram, RejectsACommandLineWithoutTrialFile)
{
    // No arguments at all.
    VChildProcess bare;
    RunToEnd(bare, {});
    EXPECT_EQ(bare.ExitCode(), 1);
    EXPECT_EQ(bare.Stdout(), kBanner + kUsage) << "usage has no line end";
    EXPECT_EQ(bare.Stderr(), "");

    // A valid address but no trial file: usage, no error line, no address lines.
    VChildProcess addressOnly;
    RunToEnd(addressOnly, {"-localip", "127.0.0.1"});
    EXPECT_EQ(addressOnly.ExitCode(), 1);
    EXPECT_EQ(addressOnly.Stdout(), kBanner + kUsage);
    EXPECT_EQ(addressOnly.Stderr(), "");
}

TEST(TsmCLProgram, RejectsBadAddressesOnStandardError)
{
    for (const std::string bad : {"1.2.3", "localhost", "1.2.3.256", "1.2.3.4 "})
    {
        VChildProcess local;
        RunToEnd(local, {"-x2d", "trial.x2d", "-localip", bad});
        EXPECT_EQ(local.ExitCode(), 1) << bad;
        EXPECT_EQ(local.Stderr(), "Unknown local IP address " + bad + "\n");
        EXPECT_EQ(local.Stdout(), kBanner + kUsage) << "no \"Local IP: \" line";

        VChildProcess hal;
        RunToEnd(hal, {"-halip", bad, "-localip", "127.0.0.1", "-x1d", "t.x1d"});
        EXPECT_EQ(hal.ExitCode(), 1) << bad;
        EXPECT_EQ(hal.Stderr(), "Unknown HAL IP address " + bad + "\n");
        EXPECT_EQ(hal.Stdout(), kBanner + kUsage);
    }
    // The local address is judged first.
    VChildProcess both;
    RunToEnd(both, {"-halip", "x", "-localip", "y", "-x2d", "t.x2d"});
    EXPECT_EQ(both.Stderr(), "Unknown local IP address y\n");
}

TEST(TsmCLProgram, TheLatencyOptionOfOursNeedsAHostAndAPort)
{
    for (const std::string bad : {"7010", "localhost:", ":7010", "h:0", "h:65536", "h:70x", "h:+1"})
    {
        VChildProcess child;
        RunToEnd(child, {"-x2d", "t.x2d", "-localip", "127.0.0.1", "-latency", bad});
        EXPECT_EQ(child.ExitCode(), 1) << bad;
        EXPECT_EQ(child.Stderr(), "Unknown latency stream " + bad + " (expected <host>:<port>)\n");
        EXPECT_EQ(child.Stdout(), kBanner + kUsage) << "nothing starts";
    }
}

TEST(TsmCLProgram, TheFaultsOptionOfOursRefusesWhatItCannotRead)
{
    VChildProcess child;
    RunToEnd(child, {"-x2d", "t.x2d", "-localip", "127.0.0.1", "-faults", "seed=3,jitter=2"});
    EXPECT_EQ(child.ExitCode(), 1);
    EXPECT_EQ(child.Stderr().rfind("Unknown faults \"seed=3,jitter=2\": unknown key \"jitter\"", 0),
              0u)
        << child.Stderr();
    EXPECT_EQ(child.Stdout(), kBanner + kUsage) << "nothing starts";
}

TEST(TsmCLProgram, HelpListsEveryOptionAndExitsZero)
{
    for (const char* help : {"-?", "--help"})
    {
        VChildProcess child;
        RunToEnd(child, {"-x2d", "t.x2d", help});
        EXPECT_EQ(child.ExitCode(), 0) << help;
        const std::string& out = child.Stdout();
        EXPECT_EQ(out.rfind(kBanner, 0), 0u) << out;
        EXPECT_EQ(out.find("Local IP: "), std::string::npos) << "help ends the program";
        // The five options, then ours; the help column is as wide as our option's text.
        const std::string pad(24, ' ');
        for (const std::string& line :
             {"  -localip  string  Local IP address  " + pad + "[default: \"\"]\n",
              "  -halip    string  HAL IP address    " + pad + "[default: \"\"]\n",
              "  -x1d      string  X1D File to run   " + pad + "[default: \"\"]\n",
              "  -x2d      string  X2D File to run   " + pad + "[default: \"\"]\n",
              "  -crash    bool    trigger a crash   " + pad + "[default: false]\n",
              std::string("  -latency  string  Latency stream <host:port> (an addition)  "
                          "[default: \"\"]\n"),
              std::string("  -faults   string  Faults \"key=value,...\" (an addition)      "
                          "[default: \"\"]\n")})
            EXPECT_NE(out.find(line), std::string::npos) << line << " missing in\n" << out;
        EXPECT_LT(out.find("-crash"), out.find("-latency")) << "ours after the five";
        EXPECT_LT(out.find("-latency"), out.find("-faults"));
    }
}

TEST(TsmCLProgram, RunsWithAMissingTrialFileAndLogsTheHalsCommands)
{
    VChildProcess child;
    StartRunning(child, {"-bogus", "-halip", "127.0.0.1", "-x2d", "build/no/such.x2d", "-localip",
                         "127.0.0.1"});
    EXPECT_EQ(child.Stdout(), kBanner +
                                  "Local IP: 127.0.0.1\n"
                                  "HAL   IP: 127.0.0.1\n"
                                  "X2D     : build/no/such.x2d\n" +
                                  kPrompt);
    EXPECT_EQ(child.Stderr(), "Warning: ignoring unrecognised argument \"-bogus\"\n");

    // Each log line reaches the pipe at once, while the program runs.
    ASSERT_TRUE(SendFromLoopback({0x00, 0x07, 0x00, 0x01, 0x00, 0x00, 0x03, 0xE8}));
    EXPECT_TRUE(child.WaitForOutput(
        "Received broadcast command: 00070001 (BROADCAST_CMD_FRAME_NUMBER, frame = 1000)\n", 5s))
        << child.Stdout();

    Terminate(child, SIGTERM);
}

TEST(TsmCLProgram, PrintsTheX1DFileBeforeTheX2DFileInEitherOrder)
{
    const std::string expected = kBanner +
                                 "Local IP: 127.0.0.1\n"
                                 "HAL   IP: 127.0.0.1\n"
                                 "X1D     : a.x1d\n"
                                 "X2D     : b.x2d\n" +
                                 kPrompt;
    for (const bool x2dFirst : {true, false})
    {
        std::vector<std::string> args = {"-localip", "127.0.0.1", "-halip", "127.0.0.1"};
        const std::vector<std::string> x1d = {"-x1d", "a.x1d"};
        const std::vector<std::string> x2d = {"-x2d", "b.x2d"};
        for (const auto* files : x2dFirst ? std::array{&x2d, &x1d} : std::array{&x1d, &x2d})
            args.insert(args.end(), files->begin(), files->end());
        VChildProcess child;
        StartRunning(child, args);
        EXPECT_EQ(child.Stdout(), expected);
        Terminate(child, SIGINT);
    }
}

TEST(TsmCLProgram, LoadsTheX1DFileFirstInEitherOrder)
{
    // The X1D file's sync unit takes position 1; the X2D file's four cameras follow, then its
    // sync unit (the sample has a start timecode). Each connects in list order.
    for (const bool x2dFirst : {true, false})
    {
        std::vector<std::string> args = {"-localip", "127.0.0.1", "-halip", "127.0.0.1"};
        const std::vector<std::string> x1d = {"-x1d", TSM_SAMPLE_X1D};
        const std::vector<std::string> x2d = {"-x2d", TSM_SAMPLE_X2D};
        for (const auto* files : x2dFirst ? std::array{&x2d, &x1d} : std::array{&x1d, &x2d})
            args.insert(args.end(), files->begin(), files->end());
        VChildProcess child;
        StartRunning(child, args);
        ASSERT_TRUE(child.WaitForOutput("33554438: Set up telnet listener", 10s)) << child.Stdout();
        const std::string out = child.Stdout();
        std::vector<std::size_t> order;
        for (const char* id : {"33554433", "1", "2", "3", "4", "33554438"})
            order.push_back(out.find("\n" + std::string(id) + ": Set up telnet listener"));
        EXPECT_TRUE(std::is_sorted(order.begin(), order.end())) << out;
        EXPECT_EQ(std::count(order.begin(), order.end(), std::string::npos), 0) << out;
        Terminate(child, SIGINT);
    }
}

TEST(TsmCLProgram, DefaultsBothAddressesToTheMachinesOwn)
{
    VChildProcess child;
    StartRunning(child, {"-x2d", "t.x2d"});
    const std::string own = ResolveOwnAddress().ToString();
    EXPECT_EQ(child.Stdout(), kBanner + "Local IP: " + own + "\nHAL   IP: " + own +
                                  "\nX2D     : t.x2d\n" + kPrompt);
    Terminate(child, SIGTERM);
}
