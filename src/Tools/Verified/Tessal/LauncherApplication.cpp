#include "Tools/Verified/Tessal/LauncherApplication.h"

#include <QApplication>
#include <QColor>

namespace
{

// Sets one role in the active, inactive and disabled groups.
void SetRole(QPalette& palette, QPalette::ColorRole role, const QColor& active,
             const QColor& disabled)
{
    palette.setColor(QPalette::Active, role, active);
    palette.setColor(QPalette::Inactive, role, active);
    palette.setColor(QPalette::Disabled, role, disabled);
}

} // namespace

QPalette LauncherPalette()
{
    QPalette palette;
    SetRole(palette, QPalette::Window, QColor(80, 80, 80), QColor(80, 80, 80));
    SetRole(palette, QPalette::Base, QColor(110, 110, 110), QColor(110, 110, 110));
    SetRole(palette, QPalette::Button, QColor(95, 95, 100), QColor(100, 100, 100));
    SetRole(palette, QPalette::ButtonText, QColor(255, 255, 255), QColor(100, 100, 100));
    SetRole(palette, QPalette::Text, QColor(255, 255, 255), QColor(120, 120, 120));
    SetRole(palette, QPalette::WindowText, QColor(255, 255, 255), QColor(120, 120, 120));
    SetRole(palette, QPalette::Light, QColor(160, 160, 160), QColor(160, 160, 160));
    SetRole(palette, QPalette::Shadow, QColor(20, 20, 80), QColor(20, 20, 80));
    return palette;
}

void ConfigureLauncherApplication(QApplication& app)
{
    QApplication::setOrganizationName(QStringLiteral("Orvan"));
    QApplication::setApplicationName(QStringLiteral("FakeZt Launcher"));
    // The classic "Plastique" look is gone from Qt 6; "Fusion" is its successor.
    QApplication::setStyle(QStringLiteral("Fusion"));
    app.setQuitOnLastWindowClosed(true);
    QApplication::setPalette(LauncherPalette());
}
