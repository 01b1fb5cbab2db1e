// The real tsm program where no window can open: a user who starts the launcher over SSH or
// in a container gets a reason and an exit status, not a core dump.
#include "support/VChildProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

using namespace std::chrono_literals;

TEST(LauncherProgram, WithoutADisplayItSaysSoAndEndsWithOne)
{
    unsetenv("QT_QPA_PLATFORM");
    unsetenv("WAYLAND_DISPLAY");
    for (const char* display : {"", ":97"}) // none at all, and one nobody serves
    {
        SCOPED_TRACE(std::string("DISPLAY=") + display);
        setenv("DISPLAY", display, 1);
        testsupport::VChildProcess tsm;
        ASSERT_TRUE(tsm.Start({TSM_LAUNCHER_PATH}));
        ASSERT_TRUE(tsm.WaitForExit(30s)) << "the launcher waited for a display";
        EXPECT_EQ(tsm.TermSignal(), 0) << tsm.Stderr();
        EXPECT_EQ(tsm.ExitCode(), 1) << tsm.Stderr();
        EXPECT_NE(tsm.Stderr().find("tsm: no display could be opened"), std::string::npos)
            << tsm.Stderr();
    }
}
