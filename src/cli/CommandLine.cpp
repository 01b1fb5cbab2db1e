#include "cli/CommandLine.h"

#include <algorithm>

namespace
{

/// CLI11's help with the usage line split as our tools always showed it.
class VHelpFormatter : public CLI::Formatter
{
public:
    static constexpr std::size_t kColumn = 30;
    static constexpr std::size_t kWidth = 100;

    VHelpFormatter() { column_width(kColumn); }

    std::string make_help(const CLI::App* app, std::string name,
                          CLI::AppFormatMode mode) const override
    {
        std::string help = Wrap(CLI::Formatter::make_help(app, std::move(name), mode));
        // CLI11 puts two empty lines before a named group of options; one is enough.
        for (std::size_t at = help.find("\n\n\n"); at != std::string::npos;
             at = help.find("\n\n\n", at))
            help.erase(at, 1);
        return help;
    }

    std::string make_usage(const CLI::App* app, std::string name) const override
    {
        std::string usage = CLI::Formatter::make_usage(app, std::move(name));
        const std::string heading = "Usage: ";
        if (usage.rfind(heading, 0) == 0)
            usage.replace(0, heading.size(), "Usage:\n  ");
        return usage;
    }

private:
    /// Breaks lines longer than kWidth at blanks; the description of an option or subcommand
    /// goes on under its own column.
    static std::string Wrap(const std::string& help)
    {
        std::string wrapped;
        std::size_t start = 0;
        while (start < help.size())
        {
            std::size_t end = help.find('\n', start);
            if (end == std::string::npos)
                end = help.size();
            std::string line = help.substr(start, end - start);
            const bool listed = line.size() > kColumn && line.rfind("  ", 0) == 0 &&
                                line[kColumn - 1] == ' ' && line[kColumn] != ' ';
            const std::string indent(listed ? kColumn : 0, ' ');
            while (line.size() > kWidth)
            {
                const std::size_t blank = line.rfind(' ', kWidth);
                if (blank == std::string::npos || blank <= indent.size())
                    break;
                wrapped += line.substr(0, blank) + "\n";
                line = indent + line.substr(blank + 1);
            }
            wrapped += line;
            if (end < help.size())
                wrapped += '\n';
            start = end + 1;
        }
        return wrapped;
    }
};

} // namespace

namespace CommandLine
{

const char* Version()
{
    return TSM_VERSION;
}

void Configure(CLI::App& app)
{
    app.formatter(std::make_shared<VHelpFormatter>());
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", app.get_name() + " " + Version(),
                         "show the version and exit");
}

CLI::Option* AddValue(CLI::App& app, const std::string& name,
                      std::function<bool(const std::string&)> read, const std::string& valueName,
                      const std::string& description)
{
    auto check = [read = std::move(read), name](const std::string& text)
    {
        if (!read(text))
            throw CLI::ValidationError("bad value \"" + text + "\" for " + name,
                                       CLI::ExitCodes::ValidationError);
    };
    return app.add_option_function<std::string>(name, check, description)->type_name(valueName);
}

CLI::Option* AddFlag(CLI::App& app, const std::string& name, bool& target,
                     const std::string& description)
{
    return app.add_flag(name, target, description)->disable_flag_override();
}

VParseResult Parse(CLI::App& app, const std::vector<std::string>& args)
{
    // CLI11 takes the words last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try
    {
        app.parse(reversed);
    }
    catch (const CLI::CallForHelp&)
    {
        return {EOutcome::HelpShown, HelpOfChosen(app)};
    }
    catch (const CLI::CallForAllHelp&)
    {
        return {EOutcome::HelpShown, HelpOfChosen(app)};
    }
    catch (const CLI::CallForVersion& version)
    {
        return {EOutcome::VersionShown, std::string(version.what()) + "\n"};
    }
    catch (const CLI::ParseError& error)
    {
        return {EOutcome::Refused, error.what()};
    }
    return {EOutcome::Parsed, {}};
}

std::string HelpOfChosen(const CLI::App& app)
{
    const CLI::App* chosen = &app;
    std::string parents;
    while (!chosen->get_subcommands().empty())
    {
        parents += (parents.empty() ? "" : " ") + chosen->get_name();
        chosen = chosen->get_subcommands().front();
    }
    return chosen->help(parents);
}

} // namespace CommandLine
