// The real ZELErrorReporting: every failure message, the headless and unattended runs, and
// uploads to a real FTP server on loopback.
#include "support/MinidumpFile.h"
#include "support/ReporterOutput.h"
#include "VReportTarget.h"

#include "errorreporting/VDumpUploader.h"
#include "support/LoopbackPort.h"
#include "support/VChildProcess.h"
#include "support/VTempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace std::chrono_literals;
using testsupport::IsIncidentId;
using testsupport::Obj2YamlStreamTypes;
using testsupport::ReadNotSentInformation;
using testsupport::VChildProcess;
using testsupport::VMinidumpFile;
using testsupport::VTempDir;
namespace fs = std::filesystem;

namespace
{

const std::string kCaption = "ZEL Error Reporting: ";

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

/// Runs the reporter to its end (at most 60 s) with nothing but `settings` among the
/// variables that steer it: no display, no answer, no server unless given.
void RunReporter(VChildProcess& child, const std::vector<std::string>& settings,
                 const std::vector<std::string>& args, const std::vector<std::string>& wrapper = {})
{
    std::vector<std::string> command = {"/usr/bin/env",     "-u", "DISPLAY",           "-u",
                                        "WAYLAND_DISPLAY",  "-u", "ZEL_REPORT_ANSWER", "-u",
                                        "ZEL_CRASH_SERVER", "-u", "QT_QPA_PLATFORM"};
    command.insert(command.end(), settings.begin(), settings.end());
    command.insert(command.end(), wrapper.begin(), wrapper.end());
    command.push_back(REPORTER_PATH);
    command.insert(command.end(), args.begin(), args.end());
    ASSERT_TRUE(child.Start(command));
    ASSERT_TRUE(child.WaitForExit(60s)) << "the reporter did not end within 60 s";
}

std::vector<std::string> CrashArguments(const VReportTarget& target)
{
    char record[32];
    std::snprintf(record, sizeof(record), "0x%llX",
                  static_cast<unsigned long long>(target.GetRecordAddress()));
    return {std::to_string(target.GetPid()), record, std::to_string(target.GetCrashedThreadId()),
            "1"};
}

const char* const kBaseName = "tsm_errorreporting_program_tests";

/// The dump path and incident ID of the information text, which must end the error output.
bool ReadInformation(const std::string& errors, std::string& dumpPath, std::string& incident)
{
    return ReadNotSentInformation(errors, kBaseName, dumpPath, incident);
}

/// pyftpdlib serving a fresh folder on a free loopback port with the crash server's account.
class VFtpServer
{
public:
    explicit VFtpServer(const std::string& permissions)
    {
        if (!m_Process.Start({"/usr/bin/python3", FTP_SERVER_SCRIPT, m_Root.Path(), permissions}) ||
            !m_Process.WaitForOutput("\n", 10s))
            return;
        m_Port = std::stoi(m_Process.Stdout());
    }
    /// The server's output after the port line: the TYPE commands it was given.
    std::string Commands()
    {
        m_Process.WaitForOutput("\x01", 100ms); // reads what has arrived
        return m_Process.Stdout().substr(m_Process.Stdout().find('\n') + 1);
    }
    ~VFtpServer() { m_Process.Signal(SIGTERM); }

    int GetPort() const { return m_Port; }
    std::string GetAddress() const { return "127.0.0.1:" + std::to_string(m_Port); }
    const VTempDir& GetRoot() const { return m_Root; }
    std::string Errors() const { return m_Process.Stderr(); }

private:
    VTempDir m_Root;
    VChildProcess m_Process;
    int m_Port = 0;
};

} // namespace

