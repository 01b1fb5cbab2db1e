// Runs the real tsmtrial program: the sample trials of the build, exit codes through the
// process boundary, and clean standard error when it is not a terminal.
#include "TsmtrialTestSupport.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace
{

struct VProgramResult
{
    int ExitCode = -1;
    std::string Out;
};

/// Runs tsmtrial with `arguments` (shell words); `redirect` is appended to the command.
VProgramResult RunProgram(const std::string& arguments, const std::string& redirect = "")
{
    VProgramResult result;
    const std::string command = std::string(TSMTRIAL_PATH) + " " + arguments + " " + redirect;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
    {
        return result;
    }
    std::array<char, 4096> buffer;
    std::size_t count = 0;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    {
        result.Out.append(buffer.data(), count);
    }
    const int status = ::pclose(pipe);
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

} // namespace

TEST(TsmtrialProgram, SampleTrialsOfTheBuildAreTheDocumentedOnes)
{
    // The build made them with these options; the same command must give the same bytes.
    testsupport::VTempDir dir;
    const VProgramResult x2d = RunProgram(
        "generate " + Quoted(dir.File("sample.x2d")) +
        " --cameras 4 --markers 10 --model Zt-M4 --frames 300 --rate 100 --timecode 10:00:00:00"
        " --seed 1 --quiet");
    ASSERT_EQ(x2d.ExitCode, 0) << x2d.Out;
    const VProgramResult x1d = RunProgram("generate " + Quoted(dir.File("sample.x1d")) +
                                          " --devices 1 --channels 8 --frames 300 --rate 100"
                                          " --sample-rate 1000 --seed 1 --quiet");
    ASSERT_EQ(x1d.ExitCode, 0) << x1d.Out;
    const std::vector<std::uint8_t> sampleX2D = testsupport::ReadBytes(TSM_SAMPLE_X2D);
    ASSERT_FALSE(sampleX2D.empty()) << "no sample trial at " << TSM_SAMPLE_X2D;
    EXPECT_EQ(sampleX2D, testsupport::ReadBytes(dir.File("sample.x2d")));
    EXPECT_EQ(testsupport::ReadBytes(TSM_SAMPLE_X1D),
              testsupport::ReadBytes(dir.File("sample.x1d")));

    const VProgramResult info = RunProgram("info " + Quoted(TSM_SAMPLE_X2D));
    EXPECT_EQ(info.ExitCode, 0);
    EXPECT_NE(info.Out.find("Frames          300, numbers 1 to 300\n"), std::string::npos)
        << info.Out;
    EXPECT_EQ(RunProgram("diff " + Quoted(TSM_SAMPLE_X1D) + " " + Quoted(dir.File("sample.x1d")))
                  .ExitCode,
              0);
}

TEST(TsmtrialProgram, ExitCodesAndStandardErrorCrossTheProcessBoundary)
{
    testsupport::VTempDir dir;
    // Not a terminal: no progress bar, nothing on standard error.
    const VProgramResult generated = RunProgram(
        "generate " + Quoted(dir.File("big.x2d")) + " --frames 400 --markers 40", "2>&1");
    EXPECT_EQ(generated.ExitCode, 0);
    EXPECT_EQ(generated.Out.find('\r'), std::string::npos);
    EXPECT_EQ(generated.Out.rfind("Wrote ", 0), 0u) << generated.Out;

    EXPECT_EQ(RunProgram("", "2>/dev/null").ExitCode, 2);
    const VProgramResult missing = RunProgram("info " + Quoted(dir.File("none.x2d")), "2>&1");
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_NE(missing.Out.find("No such file or directory"), std::string::npos) << missing.Out;
    EXPECT_EQ(RunProgram("dump " + Quoted(TSM_SAMPLE_X2D) + " --frame 299 --json").ExitCode, 0);
    EXPECT_EQ(RunProgram("dump " + Quoted(TSM_SAMPLE_X2D) + " --frame 300", "2>/dev/null").ExitCode,
              1);
}
