#include "tsmtrial/TsmtrialCommands.h"

#include "tsmtrial/CameraModels.h"
#include "tsmtrial/TrialFile.h"
#include "tsmtrial/TrialReport.h"
#include "tsmtrial/VJsonWriter.h"
#include "tsmtrial/VProgressBar.h"
#include "tsmtrial/VReplayDiff.h"
#include "tsmtrial/VTrialDiff.h"
#include "tsmtrial/VX1DTrialGenerator.h"
#include "tsmtrial/VX2DTrialGenerator.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <set>

namespace
{

/// One option a sub-command accepts.
struct VOptionRule
{
    const char* Name; // with the leading "--"
    bool TakesValue;
};

/// The arguments after the sub-command, split into positional ones, option values and flags.
struct VArguments
{
    std::vector<std::string> Positional;
    std::map<std::string, std::string> Values;
    std::set<std::string> Flags;

    bool Has(const std::string& name) const
    {
        return Values.count(name) != 0 || Flags.count(name) != 0;
    }
};

/// Splits `arguments` (from `first` on) by `rules`. Options take their value from the next
/// argument or after "="; "--" ends the options. False with `error` for an unknown option,
/// a missing value or an option given twice.
bool SplitArguments(const std::vector<std::string>& arguments, std::size_t first,
                    const std::vector<VOptionRule>& rules, VArguments& out, std::string& error)
{
    bool optionsEnded = false;
    for (std::size_t i = first; i < arguments.size(); ++i)
    {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, "--") != 0)
        {
            out.Positional.push_back(argument);
            continue;
        }
        if (argument == "--")
        {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const VOptionRule* rule = nullptr;
        for (const VOptionRule& candidate : rules)
        {
            if (name == candidate.Name)
            {
                rule = &candidate;
            }
        }
        if (rule == nullptr)
        {
            error = "unknown option " + name;
            return false;
        }
        if (out.Has(name))
        {
            error = name + " is given twice";
            return false;
        }
        if (!rule->TakesValue)
        {
            if (equals != std::string::npos)
            {
                error = name + " takes no value";
                return false;
            }
            out.Flags.insert(name);
            continue;
        }
        if (equals != std::string::npos)
        {
            out.Values[name] = argument.substr(equals + 1);
            continue;
        }
        if (i + 1 >= arguments.size())
        {
            error = name + " needs a value";
            return false;
        }
        out.Values[name] = arguments[++i];
    }
    return true;
}

