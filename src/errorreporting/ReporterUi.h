// How the error reporter meets its user: message boxes and the dialog on a display, or the
// console when nobody can answer a window.
#pragma once

#include <memory>
#include <string>

class QApplication;

/// Icon of a message.
enum class EMessageKind
{
    Plain,
    Error,
    Information,
};

/// The user's answer to the dialog.
struct VReportAnswer
{
    bool m_Send = false;       // "Send Report" (otherwise "Don't Send")
    bool m_MoreDetail = false; // the hidden check box: a full-memory dump
    std::string m_Comments;
};

/// Shows the reporter's messages and asks the dialog's question. GUI thread (the reporter is
/// single-threaded).
class IReporterUi
{
public:
    virtual ~IReporterUi() = default;
    /// Shows one message with the caption "ZEL Error Reporting" and waits until it is read.
    virtual void ShowMessage(EMessageKind kind, const std::string& text) = 0;
    /// Runs the dialog for the crash of `baseName` under `brand` and returns the answer.
    virtual VReportAnswer Ask(int brand, const std::string& baseName,
                              const std::string& incidentId) = 0;
};

/// Who answers, decided from the environment before any window exists.
enum class EReporterMode
{
    Interactive, // a display: the dialog and message boxes
    Unattended,  // ZEL_REPORT_ANSWER answers; messages go to standard error
    Headless,    // no display and no answer: nothing is sent, messages go to standard error
};

struct VReporterSetup
{
    EReporterMode m_Mode = EReporterMode::Headless;
    bool m_Send = false;   // the unattended answer
    std::string m_Warning; // a ZEL_REPORT_ANSWER that is neither "send" nor "dontsend"
};

/// Reads ZEL_REPORT_ANSWER ("send" or "dontsend"; any other value counts as "dontsend", with
/// a warning), QT_QPA_PLATFORM ("offscreen" or "minimal" first means no display) and
/// DISPLAY / WAYLAND_DISPLAY (neither set means no display).
VReporterSetup DecideReporterMode();

/// Opens the display for the interactive mode: the application object, with the offscreen
/// platform as the last resort so that a display that cannot be reached does not end the
/// program. Null when only that last resort worked (the caller goes headless then).
/// `argc` and `argv` must outlive the application.
std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv);

/// Message boxes and the dialog. Needs the application object.
std::unique_ptr<IReporterUi> MakeWidgetUi();

/// Standard error for messages ("ZEL Error Reporting: " and the text); `answer` stands for
/// the dialog.
std::unique_ptr<IReporterUi> MakeConsoleUi(const VReportAnswer& answer);