TEST(ReporterProgram, EveryFailureIsPrintedAndEndsWithOne)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VTempDir temp;
    const std::string pid = std::to_string(target.GetPid());
    const std::string tmpdir = "TMPDIR=" + temp.Path();
    struct VCase
    {
        std::vector<std::string> m_Settings;
        std::vector<std::string> m_Args;
        std::string m_Message;
        std::vector<std::string> m_Wrapper = {};
    };
    const std::vector<VCase> cases = {
        {{}, {}, "This application is used to implement error reporting for ZEL applications."},
        {{}, {"12x"}, "Unable to read process ID."},
        {{}, {"0"}, "Unable to attach to process."},
        {{}, {pid, "0xZZ", "1"}, "Unable to read exception pointer."},
        {{}, {pid, "0x10", "t1"}, "Unable to read thread ID."},
        {{}, {"999999999"}, "Unable to attach to process."},
        {{"TMPDIR=/no/such/folder"}, {pid}, "Unable to get temporary file path."},
        {{"TMPDIR=/proc"}, {pid}, "Unable to create temporary file."},
        // A crash record address that holds no record.
        {{tmpdir}, {pid, "0x10", pid}, "Unable to write minidump."},
        // A file that may not grow past 512 bytes.
        {{tmpdir},
         {pid},
         "Unable to write minidump.",
         {"/bin/sh", "-c", "ulimit -f 1; trap '' XFSZ; exec \"$0\" \"$@\""}},
    };
    for (const VCase& test : cases)
    {
        VChildProcess child;
        RunReporter(child, test.m_Settings, test.m_Args, test.m_Wrapper);
        EXPECT_EQ(child.ExitCode(), 1) << test.m_Message;
        EXPECT_EQ(child.Stderr(), kCaption + test.m_Message + "\n");
        EXPECT_EQ(child.Stdout(), "");
    }
    EXPECT_TRUE(temp.Names().empty()) << "a failed dump is not left behind";

    // The process was let go each time: a tracer can still attach.
    VChildProcess again;
    RunReporter(again, {tmpdir, "ZEL_REPORT_ANSWER=dontsend"}, {pid});
    EXPECT_EQ(again.ExitCode(), 0) << again.Stderr();
}

TEST(ReporterProgram, HeadlessWritesTheDumpTellsWhereAndSendsNothing)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VFtpServer server("elradfmw");
    ASSERT_NE(server.GetPort(), 0) << server.Errors();
    VTempDir temp;

    // No display at all, a display that cannot be opened, and the offscreen platform on a
    // machine that has a display.
    for (const std::vector<std::string>& display :
         {std::vector<std::string>{}, std::vector<std::string>{"DISPLAY=:97"},
          std::vector<std::string>{"DISPLAY=:97", "QT_QPA_PLATFORM=offscreen"}})
    {
        std::vector<std::string> settings = {"TMPDIR=" + temp.Path(),
                                             "ZEL_CRASH_SERVER=" + server.GetAddress()};
        settings.insert(settings.end(), display.begin(), display.end());
        VChildProcess child;
        // Only a process ID: a dump without exception information.
        RunReporter(child, settings, {std::to_string(target.GetPid())});
        EXPECT_EQ(child.ExitCode(), 0);
        std::string dumpPath;
        std::string incident;
        ASSERT_TRUE(ReadInformation(child.Stderr(), dumpPath, incident)) << child.Stderr();
        EXPECT_EQ(fs::path(dumpPath).parent_path(), fs::path(temp.Path()));
        EXPECT_EQ(fs::path(dumpPath).filename().string().rfind("ZEL", 0), 0u) << dumpPath;

        const VMinidumpFile dump(dumpPath);
        ASSERT_TRUE(dump.IsValid());
        const std::vector<std::uint32_t> types = dump.GetTypes();
        EXPECT_EQ(std::count(types.begin(), types.end(), 6u), 0) << "no exception stream";
        std::u16string expected(incident.begin(), incident.end());
        EXPECT_EQ(VMinidumpFile::AsUtf16(dump.GetStream(11)), expected + u'\0');
        EXPECT_EQ(dump.GetStream(10), std::vector<std::uint8_t>{0});
        fs::remove(dumpPath);
    }
    EXPECT_TRUE(server.GetRoot().Names().empty()) << "nothing uploaded";
}

TEST(ReporterProgram, SendUploadsTheDumpUnderItsIncidentIdAndRemovesIt)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VFtpServer server("elradfmw");
    ASSERT_NE(server.GetPort(), 0) << server.Errors();
    VTempDir temp;

    VChildProcess child;
    RunReporter(child,
                {"TMPDIR=" + temp.Path(), "ZEL_REPORT_ANSWER=send",
                 "ZEL_CRASH_SERVER=" + server.GetAddress()},
                CrashArguments(target));
    EXPECT_EQ(child.ExitCode(), 0);
    EXPECT_EQ(child.Stderr(), "") << "a sent report shows nothing";
    EXPECT_TRUE(temp.Names().empty()) << "the local dump is gone";

    const std::vector<std::string> arrived = server.GetRoot().Names();
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_TRUE(arrived[0].ends_with(".dmp") &&
                IsIncidentId(arrived[0].substr(0, arrived[0].size() - 4), kBaseName))
        << arrived[0];
    const std::string remote = server.GetRoot().Path() + "/" + arrived[0];
    const VMinidumpFile dump(remote);
    ASSERT_TRUE(dump.IsValid());
    const std::string incident = arrived[0].substr(0, arrived[0].size() - 4);
    EXPECT_EQ(VMinidumpFile::AsUtf16(dump.GetStream(11)),
              std::u16string(incident.begin(), incident.end()) + u'\0');
    EXPECT_FALSE(dump.GetStream(6).empty()) << "the exception stream";
    int exitCode = -1;
    std::string errors;
    EXPECT_EQ(Obj2YamlStreamTypes(remote, &exitCode, &errors).size(), 11u) << errors;
    EXPECT_EQ(exitCode, 0);
}

