// tsmCL's crash hand-off with the real reporter: each fault that "-crash" can raise ends in
// a minidump that LLDB opens at tsmCL's own crash function; a reporter that is missing or
// fails leaves tsmCL to the signal's default action.
#include "support/MinidumpFile.h"
#include "support/ReporterOutput.h"
#include "support/VChildProcess.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace std::chrono_literals;
using testsupport::Obj2YamlStreamTypes;
using testsupport::ReadNotSentInformation;
using testsupport::VChildProcess;
using testsupport::VTempDir;
namespace fs = std::filesystem;

namespace
{

const std::string kBanner = "tsmCL " TSM_VERSION " - simulated motion-capture devices\n";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Runs `tsmCL -crash` (the program at `program`) unattended, with TSM_CRASH=`kind`.
void RunCrash(VChildProcess& child, const std::string& program, const std::string& kind,
              const std::string& tmpdir, const std::vector<std::string>& more = {})
{
    std::vector<std::string> command = {"/usr/bin/env",
                                        "-u",
                                        "DISPLAY",
                                        "-u",
                                        "WAYLAND_DISPLAY",
                                        "-u",
                                        "ZEL_CRASH_SERVER",
                                        "QT_QPA_PLATFORM=offscreen",
                                        "ZEL_REPORT_ANSWER=dontsend",
                                        "TMPDIR=" + tmpdir,
                                        "TSM_CRASH=" + kind};
    command.insert(command.end(), more.begin(), more.end());
    command.insert(command.end(), {program, "-localip", "1.2.3", "-crash", "-x2d", "t.x2d"});
    ASSERT_TRUE(child.Start(command));
    ASSERT_TRUE(child.WaitForExit(60s)) << "tsmCL did not end within 60 s";
}

/// Output of a tool run to its end, standard output and error together.
std::string RunTool(const std::vector<std::string>& command)
{
    VChildProcess tool;
    if (!tool.Start(command))
        return "cannot start " + command[0];
    if (!tool.WaitForExit(120s))
        return command[0] + " did not end within 120 s";
    return tool.Stdout() + tool.Stderr();
}

/// The text between the first `before` in `text` and the `after` that follows it, or empty.
std::string Between(const std::string& text, const std::string& before, const std::string& after)
{
    const auto start = text.find(before);
    if (start == std::string::npos)
        return {};
    const auto end = text.find(after, start + before.size());
    if (end == std::string::npos)
        return {};
    return text.substr(start + before.size(), end - start - before.size());
}

/// Copies tsmCL into `folder` (without the reporter beside it); returns the copy's path.
std::string CopyTsmCL(const std::string& folder)
{
    const std::string copy = folder + "/tsmCL";
    fs::copy_file(TSMCL_PATH, copy);
    return copy;
}

struct VCrashCase
{
    const char* m_Kind;
    const char* m_Signal;
    const char* m_Function;
    bool m_OnOwnThread;
};

} // namespace

