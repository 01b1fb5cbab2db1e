// A small parser for "-name value" text options and "-name" flags, with a help
// listing; the option texts and defaults are the caller's.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

/// Declares options, reads an argument list into the caller's variables and
/// prints a help listing that names each option, its type, help text and default.
/// The targets given to AddText/AddFlag are kept and must outlive the parser.
/// Not synchronised: use from one thread.
class VArgParser
{
public:
    enum class EParseResult
    {
        Parsed,      ///< the arguments were read; unrecognised ones were warned about
        HelpShown,   ///< "-?" or "--help" was given and the listing was printed
        VersionShown ///< "--version" was given (see SetVersion) and the version was printed
    };

    VArgParser() = default;
    VArgParser(const VArgParser&) = delete;
    VArgParser& operator=(const VArgParser&) = delete;

    /// Declares a text option whose value is the next argument. The current
    /// content of *target is the default shown in the listing.
    void AddText(std::string name, std::string help, std::string* target);

    /// Declares a flag: present means on. The current *target is the default.
    void AddFlag(std::string name, std::string help, bool* target);

    /// Adds "--version", which prints `line` and a line end on the output and stops reading.
    /// It is listed after the declared options.
    void SetVersion(std::string line);

    /// Reads `args`; args[0] is the program name and is skipped. Options may come in
    /// any order, the last occurrence wins, and a text option takes the next argument
    /// as its value whatever it looks like. "-?" or "--help" prints the listing on
    /// `out` and stops reading. An unrecognised argument, or a text option with no
    /// argument after it, prints a warning on `err` and is otherwise ignored.
    EParseResult Parse(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

    /// Prints one line per option: name, type name ("string" or "bool"), help
    /// text and default, then "--version" when set, then the help options themselves.
    void PrintHelp(std::FILE* out) const;

private:
    struct VOption
    {
        std::string m_Name;
        std::string m_Help;
        std::string m_DefaultText;     ///< as shown in the listing
        std::string* m_Text = nullptr; ///< set for text options
        bool* m_Flag = nullptr;        ///< set for flags
    };

    const VOption* Find(const std::string& name) const;

    std::vector<VOption> m_Options;
    std::string m_Version; ///< empty: no "--version"
};