TEST(ReporterProgram, AFailedUploadIsReportedAndTheDumpKept)
{
    VReportTarget target;
    ASSERT_TRUE(target.IsRunning());
    VFtpServer readOnly("elr");
    ASSERT_NE(readOnly.GetPort(), 0) << readOnly.Errors();
    VTempDir temp;
    const std::string tmpdir = "TMPDIR=" + temp.Path();
    const std::string pid = std::to_string(target.GetPid());

    struct VCase
    {
        std::vector<std::string> m_Settings;
        std::string m_Failure; // empty: no failure message before the information
    };
    const std::vector<VCase> cases = {
        {{"ZEL_REPORT_ANSWER=send",
          "ZEL_CRASH_SERVER=127.0.0.1:" + std::to_string(testsupport::FreeLoopbackTcpPort())},
         "Unable to access the ZEL FTP site."},
        {{"ZEL_REPORT_ANSWER=send"}, "Unable to access the ZEL FTP site."},
        {{"ZEL_REPORT_ANSWER=send", "ZEL_CRASH_SERVER=" + readOnly.GetAddress()},
         "Unable to send data to ZEL. Error reported was: 550 Not enough privileges."},
        {{"ZEL_REPORT_ANSWER=dontsend", "ZEL_CRASH_SERVER=" + readOnly.GetAddress()}, ""},
    };
    for (const VCase& test : cases)
    {
        std::vector<std::string> settings = test.m_Settings;
        settings.push_back(tmpdir);
        VChildProcess child;
        RunReporter(child, settings, {pid});
        EXPECT_EQ(child.ExitCode(), 0);
        const std::string failure = test.m_Failure.empty() ? "" : kCaption + test.m_Failure + "\n";
        EXPECT_EQ(child.Stderr().substr(0, failure.size()), failure) << child.Stderr();
        std::string dumpPath;
        std::string incident;
        EXPECT_TRUE(ReadInformation(child.Stderr().substr(failure.size()), dumpPath, incident))
            << child.Stderr();
        EXPECT_TRUE(fs::exists(dumpPath)) << dumpPath;
        fs::remove(dumpPath);
    }
    EXPECT_TRUE(readOnly.GetRoot().Names().empty());
}

TEST(DumpUploader, TheFileArrivesByteForByte)
{
    VFtpServer server("elradfmw");
    ASSERT_NE(server.GetPort(), 0) << server.Errors();
    VTempDir temp;
    // Every byte value, and line ends that a text transfer would change.
    std::string content;
    for (int round = 0; round < 64; ++round)
        for (int value = 0; value < 256; ++value)
            content.push_back(static_cast<char>(value));
    content += "\r\n\n\r\x1a";
    const std::string local = temp.Path() + "/dump";
    std::ofstream(local, std::ios::binary) << content;

    const VUploadOutcome outcome =
        UploadDump(ParseCrashServer(server.GetAddress()), local, "tsmCL-20240229-235958");
    EXPECT_EQ(outcome.m_Result, EUploadResult::Sent) << outcome.m_LastResponse;
    EXPECT_EQ(ReadAll(server.GetRoot().Path() + "/tsmCL-20240229-235958.dmp"), content);
    EXPECT_EQ(server.Commands(), "TYPE I\n") << "a binary transfer";

    // A refused login counts as no FTP site.
    EXPECT_EQ(UploadDump(ParseCrashServer("127.0.0.1:" +
                                          std::to_string(testsupport::FreeLoopbackTcpPort())),
                         local, "x")
                  .m_Result,
              EUploadResult::NoFtpSite);
}
