#include "app/VArgParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace
{

/// A memory stream that collects what the parser prints.
class VCapture
{
public:
    VCapture() : m_File(open_memstream(&m_Buffer, &m_Size)) {}
    ~VCapture()
    {
        std::fclose(m_File);
        std::free(m_Buffer);
    }
    VCapture(const VCapture&) = delete;
    VCapture& operator=(const VCapture&) = delete;

    std::FILE* File() { return m_File; }
    std::string Text()
    {
        std::fflush(m_File);
        return std::string(m_Buffer, m_Size);
    }

private:
    char* m_Buffer = nullptr;
    size_t m_Size = 0;
    std::FILE* m_File;
};

struct VOptions
{
    std::string m_Name = "default";
    std::string m_Path;
    bool m_Flag = false;
    VArgParser m_Parser;

    VOptions()
    {
        m_Parser.AddText("-name", "A name", &m_Name);
        m_Parser.AddText("-path", "A path", &m_Path);
        m_Parser.AddFlag("-flag", "A flag", &m_Flag);
    }
};

} // namespace

TEST(ArgParser, ReadsOptionsInAnyOrderAndWarnsAboutTheRest)
{
    VOptions options;
    VCapture out;
    VCapture err;
    // The value is the next argument whatever it looks like; the last occurrence wins.
    EXPECT_EQ(options.m_Parser.Parse(
                  {"prog", "-flag", "stray", "-path", "-name", "-name", "a", "-name", "b", "-path"},
                  out.File(), err.File()),
              VArgParser::EParseResult::Parsed);
    EXPECT_TRUE(options.m_Flag);
    EXPECT_EQ(options.m_Path, "-name");
    EXPECT_EQ(options.m_Name, "b");
    EXPECT_EQ(out.Text(), "");
    EXPECT_EQ(err.Text(), "Warning: ignoring unrecognised argument \"stray\"\n"
                          "Warning: option -path needs a value; ignored\n");
}

TEST(ArgParser, KeepsDefaultsWhenNothingIsGiven)
{
    VOptions options;
    VCapture out;
    VCapture err;
    EXPECT_EQ(options.m_Parser.Parse({"prog"}, out.File(), err.File()),
              VArgParser::EParseResult::Parsed);
    EXPECT_EQ(options.m_Name, "default");
    EXPECT_EQ(options.m_Path, "");
    EXPECT_FALSE(options.m_Flag);
    // Option names are exact: no prefixes, no other case.
    options.m_Parser.Parse({"prog", "-fla", "-FLAG", "--flag"}, out.File(), err.File());
    EXPECT_FALSE(options.m_Flag);
}

TEST(ArgParser, HelpStopsReadingAndListsEachOption)
{
    VOptions options;
    VCapture out;
    VCapture err;
    EXPECT_EQ(options.m_Parser.Parse({"prog", "-name", "x", "-?", "-flag"}, out.File(), err.File()),
              VArgParser::EParseResult::HelpShown);
    EXPECT_FALSE(options.m_Flag) << "nothing after the help option is read";
    EXPECT_EQ(out.Text(), "Options:\n"
                          "  -name  string  A name  [default: \"default\"]\n"
                          "  -path  string  A path  [default: \"\"]\n"
                          "  -flag  bool    A flag  [default: false]\n"
                          "  -?, --help  show this listing\n");
    EXPECT_EQ(err.Text(), "");
}

TEST(ArgParser, VersionIsListedAfterTheOptionsAndStopsReading)
{
    VOptions options;
    options.m_Parser.SetVersion("prog 9.8.7");
    VCapture out;
    VCapture err;
    EXPECT_EQ(options.m_Parser.Parse({"prog", "--version", "-flag"}, out.File(), err.File()),
              VArgParser::EParseResult::VersionShown);
    EXPECT_FALSE(options.m_Flag);
    EXPECT_EQ(out.Text(), "prog 9.8.7\n");
    VCapture listing;
    options.m_Parser.PrintHelp(listing.File());
    EXPECT_NE(listing.Text().find("[default: false]\n  --version   show the version"),
              std::string::npos)
        << listing.Text();
    // Without SetVersion "--version" is an unknown argument, as before.
    VOptions plain;
    EXPECT_EQ(plain.m_Parser.Parse({"prog", "--version"}, out.File(), err.File()),
              VArgParser::EParseResult::Parsed);
    EXPECT_EQ(err.Text(), "Warning: ignoring unrecognised argument \"--version\"\n");
}