template <typename T> bool ParseInteger(const std::string& text, T& value)
{
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

bool ParseReal(const std::string& text, double& value)
{
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, value);
    return !text.empty() && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

/// Reads option `name` into `value` when given; false with `error` when it does not read.
template <typename T>
bool ReadOption(const VArguments& arguments, const std::string& name, T& value, std::string& error)
{
    const auto found = arguments.Values.find(name);
    if (found == arguments.Values.end())
    {
        return true;
    }
    bool ok = false;
    if constexpr (std::is_same_v<T, double>)
    {
        ok = ParseReal(found->second, value);
    }
    else if constexpr (std::is_same_v<T, std::string>)
    {
        value = found->second;
        ok = true;
    }
    else
    {
        ok = ParseInteger(found->second, value);
    }
    if (!ok)
    {
        error = name + " does not take \"" + found->second + "\"";
    }
    return ok;
}

/// The usage error: message and usage on standard error.
int UsageError(const VTsmtrialConsole& console, const std::string& message)
{
    console.Err << "tsmtrial: " << message << "\n\n" << Tsmtrial::Usage();
    return Tsmtrial::kExitUsage;
}

/// The kind of `path`: from --kind when given, else from its extension.
bool ResolveKind(const VArguments& arguments, const std::string& path, TrialKind& kind,
                 std::string& error)
{
    const auto named = arguments.Values.find("--kind");
    if (named != arguments.Values.end())
    {
        const std::optional<TrialKind> fromName = TrialKindFromName(named->second);
        if (!fromName)
        {
            error = "--kind takes x2d or x1d, not \"" + named->second + "\"";
            return false;
        }
        kind = *fromName;
        return true;
    }
    const std::optional<TrialKind> fromPath = TrialKindFromPath(path);
    if (!fromPath)
    {
        error = "cannot tell the kind of " + path +
                " from its name; name it .x2d or .x1d, or give --kind x2d or --kind x1d";
        return false;
    }
    kind = *fromPath;
    return true;
}

/// Why a file did not open, when the reader said nothing about it.
std::string OpenFailureReason(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
    {
        return std::strerror(errno);
    }
    std::fclose(file);
    std::error_code failure;
    if (std::filesystem::is_directory(path, failure))
    {
        return "it is a folder";
    }
    return "it is not a readable trial file of this kind";
}

/// Reports a file that did not open on standard error: the reader's messages, or the reason.
void ReportOpenFailure(const VTsmtrialConsole& console, const ITrialReader& reader,
                       const std::string& path)
{
    const char* kind = reader.GetKind() == TrialKind::X2D ? "X2D" : "X1D";
    if (reader.GetErrors().empty())
    {
        console.Err << "tsmtrial: cannot open " << path << " as an " << kind
                    << " trial: " << OpenFailureReason(path) << ".\n";
        return;
    }
    console.Err << "tsmtrial: cannot open " << path << " as an " << kind << " trial:\n";
    for (const std::string& error : reader.GetErrors())
    {
        console.Err << "  " << error << "\n";
    }
}

const std::vector<VOptionRule> kInfoOptions = {{"--json", false}, {"--kind", true}};
const std::vector<VOptionRule> kDumpOptions = {
    {"--json", false}, {"--kind", true}, {"--frame", true}};
const std::vector<VOptionRule> kDiffOptions = {{"--kind", true}, {"--replay", false}};
const std::vector<VOptionRule> kGenerateOptions = {
    {"--kind", true},     {"--frames", true},      {"--rate", true},        {"--version", true},
    {"--seed", true},     {"--first-frame", true}, {"--quiet", false},      {"--cameras", true},
    {"--markers", true},  {"--model", true},       {"--timecode", true},    {"--devices", true},
    {"--channels", true}, {"--sample-rate", true}, {"--header-value", true}};
const std::vector<std::string> kX2DOnlyOptions = {"--cameras", "--markers", "--model",
                                                  "--timecode"};
const std::vector<std::string> kX1DOnlyOptions = {"--devices", "--channels", "--sample-rate",
                                                  "--header-value"};

int RunInfo(const VArguments& arguments, const VTsmtrialConsole& console)
{
    if (arguments.Positional.size() != 1)
    {
        return UsageError(console, "info takes one file");
    }
    const std::string& path = arguments.Positional[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error);
    }
    const std::unique_ptr<ITrialReader> reader = OpenTrialReader(path, kind);
    const VTrialInfo info = reader->GetInfo();
    if (!reader->IsOpen())
    {
        ReportOpenFailure(console, *reader, path);
    }
    if (arguments.Has("--json"))
    {
        console.Out << TrialReport::InfoJson(info);
    }
    else if (reader->IsOpen())
    {
        console.Out << TrialReport::InfoText(info, path);
    }
    return reader->IsOpen() ? Tsmtrial::kExitOk : Tsmtrial::kExitFailure;
}

int RunDump(const VArguments& arguments, const VTsmtrialConsole& console)
{
    if (arguments.Positional.size() != 1)
    {
        return UsageError(console, "dump takes one file");
    }
    const std::string& path = arguments.Positional[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error);
    }
    if (!arguments.Has("--frame"))
    {
        return UsageError(console, "dump needs --frame INDEX");
    }
    std::uint32_t index = 0;
    if (!ReadOption(arguments, "--frame", index, error))
    {
        return UsageError(console, error);
    }
    const std::unique_ptr<ITrialReader> reader = OpenTrialReader(path, kind);
    if (!reader->IsOpen())
    {
        ReportOpenFailure(console, *reader, path);
        return Tsmtrial::kExitFailure;
    }
    const std::size_t errorsBefore = reader->GetErrors().size();
    VTrialFrame frame;
    reader->ReadFrame(index, frame);
    const std::vector<std::string> errors(reader->GetErrors().begin() +
                                              static_cast<std::ptrdiff_t>(errorsBefore),
                                          reader->GetErrors().end());
    if (arguments.Has("--json"))
    {
        console.Out << TrialReport::FrameJson(kind, frame, errors);
    }
    else
    {
        console.Out << TrialReport::FrameText(frame, errors);
    }
    for (const std::string& message : errors)
    {
        console.Err << "tsmtrial: frame index " << index << " of " << path << ": " << message
                    << "\n";
    }
    return errors.empty() ? Tsmtrial::kExitOk : Tsmtrial::kExitFailure;
}

