// The progress bar shows only for large work on a terminal and leaves a clean line behind.
#include "tsmtrial/VProgressBar.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(ProgressBar, ShowsOnlyOnATerminalForLargeWork)
{
    // Not a terminal: nothing at all, whatever the size.
    std::ostringstream pipe;
    VProgressBar quiet(pipe, "Writing", false, 100);
    quiet.Begin(10, 1000);
    quiet.Advance(5);
    quiet.End(true);
    EXPECT_FALSE(quiet.IsShown());
    EXPECT_EQ(pipe.str(), "");

    // A terminal but small work: nothing either.
    std::ostringstream small;
    VProgressBar smallBar(small, "Writing", true, 100);
    smallBar.Begin(10, 99);
    smallBar.Advance(10);
    smallBar.End(true);
    EXPECT_EQ(small.str(), "");

    // A terminal and large work: drawn in place, finished at 100% and cleared at the end.
    std::ostringstream terminal;
    VProgressBar bar(terminal, "Writing", true, 100);
    bar.Begin(4, 100);
    EXPECT_TRUE(bar.IsShown());
    for (int done = 1; done <= 4; ++done)
    {
        bar.Advance(done);
    }
    const std::string full = VProgressBar::Render("Writing", 4, 4);
    EXPECT_NE(terminal.str().find("\r" + full), std::string::npos) << terminal.str();
    EXPECT_EQ(terminal.str().find('\n'), std::string::npos);
    bar.End(true);
    const std::string text = terminal.str();
    EXPECT_EQ(text.substr(text.size() - full.size() - 2),
              "\r" + std::string(full.size(), ' ') + "\r");
}

TEST(ProgressBar, RendersShareAndCounts)
{
    EXPECT_EQ(VProgressBar::Render("W", 0, 300), "W [..............................]   0% 0/300");
    EXPECT_EQ(VProgressBar::Render("W", 150, 300),
              "W [###############...............]  50% 150/300");
    EXPECT_EQ(VProgressBar::Render("W", 300, 300),
              "W [##############################] 100% 300/300");
    // More done than planned, or nothing to do, shows as complete.
    EXPECT_EQ(VProgressBar::Render("W", 400, 300),
              "W [##############################] 100% 300/300");
    EXPECT_EQ(VProgressBar::Render("W", 0, 0), "W [##############################] 100% 0/0");
}
