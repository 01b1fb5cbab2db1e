#include "app/VArgParser.h"

#include <algorithm>

void VArgParser::AddText(std::string name, std::string help, std::string* target)
{
    VOption option;
    option.m_Name = std::move(name);
    option.m_Help = std::move(help);
    option.m_DefaultText = "\"" + *target + "\"";
    option.m_Text = target;
    m_Options.push_back(std::move(option));
}

void VArgParser::AddFlag(std::string name, std::string help, bool* target)
{
    VOption option;
    option.m_Name = std::move(name);
    option.m_Help = std::move(help);
    option.m_DefaultText = *target ? "true" : "false";
    option.m_Flag = target;
    m_Options.push_back(std::move(option));
}

void VArgParser::SetVersion(std::string line)
{
    m_Version = std::move(line);
}

const VArgParser::VOption* VArgParser::Find(const std::string& name) const
{
    for (const VOption& option : m_Options)
    {
        if (option.m_Name == name)
            return &option;
    }
    return nullptr;
}

VArgParser::EParseResult VArgParser::Parse(const std::vector<std::string>& args, std::FILE* out,
                                           std::FILE* err)
{
    for (size_t i = 1; i < args.size(); ++i)
    {
        const std::string& arg = args[i];
        if (arg == "-?" || arg == "--help")
        {
            PrintHelp(out);
            return EParseResult::HelpShown;
        }
        if (arg == "--version" && !m_Version.empty())
        {
            std::fprintf(out, "%s\n", m_Version.c_str());
            return EParseResult::VersionShown;
        }
        const VOption* option = Find(arg);
        if (option == nullptr)
        {
            std::fprintf(err, "Warning: ignoring unrecognised argument \"%s\"\n", arg.c_str());
            continue;
        }
        if (option->m_Flag != nullptr)
        {
            *option->m_Flag = true;
            continue;
        }
        if (i + 1 >= args.size())
        {
            std::fprintf(err, "Warning: option %s needs a value; ignored\n", arg.c_str());
            continue;
        }
        *option->m_Text = args[++i];
    }
    return EParseResult::Parsed;
}

void VArgParser::PrintHelp(std::FILE* out) const
{
    size_t nameWidth = 0;
    size_t helpWidth = 0;
    for (const VOption& option : m_Options)
    {
        nameWidth = std::max(nameWidth, option.m_Name.size());
        helpWidth = std::max(helpWidth, option.m_Help.size());
    }
    const int nameColumn = static_cast<int>(nameWidth);
    const int helpColumn = static_cast<int>(helpWidth);
    std::fprintf(out, "Options:\n");
    for (const VOption& option : m_Options)
    {
        std::fprintf(out, "  %-*s  %-6s  %-*s  [default: %s]\n", nameColumn, option.m_Name.c_str(),
                     option.m_Flag != nullptr ? "bool" : "string", helpColumn,
                     option.m_Help.c_str(), option.m_DefaultText.c_str());
    }
    if (!m_Version.empty())
        std::fprintf(out, "  --version   show the version (an addition to the five options)\n");
    std::fprintf(out, "  -?, --help  show this listing\n");
}