int RunGenerate(const VArguments& arguments, const VTsmtrialConsole& console)
{
    if (arguments.Positional.size() != 1)
    {
        return UsageError(console, "generate takes one output file");
    }
    const std::string& path = arguments.Positional[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error);
    }
    for (const std::string& option : kind == TrialKind::X2D ? kX1DOnlyOptions : kX2DOnlyOptions)
    {
        if (arguments.Has(option))
        {
            return UsageError(console, option + " applies to " +
                                           (kind == TrialKind::X2D ? "X1D" : "X2D") +
                                           " files only");
        }
    }
    VProgressBar progress(console.Err, "Writing " + path,
                          console.ErrIsTerminal && !arguments.Has("--quiet"));
    if (kind == TrialKind::X2D)
    {
        VX2DGeneratorSettings settings;
        std::string timecode = settings.StartTimecode;
        if (!ReadOption(arguments, "--cameras", settings.Cameras, error) ||
            !ReadOption(arguments, "--frames", settings.Frames, error) ||
            !ReadOption(arguments, "--rate", settings.Rate, error) ||
            !ReadOption(arguments, "--markers", settings.Markers, error) ||
            !ReadOption(arguments, "--model", settings.Model, error) ||
            !ReadOption(arguments, "--timecode", timecode, error) ||
            !ReadOption(arguments, "--version", settings.Version, error) ||
            !ReadOption(arguments, "--seed", settings.Seed, error) ||
            !ReadOption(arguments, "--first-frame", settings.FirstFrame, error))
        {
            return UsageError(console, error);
        }
        settings.StartTimecode = timecode == "none" ? "" : timecode;
        if (!VX2DTrialGenerator::Validate(settings, error))
        {
            return UsageError(console, error);
        }
        if (!WriteX2DTrial(path, settings, error, &progress))
        {
            console.Err << "tsmtrial: " << error << "\n";
            return Tsmtrial::kExitFailure;
        }
        console.Out << "Wrote " << path << ": X2D version " << settings.Version << ", "
                    << settings.Cameras << " cameras (" << settings.Model << "), "
                    << settings.Frames << " frames at " << VJsonWriter::FormatNumber(settings.Rate)
                    << " Hz, " << settings.Markers << " markers, seed " << settings.Seed << ".\n";
        return Tsmtrial::kExitOk;
    }
    VX1DGeneratorSettings settings;
    std::string headerValue;
    if (!ReadOption(arguments, "--devices", settings.Devices, error) ||
        !ReadOption(arguments, "--channels", settings.Channels, error) ||
        !ReadOption(arguments, "--frames", settings.Frames, error) ||
        !ReadOption(arguments, "--rate", settings.Rate, error) ||
        !ReadOption(arguments, "--sample-rate", settings.SampleRate, error) ||
        !ReadOption(arguments, "--header-value", headerValue, error) ||
        !ReadOption(arguments, "--version", settings.Version, error) ||
        !ReadOption(arguments, "--seed", settings.Seed, error) ||
        !ReadOption(arguments, "--first-frame", settings.FirstFrame, error))
    {
        return UsageError(console, error);
    }
    if (headerValue == "none")
    {
        settings.WriteHeaderValue = false;
    }
    else if (!headerValue.empty())
    {
        std::int64_t value = 0;
        if (!ParseInteger(headerValue, value))
        {
            return UsageError(console, "--header-value does not take \"" + headerValue + "\"");
        }
        settings.HeaderValue = value;
    }
    if (!VX1DTrialGenerator::Validate(settings, error))
    {
        return UsageError(console, error);
    }
    if (!WriteX1DTrial(path, settings, error, &progress))
    {
        console.Err << "tsmtrial: " << error << "\n";
        return Tsmtrial::kExitFailure;
    }
    console.Out << "Wrote " << path << ": X1D version " << settings.Version << ", "
                << settings.Devices << " analogue devices of " << settings.Channels << " channels, "
                << settings.Frames << " frames at " << VJsonWriter::FormatNumber(settings.Rate)
                << " Hz, seed " << settings.Seed << ".\n";
    return Tsmtrial::kExitOk;
}

