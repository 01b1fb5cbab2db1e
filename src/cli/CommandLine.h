// The command lines of our own tools, on CLI11: one help layout, --version, values read by
// the tool's own rules, and parsing that reports its outcome instead of throwing.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>
#include <vector>

namespace CommandLine
{

/// The version of the tsm programs, for example "1.2.1".
const char* Version();

/// Gives `app` the tools' help layout ("Usage:" on a line of its own, then the command),
/// "-h,--help", and "--version" printing "<name> <version>". Call it before adding
/// subcommands: they inherit the layout.
void Configure(CLI::App& app);

/// Adds option `name` with one value. `read` turns the text into the caller's value and
/// returns false for a text it refuses; the parse then fails with
/// "bad value "<text>" for <name>". `read` is kept and runs during Parse.
CLI::Option* AddValue(CLI::App& app, const std::string& name,
                      std::function<bool(const std::string&)> read, const std::string& valueName,
                      const std::string& description);

/// Adds a flag that stands alone: "--name=value" is refused.
CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& target,
                     const std::string& description);

enum class EOutcome
{
    Parsed,       ///< the targets hold what the arguments said
    HelpShown,    ///< help was asked for: Text holds the help of the command named
    VersionShown, ///< --version: Text holds the version line
    Refused       ///< bad arguments: Text holds the reason (one line, no line end)
};

struct VParseResult
{
    EOutcome Outcome = EOutcome::Refused;
    std::string Text;
};

/// Parses `args` (without the program name) into the targets declared on `app`. Runs on the
/// caller's thread; CLI11's exceptions stay inside.
VParseResult Parse(CLI::App& app, const std::vector<std::string>& args);

/// The help of the deepest subcommand the last Parse reached (`app` itself when none), with
/// its parents' names in the usage line.
std::string HelpOfChosen(const CLI::App& app);

} // namespace CommandLine
