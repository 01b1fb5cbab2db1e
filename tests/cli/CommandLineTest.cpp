#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>

namespace
{

/// A tool with one subcommand, "go", taking a number, a flag and a file.
struct VTool
{
    CLI::App App{"A tool.", "tool"};
    std::optional<std::uint32_t> Count;
    bool Loud = false;
    std::vector<std::string> Files;

    VTool()
    {
        CommandLine::Configure(App);
        App.require_subcommand(1);
        CLI::App* go = App.add_subcommand("go", "does it");
        CommandLine::AddValue(
            *go, "--count",
            [this](const std::string& text)
            {
                if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
                    return false;
                Count = static_cast<std::uint32_t>(std::stoul(text));
                return true;
            },
            "N", "how many");
        CommandLine::AddFlag(*go, "--loud", Loud, "say it loud");
        go->add_option("FILE", Files, "the file")->expected(1);
    }

    CommandLine::VParseResult Parse(std::vector<std::string> args)
    {
        return CommandLine::Parse(App, args);
    }
};

} // namespace

TEST(CommandLine, ValuesFollowAsNextWordOrAfterAnEqualsSign)
{
    VTool spaced;
    EXPECT_EQ(spaced.Parse({"go", "--count", "3", "a"}).Outcome, CommandLine::EOutcome::Parsed);
    EXPECT_EQ(spaced.Count, 3u);
    VTool joined;
    EXPECT_EQ(joined.Parse({"go", "a", "--count=12", "--loud"}).Outcome,
              CommandLine::EOutcome::Parsed);
    EXPECT_EQ(joined.Count, 12u);
    EXPECT_TRUE(joined.Loud);
    EXPECT_EQ(joined.Files, std::vector<std::string>{"a"});
}

TEST(CommandLine, BadArgumentsAreRefusedWithAReasonNeverThrown)
{
    const std::vector<std::vector<std::string>> bad = {
        {},                                  // no subcommand
        {"fly"},                             // unknown subcommand
        {"go", "--count"},                   // value missing
        {"go", "--count", "-1"},             // the tool's reader refuses it
        {"go", "--count", "1", "--count=2"}, // given twice
        {"go", "--loud=yes"},                // a flag takes no value
        {"go", "--colour", "red"},           // unknown option
        {"go", "a", "b"},                    // one file too many
    };
    for (const std::vector<std::string>& args : bad)
    {
        VTool tool;
        const CommandLine::VParseResult result = tool.Parse(args);
        EXPECT_EQ(result.Outcome, CommandLine::EOutcome::Refused) << testing::PrintToString(args);
        EXPECT_FALSE(result.Text.empty());
        EXPECT_EQ(result.Text.find('\n'), std::string::npos) << result.Text;
    }
    VTool tool;
    EXPECT_EQ(tool.Parse({"go", "--count", "x1"}).Text, "bad value \"x1\" for --count");
}

TEST(CommandLine, HelpIsTheChosenCommandsAndVersionNamesTheTool)
{
    VTool top;
    const CommandLine::VParseResult help = top.Parse({"--help"});
    EXPECT_EQ(help.Outcome, CommandLine::EOutcome::HelpShown);
    EXPECT_NE(help.Text.find("Usage:\n  tool"), std::string::npos) << help.Text;
    EXPECT_NE(help.Text.find("go"), std::string::npos);

    // Help of a subcommand names its parent in the usage line and lists its options.
    VTool sub;
    const CommandLine::VParseResult goHelp = sub.Parse({"go", "--count", "1", "--help"});
    EXPECT_EQ(goHelp.Outcome, CommandLine::EOutcome::HelpShown);
    EXPECT_NE(goHelp.Text.find("Usage:\n  tool go"), std::string::npos) << goHelp.Text;
    EXPECT_NE(goHelp.Text.find("--count N"), std::string::npos) << goHelp.Text;
    EXPECT_NE(goHelp.Text.find("say it loud"), std::string::npos) << goHelp.Text;

    VTool version;
    const CommandLine::VParseResult shown = version.Parse({"--version"});
    EXPECT_EQ(shown.Outcome, CommandLine::EOutcome::VersionShown);
    EXPECT_EQ(shown.Text, std::string("tool ") + CommandLine::Version() + "\n");
}