int RunDiff(const VArguments& arguments, const VTsmtrialConsole& console)
{
    if (arguments.Positional.size() != 2)
    {
        return UsageError(console, "diff takes two files");
    }
    std::unique_ptr<ITrialReader> readers[2];
    for (std::size_t side = 0; side < 2; ++side)
    {
        const std::string& path = arguments.Positional[side];
        TrialKind kind = TrialKind::X2D;
        std::string error;
        if (!ResolveKind(arguments, path, kind, error))
        {
            return UsageError(console, error);
        }
        readers[side] = OpenTrialReader(path, kind);
    }
    bool opened = true;
    for (std::size_t side = 0; side < 2; ++side)
    {
        if (!readers[side]->IsOpen())
        {
            ReportOpenFailure(console, *readers[side], arguments.Positional[side]);
            opened = false;
        }
    }
    if (!opened)
    {
        return Tsmtrial::kExitFailure;
    }
    if (arguments.Has("--replay"))
    {
        return RunReplayDiff(*readers[0], *readers[1], arguments.Positional[0],
                             arguments.Positional[1], console);
    }
    const VTrialDiffResult result = VTrialDiff::Compare(*readers[0], *readers[1]);
    for (const std::string& note : result.Notes)
    {
        console.Out << "Note: " << note << "\n";
    }
    if (result.IsEqual())
    {
        console.Out << "The trials are equal: " << result.FramesCompared << " frames compared.\n";
        return Tsmtrial::kExitOk;
    }
    console.Out << arguments.Positional[0] << " and " << arguments.Positional[1] << " differ.\n";
    for (const std::string& difference : result.HeaderDifferences)
    {
        console.Out << "Header: " << difference << "\n";
    }
    if (result.FirstFrameIndex)
    {
        VTrialFrame frame;
        readers[0]->ReadFrame(*result.FirstFrameIndex, frame);
        console.Out << "First differing frame: index " << *result.FirstFrameIndex << ", number "
                    << frame.FrameNumber << ": " << result.FrameDifference << "\n";
    }
    else if (readers[0]->GetKind() == readers[1]->GetKind())
    {
        console.Out << "The " << result.FramesCompared << " frames that both hold are equal.\n";
    }
    return Tsmtrial::kExitFailure;
}

} // namespace

namespace Tsmtrial
{

std::string Usage()
{
    return "Usage:\n"
           "  tsmtrial info FILE [--json] [--kind x2d|x1d]\n"
           "      Header of a trial: version, devices, frames, formats, cameras or source\n"
           "      sets, frame rate, start timecode and the reader's messages.\n"
           "  tsmtrial dump FILE --frame INDEX [--json] [--kind x2d|x1d]\n"
           "      Every item of one frame (INDEX counts from 0 in file order).\n"
           "  tsmtrial generate OUT.x2d [--cameras N] [--markers N] [--model LABEL]\n"
           "      [--timecode HH:MM:SS:FF|none] [--frames N] [--rate HZ] [--version 1-3]\n"
           "      [--seed N] [--first-frame N] [--quiet]\n"
           "  tsmtrial generate OUT.x1d [--devices N] [--channels N] [--sample-rate HZ]\n"
           "      [--header-value N|none] [--frames N] [--rate HZ] [--version 1-2]\n"
           "      [--seed N] [--first-frame N] [--quiet]\n"
           "      A synthetic trial, the same for the same options and seed.\n"
           "      Defaults: 4 cameras, 10 markers, Zt-M4, 10:00:00:00, 300 frames, 100 Hz,\n"
           "      newest version, seed 1, first frame 1; X1D: 1 device, 8 channels, 1000 Hz.\n"
           "  tsmtrial diff A B [--kind x2d|x1d]\n"
           "      Compares two trials and shows where they first differ.\n"
           "  tsmtrial diff SOURCE RECORDING --replay\n"
           "      Checks a recording of SOURCE's replay (tsmhost run --record): each recorded\n"
           "      frame against the source frame its number selects (modulo the frame count).\n"
           "The kind of a file follows from its extension (.x2d, .x1d) unless --kind is given.\n"
           "Exit status: 0 success (diff: equal), 1 a file or frame could not be read or\n"
           "written (diff: the trials differ), 2 bad arguments.\n"
           "Camera models: " +
           CameraModelLabels() + ".\n";
}

int Run(const std::vector<std::string>& arguments, const VTsmtrialConsole& console)
{
    if (arguments.empty())
    {
        return UsageError(console, "no command given");
    }
    const std::string& command = arguments[0];
    for (const std::string& argument : arguments)
    {
        if (argument == "--help" || argument == "-h" || argument == "help")
        {
            console.Out << Usage();
            return kExitOk;
        }
    }
    const std::vector<VOptionRule>* rules = nullptr;
    int (*run)(const VArguments&, const VTsmtrialConsole&) = nullptr;
    if (command == "info")
    {
        rules = &kInfoOptions;
        run = RunInfo;
    }
    else if (command == "dump")
    {
        rules = &kDumpOptions;
        run = RunDump;
    }
    else if (command == "generate")
    {
        rules = &kGenerateOptions;
        run = RunGenerate;
    }
    else if (command == "diff")
    {
        rules = &kDiffOptions;
        run = RunDiff;
    }
    else
    {
        return UsageError(console, "unknown command \"" + command + "\"");
    }
    VArguments split;
    std::string error;
    if (!SplitArguments(arguments, 1, *rules, split, error))
    {
        return UsageError(console, command + ": " + error);
    }
    return run(split, console);
}

} // namespace Tsmtrial
