// tsm: the launcher window that builds, runs and watches the tsmCL command line.
#include "Tools/Verified/Tessal/LauncherApplication.h"
#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

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
                        "Exit status: 0 when the window is closed; without a display Qt "
                        "aborts the program.\n");
            return 0;
        }
    }
    QApplication app(argc, argv);
    ConfigureLauncherApplication(app);
    VMainWindow window;
    window.show();
    return app.exec();
}