TEST(CrashHandOff, EveryFaultEndsInADumpThatLldbOpensAtTheCrashFunction)
{
    const VCrashCase cases[] = {
        {"segv", "SIGSEGV", "CrashWithSegmentationFault", false},
        {"abort", "SIGABRT", "CrashWithAbort", false},
        {"throw", "SIGABRT", "CrashWithUncaughtException", false},
        {"thread", "SIGSEGV", "CrashWithSegmentationFault", true},
    };
    for (const VCrashCase& test : cases)
    {
        SCOPED_TRACE(test.m_Kind);
        VTempDir temp;
        const std::string log = temp.Path() + "/tsm.log";
        VChildProcess child;
        RunCrash(child, TSMCL_PATH, test.m_Kind, temp.Path(),
                 {"TSM_LOG=*=1", "TSM_LOG_FILE=" + log});

        // The reporter ended with 0, so tsmCL ends with 1; the crash came before the address
        // errors.
        EXPECT_EQ(child.TermSignal(), 0);
        EXPECT_EQ(child.ExitCode(), 1);
        EXPECT_EQ(child.Stdout(), kBanner + "Crashing\n");
        EXPECT_EQ(child.Stderr().find("Unknown local IP address"), std::string::npos);
        // In sanitizer builds the fault is the hand-off's, not a report of the sanitizers.
        EXPECT_EQ(child.Stderr().find("runtime error:"), std::string::npos) << child.Stderr();
        EXPECT_EQ(child.Stderr().find("Sanitizer"), std::string::npos) << child.Stderr();
        EXPECT_EQ(ReadAll(log), "Application crash - generating error report...\n");

        std::string dump;
        std::string incident;
        ASSERT_TRUE(ReadNotSentInformation(child.Stderr(), "tsmCL", dump, incident))
            << child.Stderr();
        ASSERT_TRUE(fs::exists(dump));

        // Every stream, in order, read without error.
        int exitCode = -1;
        std::string errors;
        EXPECT_EQ(Obj2YamlStreamTypes(dump, &exitCode, &errors),
                  (std::vector<std::string>{"SystemInfo", "ThreadList", "ModuleList", "MemoryList",
                                            "Exception", "LinuxProcStatus", "LinuxCMDLine",
                                            "LinuxAuxv", "LinuxMaps", "CommentW", "CommentA"}))
            << errors;
        EXPECT_EQ(exitCode, 0);

        // LLDB names the crashed thread and finds tsmCL's crash function on its stack.
        const std::string lldb = RunTool(
            {"/usr/bin/lldb", "-c", dump, TSMCL_PATH, "-b", "-o", "thread list", "-o", "bt"});
        const std::string pid = Between(lldb, "Process ", " stopped");
        const std::string stopped = Between(lldb, "* thread #", "\n");
        ASSERT_FALSE(pid.empty()) << lldb;
        EXPECT_NE(stopped.find(std::string("stop reason = signal ") + test.m_Signal),
                  std::string::npos)
            << lldb;
        const std::string thread = Between(stopped, "tid = ", ",");
        ASSERT_FALSE(thread.empty()) << lldb;
        EXPECT_EQ(thread != pid, test.m_OnOwnThread) << lldb;
        EXPECT_NE(lldb.find(std::string("tsmCL`") + test.m_Function), std::string::npos) << lldb;
        if (!test.m_OnOwnThread)
        {
            EXPECT_NE(lldb.find("tsmCL`main"), std::string::npos) << lldb;
        }
    }
}

TEST(CrashHandOff, AMissingOrFailingReporterLeavesTheDefaultAction)
{
    // No reporter beside tsmCL: the failure line with the error (ENOENT), then SIGSEGV.
    {
        VTempDir folder;
        const std::string program = CopyTsmCL(folder.Path());
        VChildProcess child;
        RunCrash(child, program, "segv", folder.Path());
        EXPECT_EQ(child.Stdout(),
                  kBanner + "Crashing\nFailed to create process, error was 00000002\n");
        EXPECT_EQ(child.TermSignal(), SIGSEGV) << "exit code " << child.ExitCode();
    }

    // A reporter that fails: its exit code is printed, then the signal's default action
    // (SIGABRT here). It got the command line and nothing but the standard streams.
    VTempDir folder;
    const std::string program = CopyTsmCL(folder.Path());
    const std::string record = folder.Path() + "/arguments";
    const std::string reporter = folder.Path() + "/ZELErrorReporting";
    std::ofstream(reporter)
        << "#!/usr/bin/python3\n"
           "import os, sys\n"
           "def is_open(fd):\n"
           "    try:\n"
           "        os.fstat(fd)\n"
           "        return True\n"
           "    except OSError:\n"
           "        return False\n"
           "inherited = [str(fd) for fd in range(3, 1024) if is_open(fd)]\n"
           "with open('"
        << record
        << "', 'w') as out:\n"
           "    out.write(' '.join([str(os.getpid())] + sys.argv[1:] + inherited))\n"
           "sys.exit(3)\n";
    fs::permissions(reporter, fs::perms::owner_all);
    // tsmCL's log file is open when it crashes; the reporter must not get it.
    VChildProcess child;
    RunCrash(child, program, "abort", folder.Path(),
             {"TSM_LOG=*=1", "TSM_LOG_FILE=" + folder.Path() + "/tsm.log"});
    EXPECT_EQ(child.TermSignal(), SIGABRT) << "exit code " << child.ExitCode();

    std::istringstream lines(ReadAll(record));
    std::string reporterPid;
    std::string crashedPid;
    std::string address;
    std::string thread;
    std::string brand;
    lines >> reporterPid >> crashedPid >> address >> thread >> brand;
    EXPECT_EQ(child.Stdout(),
              kBanner + "Crashing\nExit code for process ID " + reporterPid + " was 3\n");
    EXPECT_TRUE(address.size() > 2 && address.starts_with("0x") &&
                address.find_first_not_of("0123456789ABCDEF", 2) == std::string::npos)
        << address;
    EXPECT_EQ(thread, crashedPid) << "the main thread crashed";
    EXPECT_EQ(brand, "1");
    std::string inherited;
    lines >> inherited;
    EXPECT_EQ(inherited, "") << "descriptors beyond the standard streams: " << ReadAll(record);
}
