// Reading the reporter's command line, naming the incident and finding the crash server.
#include "errorreporting/ReporterArguments.h"
#include "errorreporting/VDumpUploader.h"

#include <gtest/gtest.h>

TEST(ReporterArguments, NumbersAreDecimalOrHexadecimalAndNothingElse)
{
    EXPECT_EQ(ParseReporterNumber("4242"), 4242u);
    EXPECT_EQ(ParseReporterNumber("0x7FFE12345678"), 0x7FFE12345678u);
    EXPECT_EQ(ParseReporterNumber("0Xabc"), 0xABCu);
    EXPECT_EQ(ParseReporterNumber("0xFFFFFFFFFFFFFFFF"), 0xFFFFFFFFFFFFFFFFu);
    for (const char* bad : {"", "0x", "-1", "+1", "12a", " 12", "12 ", "0x1G", "abc",
                            "0x10000000000000000", "99999999999999999999"})
        EXPECT_FALSE(ParseReporterNumber(bad).has_value()) << '"' << bad << '"';

    // Only 1 is brand 1; 0, any other number and text are brand 0.
    EXPECT_EQ(ParseBrand("1"), 1);
    EXPECT_EQ(ParseBrand("0x1"), 1);
    for (const char* other : {"0", "2", "7", "orvan", "", "-1"})
        EXPECT_EQ(ParseBrand(other), 0) << other;
}

TEST(ReporterArguments, IncidentIdNamesTheProgramAndTheLocalTime)
{
    EXPECT_EQ(ModuleBaseName("/opt/tsm/bin/tsmCL"), "tsmCL");
    EXPECT_EQ(ModuleBaseName("/opt/tsm/bin/tsmCL.exe"), "tsmCL");
    EXPECT_EQ(ModuleBaseName("/opt/a.b/tool.sh (deleted)"), "tool");
    EXPECT_EQ(ModuleBaseName("tsmCL"), "tsmCL");

    std::tm time{};
    time.tm_year = 2024 - 1900;
    time.tm_mon = 1;
    time.tm_mday = 29;
    time.tm_hour = 7;
    time.tm_min = 5;
    time.tm_sec = 3;
    EXPECT_EQ(FormatIncidentId("tsmCL", time), "tsmCL-20240229-070503");
    // At most 259 characters.
    EXPECT_EQ(FormatIncidentId(std::string(300, 'n'), time), std::string(259, 'n'));
}

TEST(ReporterArguments, CrashServerIsHostAndOptionalPort)
{
    const auto server = ParseCrashServer("crash.example:2121");
    ASSERT_TRUE(server);
    EXPECT_EQ(server->m_Host, "crash.example");
    EXPECT_EQ(server->m_Port, 2121);
    EXPECT_EQ(ParseCrashServer("127.0.0.1")->m_Port, 21);
    EXPECT_EQ(ParseCrashServer("[::1]:2100")->m_Host, "[::1]");
    EXPECT_EQ(ParseCrashServer("[::1]")->m_Port, 21);
    for (const char* bad :
         {"", ":21", "host:", "host:0", "host:65536", "host:21x", "::1", "[::1", "[::1]x"})
        EXPECT_FALSE(ParseCrashServer(bad).has_value()) << bad;
}
