// Test entry point for the launcher: one offscreen QApplication configured like the
// program's, with its settings store moved into a temporary folder.
#include "Tools/Verified/Tessal/LauncherApplication.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    // Test discovery runs this program without the test's environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);

    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settingsDir;
    if (!settingsDir.isValid())
    {
        std::fprintf(stderr, "cannot create a temporary settings folder\n");
        return 1;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    QApplication app(argc, argv);
    ConfigureLauncherApplication(app);
    // Tests close windows one after another without an event loop to end.
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
