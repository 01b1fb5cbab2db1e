// The error reporter's own texts, its brand table and the crash server's account.
#pragma once

#include <string>

namespace ReporterTexts
{

constexpr const char* Caption = "ZEL Error Reporting";
constexpr const char* Usage =
    "This application is used to implement error reporting for ZEL applications.";

constexpr const char* NoProcessId = "Unable to read process ID.";
constexpr const char* NoExceptionPointer = "Unable to read exception pointer.";
constexpr const char* NoThreadId = "Unable to read thread ID.";
constexpr const char* NoAttach = "Unable to attach to process.";
constexpr const char* NoTempPath = "Unable to get temporary file path.";
constexpr const char* NoTempFile = "Unable to create temporary file.";
constexpr const char* NoDumpFile = "Unable to create minidump file.";
constexpr const char* NoDump = "Unable to write minidump.";

constexpr const char* NoInternet = "Unable to access your Internet connection.";
constexpr const char* NoFtpSite = "Unable to access the ZEL FTP site.";
constexpr const char* SendFailedPrefix = "Unable to send data to ZEL. Error reported was: ";
/// The send failure text is cut to this many characters.
constexpr std::size_t MaxSendFailedLength = 259;

/// Where users send a dump that was not uploaded. A placeholder of ours: the maker's address
/// is not known; a distributor replaces it here.
constexpr const char* SupportAddress = "crash-reports@zel.example";

/// "Information about this crash has not been sent to ZEL. ..." with the dump's path and the
/// incident ID.
std::string NotSentInformation(const std::string& dumpPath, const std::string& incidentId);

/// The upload agent's name and the crash server's account (user and password alike).
constexpr const char* UploadAgent = "ZEL Dump Upload Agent";
constexpr const char* ServerAccount = "RiruvezEruvaRi";
constexpr unsigned short DefaultServerPort = 21;

/// The dialog's fixed texts.
constexpr const char* DefaultTitle = "An error occurred in some ZEL application.";
constexpr const char* SendButton = "Send Report";
constexpr const char* DontSendButton = "Don't Send";
constexpr const char* MoreDetail = "Send &more detailed information. This may take some time.";
constexpr const char* CommentsLabel = "Comments:";
constexpr const char* IncidentLabel = "Incident ID:";

/// One row of the brand table: the word that names the maker in the dialog.
constexpr const char* BrandWords[] = {"ZEL", "Orvan"};
/// Any index other than 0 or 1 counts as 0.
int NormaliseBrand(long long index);
const char* BrandWord(int brand);

/// "%s has caused an error" with the program's base name.
std::string CausedAnError(const std::string& baseName);
/// The explanation under the title, naming the brand's word.
std::string Explanation(int brand);
/// The brand's word followed by " Error Reporting".
std::string DialogCaption(int brand);

} // namespace ReporterTexts
