#include "lumen/Log.h"

#include "support/FileBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

std::string TempPath(const char* tag)
{
    return ::testing::TempDir() + "lumen_" + tag + "_" + std::to_string(::getpid()) + ".log";
}

} // namespace

TEST(Log, WritesOnlyAtOrBelowTheCategoryLevel)
{
    const std::string path = TempPath("levels");
    std::remove(path.c_str());
    ASSERT_TRUE(ZEL::GlobalLog().SetOutput(path));
    ZEL::GlobalLog().SetLevel("LevelsTest", 4);

    ZEL_LOG("LevelsTest", 4, "kept %d", 4);
    ZEL_LOG("LevelsTest", 5, "dropped %d", 5);
    // A category nobody configured stays silent.
    ZEL_LOG("LevelsTestOther", 1, "silent");

    ZEL::GlobalLog().SetOutput("");
    const std::string text = testsupport::ReadText(path);
    EXPECT_NE(text.find("kept 4"), std::string::npos);
    EXPECT_NE(text.find("LogTest.cpp"), std::string::npos) << "file of the calling site";
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_EQ(text.find("silent"), std::string::npos);
    std::remove(path.c_str());
}

TEST(Log, CategoryHandlesAreStableAndSharedAcrossThreads)
{
    ZEL::ILogCategory* first = ZEL::GlobalLog().GetCategory("Shared");
    // Many categories added afterwards must not move the first one.
    for (int i = 0; i < 100; ++i)
        ZEL::GlobalLog().GetCategory("Filler" + std::to_string(i));
    EXPECT_EQ(first, ZEL::GlobalLog().GetCategory("Shared"));

    static ZEL::VLogCategoryHandle site("RaceCategory");
    std::vector<std::thread> threads;
    std::vector<ZEL::ILogCategory*> seen(8);
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] { seen[i] = site.Get(); });
    for (auto& thread : threads)
        thread.join();
    for (auto* category : seen)
        EXPECT_EQ(category, ZEL::GlobalLog().GetCategory("RaceCategory"));
}

TEST(Log, CloseWritesTheFinalMessageThenDropsLaterWrites)
{
    const std::string path = TempPath("close");
    std::remove(path.c_str());
    ASSERT_TRUE(ZEL::GlobalLog().SetOutput(path));
    ZEL::GlobalLog().SetLevel("CloseTest", 5);
    ZEL::CloseLog("Application crash - generating error report...");
    ZEL_LOG("CloseTest", 1, "after close");
    const std::string text = testsupport::ReadText(path);
    EXPECT_NE(text.find("Application crash - generating error report..."), std::string::npos);
    EXPECT_EQ(text.find("after close"), std::string::npos);
    std::remove(path.c_str());
}
