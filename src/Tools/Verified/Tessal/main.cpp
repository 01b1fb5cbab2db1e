// tsm: the launcher window that builds, runs and watches the tsmCL command line.
#include "Tools/Verified/Tessal/LauncherApplication.h"
#include "Tools/Verified/Tessal/VMainWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ConfigureLauncherApplication(app);
    VMainWindow window;
    window.show();
    return app.exec();
}
