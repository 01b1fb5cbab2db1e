#include "Tools/Verified/Tessal/LauncherApplication.h"

#include <QApplication>
#include <QStyle>

#include <gtest/gtest.h>

namespace
{

struct RoleColours
{
    QPalette::ColorRole role;
    QColor active;
    QColor disabled;
};

const RoleColours kExpectedRoles[] = {
    {QPalette::Window, QColor(80, 80, 80), QColor(80, 80, 80)},
    {QPalette::Base, QColor(110, 110, 110), QColor(110, 110, 110)},
    {QPalette::Button, QColor(95, 95, 100), QColor(100, 100, 100)},
    {QPalette::ButtonText, QColor(255, 255, 255), QColor(100, 100, 100)},
    {QPalette::Text, QColor(255, 255, 255), QColor(120, 120, 120)},
    {QPalette::WindowText, QColor(255, 255, 255), QColor(120, 120, 120)},
    {QPalette::Light, QColor(160, 160, 160), QColor(160, 160, 160)},
    {QPalette::Shadow, QColor(20, 20, 80), QColor(20, 20, 80)},
};

} // namespace

TEST(LauncherApplication, ConfiguresNamesStyleQuitAndDarkPalette)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    app->setQuitOnLastWindowClosed(false);
    ConfigureLauncherApplication(*app);
    const bool quitsOnLastWindow = app->quitOnLastWindowClosed();
    app->setQuitOnLastWindowClosed(false); // the other tests close windows freely

    // The names choose the settings store.
    EXPECT_EQ(QCoreApplication::organizationName(), "Orvan");
    EXPECT_EQ(QCoreApplication::applicationName(), "FakeZt Launcher");
    EXPECT_TRUE(quitsOnLastWindow);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");

    // The palette is exact in all three groups, and it is the one the application uses
    // (a style set after the palette would have replaced it).
    const QPalette applied = QApplication::palette();
    for (const RoleColours& expected : kExpectedRoles)
    {
        SCOPED_TRACE(testing::Message() << "role " << int(expected.role));
        for (const QPalette& palette : {LauncherPalette(), applied})
        {
            EXPECT_EQ(palette.color(QPalette::Active, expected.role), expected.active);
            EXPECT_EQ(palette.color(QPalette::Inactive, expected.role), expected.active);
            EXPECT_EQ(palette.color(QPalette::Disabled, expected.role), expected.disabled);
            EXPECT_EQ(palette.color(QPalette::Active, expected.role).alpha(), 255);
        }
    }
}
