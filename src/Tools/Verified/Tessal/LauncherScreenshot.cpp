// tsm_launcher_screenshot: draws the launcher window offscreen into a PNG for the docs.
// It runs tsmCL once with no file (so the output box shows tsmCL's usage), then fills in
// two example trial paths, as a user does before a real run.
#include "Tools/Verified/Tessal/LauncherApplication.h"
#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <out.png> <folder holding tsmCL>\n", argv[0]);
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    ConfigureLauncherApplication(app);
    // A picture made from the user's own saved paths would differ from machine to machine.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    VMainWindow window(QString::fromLocal8Bit(argv[2]));
    window.resize(640, 480);
    window.show();

    auto* process = window.findChild<QProcess*>();
    QEventLoop loop;
    QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    window.LaunchCommand();
    if (process->state() != QProcess::NotRunning)
    {
        loop.exec();
    }
    window.KillCommand();
    process->waitForFinished(5000);

    window.findChild<QLineEdit*>("X1DPath")->setText("/data/trials/walk 01.x1d");
    window.findChild<QLineEdit*>("X2DPath")->setText("/data/trials/walk 01.x2d");
    QApplication::processEvents();

    if (!window.grab().save(QString::fromLocal8Bit(argv[1]), "PNG"))
    {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
