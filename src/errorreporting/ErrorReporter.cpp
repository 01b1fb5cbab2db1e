#include "errorreporting/ErrorReporter.h"

#include "errorreporting/ReporterArguments.h"
#include "errorreporting/ReporterTexts.h"
#include "errorreporting/ReporterUi.h"
#include "errorreporting/VDumpUploader.h"
#include "errorreporting/VMinidumpWriter.h"
#include "errorreporting/VTracedProcess.h"

#include <QApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace
{

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;

/// $TMPDIR when set, otherwise /tmp; empty when that is not a folder.
std::string TemporaryFolder()
{
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable != nullptr && *variable != '\0' ? variable : "/tmp";
    struct stat info
    {
    };
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return {};
    return folder;
}

std::string LocalIncidentId(const std::string& baseName)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatIncidentId(baseName, local);
}

/// The upload of step 8: true when the dump arrived; otherwise the failure was shown.
bool Upload(IReporterUi& ui, const std::string& dumpPath, const std::string& incidentId)
{
    const char* serverText = std::getenv("ZEL_CRASH_SERVER");
    const std::optional<VCrashServer> server =
        ParseCrashServer(serverText != nullptr ? serverText : "");
    const VUploadOutcome outcome = UploadDump(server, dumpPath, incidentId);
    switch (outcome.m_Result)
    {
    case EUploadResult::Sent:
        return true;
    case EUploadResult::NoInternet:
        ui.ShowMessage(EMessageKind::Error, ReporterTexts::NoInternet);
        return false;
    case EUploadResult::NoFtpSite:
        ui.ShowMessage(EMessageKind::Error, ReporterTexts::NoFtpSite);
        return false;
    case EUploadResult::SendFailed:
        ui.ShowMessage(EMessageKind::Error,
                       (ReporterTexts::SendFailedPrefix + outcome.m_LastResponse)
                           .substr(0, ReporterTexts::MaxSendFailedLength));
        return false;
    }
    return false;
}

} // namespace

int RunErrorReporter(int argc, char** argv)
{
    // Step 1: who answers, then the usage.
    const VReporterSetup setup = DecideReporterMode();
    std::unique_ptr<QApplication> application;
    if (setup.m_Mode == EReporterMode::Interactive)
        application = OpenDisplay(argc, argv);
    std::unique_ptr<IReporterUi> ui;
    if (application)
    {
        ui = MakeWidgetUi();
    }
    else
    {
        VReportAnswer answer;
        answer.m_Send = setup.m_Mode == EReporterMode::Unattended && setup.m_Send;
        ui = MakeConsoleUi(answer);
    }
    if (!setup.m_Warning.empty())
        std::fprintf(stderr, "%s: %s\n", ReporterTexts::Caption, setup.m_Warning.c_str());
    if (argc < 2)
    {
        ui->ShowMessage(EMessageKind::Plain, ReporterTexts::Usage);
        return ExitFailed;
    }

    // Step 2: the process, held still from here until the reporter ends.
    const std::optional<std::uint64_t> pid = ParseReporterNumber(argv[1]);
    if (!pid || *pid > INT_MAX)
    {
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoProcessId);
        return ExitFailed;
    }
    VTracedProcess process(static_cast<pid_t>(*pid));
    const bool attached = process.Attach();

    // Step 3: the exception arguments.
    VMinidumpContent content;
    if (argc > 3)
    {
        const std::optional<std::uint64_t> record = ParseReporterNumber(argv[2]);
        if (!record)
        {
            ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoExceptionPointer);
            return ExitFailed;
        }
        const std::optional<std::uint64_t> thread = ParseReporterNumber(argv[3]);
        if (!thread || *thread > UINT32_MAX)
        {
            ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoThreadId);
            return ExitFailed;
        }
        content.m_WithException = true;
        content.m_CrashRecordAddress = *record;
        content.m_CrashedThreadId = static_cast<std::uint32_t>(*thread);
    }

    // Step 4: the brand.
    const int brand = argc > 4 ? ParseBrand(argv[4]) : 0;

    // Step 5: the process's memory and name.
    if (!attached || !process.OpenMemory())
    {
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoAttach);
        return ExitFailed;
    }
    const std::string baseName = ModuleBaseName(process.GetExecutablePath());
    content.m_IncidentId = LocalIncidentId(baseName);

    // Step 6: the dialog.
    const VReportAnswer answer = ui->Ask(brand, baseName, content.m_IncidentId);
    content.m_Comments = answer.m_Comments;
    content.m_FullMemory = answer.m_MoreDetail;

    // Step 7: the dump, whatever the answer.
    const std::string folder = TemporaryFolder();
    if (folder.empty())
    {
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoTempPath);
        return ExitFailed;
    }
    std::string dumpPath = folder + (folder.back() == '/' ? "" : "/") + "ZELXXXXXX";
    const int nameFd = mkostemp(dumpPath.data(), O_CLOEXEC);
    if (nameFd < 0)
    {
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoTempFile);
        return ExitFailed;
    }
    close(nameFd);
    const int fd = open(dumpPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
    {
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoDumpFile);
        return ExitFailed;
    }
    const bool written = VMinidumpWriter(process, fd).Write(content);
    if (close(fd) != 0 || !written)
    {
        // A half-written file would only mislead whoever finds it.
        unlink(dumpPath.c_str());
        ui->ShowMessage(EMessageKind::Error, ReporterTexts::NoDump);
        return ExitFailed;
    }
    // Step 8: the upload.
    if (answer.m_Send && Upload(*ui, dumpPath, content.m_IncidentId))
    {
        unlink(dumpPath.c_str());
        return ExitDone;
    }

    // Step 9: where the dump lies. The process is let go when `process` goes, and ends
    // through its hand-off.
    ui->ShowMessage(EMessageKind::Information,
                    ReporterTexts::NotSentInformation(dumpPath, content.m_IncidentId));
    return ExitDone;
}
