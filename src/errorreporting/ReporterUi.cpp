#include "errorreporting/ReporterUi.h"

#include "errorreporting/ReporterTexts.h"
#include "errorreporting/VErrorReportingDialog.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace
{

std::string_view Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string_view(value) : std::string_view();
}

bool NamesNoDisplay(std::string_view platform)
{
    const std::string_view first = platform.substr(0, platform.find_first_of(";:"));
    return first == "offscreen" || first == "minimal";
}

class VWidgetUi final : public IReporterUi
{
public:
    void ShowMessage(EMessageKind kind, const std::string& text) override
    {
        const QMessageBox::Icon icon = kind == EMessageKind::Error ? QMessageBox::Critical
                                       : kind == EMessageKind::Information
                                           ? QMessageBox::Information
                                           : QMessageBox::NoIcon;
        QMessageBox box(icon, QString::fromUtf8(ReporterTexts::Caption), QString::fromUtf8(text),
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }

    VReportAnswer Ask(int brand, const std::string& baseName,
                      const std::string& incidentId) override
    {
        VErrorReportingDialog dialog(brand, QString::fromUtf8(baseName),
                                     QString::fromUtf8(incidentId), QApplication::activeWindow());
        VReportAnswer answer;
        answer.m_Send = dialog.exec() == VErrorReportingDialog::SendReport;
        answer.m_MoreDetail = dialog.WantsMoreDetail();
        answer.m_Comments = dialog.GetComments().toStdString();
        return answer;
    }
};

class VConsoleUi final : public IReporterUi
{
public:
    explicit VConsoleUi(VReportAnswer answer) : m_Answer(std::move(answer)) {}

    void ShowMessage(EMessageKind, const std::string& text) override
    {
        std::fprintf(stderr, "%s: %s\n", ReporterTexts::Caption, text.c_str());
        std::fflush(stderr);
    }

    VReportAnswer Ask(int, const std::string&, const std::string&) override { return m_Answer; }

private:
    VReportAnswer m_Answer;
};

} // namespace

VReporterSetup DecideReporterMode()
{
    VReporterSetup setup;
    const char* answer = std::getenv("ZEL_REPORT_ANSWER");
    if (answer != nullptr)
    {
        setup.m_Mode = EReporterMode::Unattended;
        setup.m_Send = std::string_view(answer) == "send";
        if (!setup.m_Send && std::string_view(answer) != "dontsend")
            setup.m_Warning = std::string("ZEL_REPORT_ANSWER=") + answer +
                              " is neither \"send\" nor \"dontsend\": the report is not sent";
        return setup;
    }
    const std::string_view platform = Environment("QT_QPA_PLATFORM");
    if (NamesNoDisplay(platform))
        return setup;
    if (Environment("DISPLAY").empty() && Environment("WAYLAND_DISPLAY").empty())
        return setup;
    setup.m_Mode = EReporterMode::Interactive;
    return setup;
}

std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv)
{
    std::string platforms(Environment("QT_QPA_PLATFORM"));
    if (platforms.empty())
        platforms = Environment("WAYLAND_DISPLAY").empty() ? "xcb" : "wayland;xcb";
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platforms + ";offscreen"));
    auto application = std::make_unique<QApplication>(argc, argv);
    if (NamesNoDisplay(QGuiApplication::platformName().toStdString()))
        return nullptr;
    return application;
}

std::unique_ptr<IReporterUi> MakeWidgetUi()
{
    return std::make_unique<VWidgetUi>();
}

std::unique_ptr<IReporterUi> MakeConsoleUi(const VReportAnswer& answer)
{
    return std::make_unique<VConsoleUi>(answer);
}
