// tsm: the launcher window that builds, runs and watches the tsmCL command line.
#include "Tools/Verified/Tessal/LauncherApplication.h"
#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

/// Whether the command line picks Qt's platform itself ("-platform x").
bool NamesPlatform(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            return true;
    return false;
}

bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before the window system is asked for: they work without a display.
    for (int i = 1; i < argc; ++i)
    {
        if (std::strcmp(argv[i], "--version") == 0)
        {
            std::printf("tsm %s\n", TSM_LAUNCHER_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0)
        {
            std::printf("Usage:\n  tsm [Qt options]\n"
                        "Opens the launcher window: pick an .x1d and an .x2d trial, copy the "
                        "tsmCL command line it builds, and run it beside the launcher (Stream, "
                        "Stop).\n"
                        "  --version  show the version and exit\n"
                        "  -h,--help  show this help and exit\n"
                        "Qt's own options (-platform, -style, ...) are passed to Qt.\n"
                        "Exit status: 0 when the window is closed, 1 when no display could "
                        "be opened.\n");
            return 0;
        }
    }
    // Without a display Qt would abort the launcher (a core dump for what is a user's
    // setting), so the offscreen platform is the last one tried and taken as "no display".
    // A platform the user picks is left to Qt.
    const bool ownPlatform = IsSet("QT_QPA_PLATFORM") || NamesPlatform(argc, argv);
    if (!ownPlatform)
        qputenv("QT_QPA_PLATFORM",
                IsSet("WAYLAND_DISPLAY") ? "wayland;xcb;offscreen" : "xcb;offscreen");
    QApplication app(argc, argv);
    if (!ownPlatform && QGuiApplication::platformName() == QStringLiteral("offscreen"))
    {
        std::fprintf(stderr,
                     "tsm: no display could be opened (DISPLAY is \"%s\"): the launcher "
                     "needs one; tsmCL runs without it\n",
                     IsSet("DISPLAY") ? std::getenv("DISPLAY") : "");
        return 1;
    }
    ConfigureLauncherApplication(app);
    VMainWindow window;
    window.show();
    return app.exec();
}
