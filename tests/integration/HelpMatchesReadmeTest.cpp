// The help of each program names the options that its section of the README documents, and
// the other way round: neither can grow an option the other does not know.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{

std::string Output(const std::string& command)
{
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    std::size_t count = 0;
    while ((count = fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        output.append(buffer, count);
    pclose(pipe);
    return output;
}

/// The options ("--word", and "-word" where `single` allows) that `text` names, each standing
/// after a blank, a bracket, a bar, a comma, a back-quote or at the start of a line.
std::set<std::string> Options(const std::string& text, bool single)
{
    static const std::regex doubleDash(R"((?:^|[\s\[`|(,])(--[a-z][a-z0-9-]*))");
    static const std::regex anyDash(R"((?:^|[\s\[`|(,])(--?[a-z?][a-z0-9-]*))");
    std::set<std::string> found;
    const std::regex& pattern = single ? anyDash : doubleDash;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        found.insert((*it)[1].str());
    return found;
}

/// `text` without the lines that show another of the programs at work ("tsmhost run ...").
std::string WithoutForeignLines(const std::string& text, const std::vector<std::string>& others)
{
    std::istringstream lines(text);
    std::string line;
    std::string kept;
    while (std::getline(lines, line))
    {
        bool foreign = false;
        for (const std::string& other : others)
            foreign = foreign || line.find(other + " ") != std::string::npos;
        if (!foreign)
            kept += line + "\n";
    }
    return kept;
}

/// The README's section "## <name>" up to the next section, without lines that show another
/// of the programs at work.
std::string Section(const std::string& name, const std::vector<std::string>& others)
{
    std::ifstream file(TSM_README);
    std::string line;
    std::string section;
    bool inside = false;
    while (std::getline(file, line))
    {
        if (line.rfind("## ", 0) == 0)
            inside = line == "## " + name;
        if (inside)
            section += line + "\n";
    }
    return WithoutForeignLines(section, others);
}

} // namespace

TEST(HelpMatchesReadme, TsmhostAndTsmtrialDocumentEveryOptionTheyRead)
{
    std::string hostHelp = Output(std::string(TSMHOST_PATH) + " --help");
    for (const char* command : {"run", "shell", "broadcast"})
        hostHelp += Output(std::string(TSMHOST_PATH) + " " + command + " --help");
    for (const char* command :
         {"sync", "reset", "master", "awake", "preview", "alive-ping", "frame-number",
          "data-disable", "strobe-disable", "test-sync", "system-event", "raw"})
        hostHelp += Output(std::string(TSMHOST_PATH) + " broadcast " + command + " --help");
    const std::string hostReadme = Section("tsmhost", {"tsmtrial", "tsmCL"});
    EXPECT_EQ(Options(hostReadme, false),
              Options(WithoutForeignLines(hostHelp, {"tsmtrial", "tsmCL"}), false))
        << hostHelp;

    std::string trialHelp = Output(std::string(TSMTRIAL_PATH) + " --help");
    for (const char* command : {"info", "dump", "generate", "diff"})
        trialHelp += Output(std::string(TSMTRIAL_PATH) + " " + command + " --help");
    const std::string trialReadme = Section("tsmtrial", {"tsmhost", "tsmCL"});
    EXPECT_EQ(Options(trialReadme, false),
              Options(WithoutForeignLines(trialHelp, {"tsmhost", "tsmCL"}), false))
        << trialHelp;
}

TEST(HelpMatchesReadme, TsmCLAndTheLauncherListWhatTheReadmeSays)
{
    const std::string clHelp = Output(std::string(TSMCL_PATH) + " --help");
    std::set<std::string> clOptions = Options(clHelp, true);
    const std::set<std::string> clReadme = Options(Section("tsmCL", {"tsmhost", "tsmtrial"}), true);
    for (const std::string& option : clOptions)
        EXPECT_EQ(clReadme.count(option), 1u) << option << " is not in the README's tsmCL section";
    for (const char* option : {"-localip", "-halip", "-x1d", "-x2d", "-crash", "--version"})
        EXPECT_EQ(clOptions.count(option), 1u) << option << " is missing from tsmCL --help";

    const std::string launcherHelp = Output(std::string(TSM_LAUNCHER_PATH) + " --help");
    const std::set<std::string> launcherReadme = Options(Section("Launcher", {}), false);
    for (const std::string& option : Options(launcherHelp, false))
        EXPECT_EQ(launcherReadme.count(option), 1u) << option << " is not in the README";
}
