#include "tsmtrial/TsmtrialCommands.h"

#include "cli/CommandLine.h"
#include "devices/cameramodels/CameraModelTable.h"
#include "tsmtrial/TrialFile.h"
#include "tsmtrial/TrialReport.h"
#include "tsmtrial/NumberText.h"
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
#include <functional>
#include <optional>

namespace
{

/// What the command line of one run said, read as it is parsed.
struct VArguments
{
    std::vector<std::string> Files;
    std::optional<TrialKind> Kind;
    bool Json = false;
    std::optional<std::uint32_t> Frame;
    bool Replay = false;
    bool Quiet = false;
    VX2DGeneratorSettings X2D;
    VX1DGeneratorSettings X1D;
    /// The generate options that apply to one kind only and were given.
    std::vector<std::string> X2DOnlyGiven;
    std::vector<std::string> X1DOnlyGiven;
};

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

/// Reads a number into each of `targets`.
template <typename T, typename... More>
std::function<bool(const std::string&)> NumberInto(T& target, More&... more)
{
    return [&target, &more...](const std::string& text)
    {
        T value{};
        bool read = false;
        if constexpr (std::is_same_v<T, double>)
        {
            read = ParseReal(text, value);
        }
        else
        {
            read = ParseInteger(text, value);
        }
        if (read)
        {
            target = value;
            ((more = value), ...);
        }
        return read;
    };
}

/// Adds the generate option `name` that only `kind` files take; `read` fills the settings.
void AddKindOnly(CLI::App& generate, VArguments& arguments, TrialKind kind, const std::string& name,
                 std::function<bool(const std::string&)> read, const std::string& valueName,
                 const std::string& description)
{
    std::vector<std::string>& given =
        kind == TrialKind::X2D ? arguments.X2DOnlyGiven : arguments.X1DOnlyGiven;
    CommandLine::AddValue(
        generate, name,
        [&given, name, read = std::move(read)](const std::string& text)
        {
            given.push_back(name);
            return read(text);
        },
        valueName, description)
        ->group(kind == TrialKind::X2D ? "X2D files" : "X1D files");
}

void AddKind(CLI::App& command, VArguments& arguments)
{
    CommandLine::AddValue(
        command, "--kind",
        [&arguments](const std::string& text)
        {
            arguments.Kind = TrialKindFromName(text);
            return arguments.Kind.has_value();
        },
        "x2d|x1d", "the kind of file, when its extension does not tell");
}

/// Declares the sub-commands and their options, read into `arguments`.
void Declare(CLI::App& app, VArguments& a)
{
    app.require_subcommand(1);
    app.footer("The kind of a file follows from its extension (.x2d, .x1d) unless --kind is "
               "given.\nExit status: 0 success (diff: equal), 1 a file or frame could not be "
               "read or written (diff: the trials differ), 2 bad arguments.\nCamera models: " +
               CameraModelTable::OfferedTypesText() + ".");

    CLI::App* info = app.add_subcommand(
        "info", "header of a trial: version, devices, frames, formats, cameras or source sets, "
                "frame rate, start timecode and the reader's messages");
    info->add_option("FILE", a.Files, "the trial")->required()->expected(1)->type_name("");
    CommandLine::AddFlag(*info, "--json", a.Json, "write it as one JSON object");
    AddKind(*info, a);

    CLI::App* dump = app.add_subcommand("dump", "every item of one frame");
    dump->add_option("FILE", a.Files, "the trial")->required()->expected(1)->type_name("");
    CommandLine::AddValue(
        *dump, "--frame",
        [&a](const std::string& text)
        {
            std::uint32_t index = 0;
            if (!ParseInteger(text, index))
            {
                return false;
            }
            a.Frame = index;
            return true;
        },
        "INDEX", "the frame, counted from 0 in file order (needed)");
    CommandLine::AddFlag(*dump, "--json", a.Json, "write it as one JSON object");
    AddKind(*dump, a);

    CLI::App* generate =
        app.add_subcommand("generate", "a synthetic trial, the same for the same options and seed");
    generate->add_option("OUT", a.Files, "the trial to write, .x2d or .x1d")
        ->required()
        ->expected(1)
        ->type_name("");
    AddKind(*generate, a);
    CommandLine::AddValue(*generate, "--frames", NumberInto(a.X2D.Frames, a.X1D.Frames), "N",
                          "frames (default 300)");
    CommandLine::AddValue(*generate, "--rate", NumberInto(a.X2D.Rate, a.X1D.Rate), "HZ",
                          "frame rate (default 100)");
    CommandLine::AddValue(*generate, "--version", NumberInto(a.X2D.Version, a.X1D.Version), "N",
                          "file version: X2D 1-3, X1D 1-2 (default the newest)");
    CommandLine::AddValue(*generate, "--seed", NumberInto(a.X2D.Seed, a.X1D.Seed), "N",
                          "seed of the synthetic data (default 1)");
    CommandLine::AddValue(*generate, "--first-frame",
                          NumberInto(a.X2D.FirstFrame, a.X1D.FirstFrame), "N",
                          "number of the first frame (default 1)");
    CommandLine::AddFlag(*generate, "--quiet", a.Quiet, "no progress bar");
    AddKindOnly(*generate, a, TrialKind::X2D, "--cameras", NumberInto(a.X2D.Cameras), "N",
                "cameras (default 4)");
    AddKindOnly(*generate, a, TrialKind::X2D, "--markers", NumberInto(a.X2D.Markers), "N",
                "markers (default 10)");
    AddKindOnly(
        *generate, a, TrialKind::X2D, "--model",
        [&a](const std::string& text)
        {
            a.X2D.Model = text;
            return true;
        },
        "LABEL", "camera model (default Zt-M4)");
    AddKindOnly(
        *generate, a, TrialKind::X2D, "--timecode",
        [&a](const std::string& text)
        {
            a.X2D.StartTimecode = text == "none" ? "" : text;
            return true;
        },
        "TC|none", "start timecode HH:MM:SS:FF, or none (default 10:00:00:00)");
    CommandLine::AddFlag(*generate, "--centroids-only", a.X2D.CentroidsOnly,
                         "centroids and tracks only, no blobs or edges (small stage-sized trials)")
        ->group("X2D files");
    AddKindOnly(*generate, a, TrialKind::X1D, "--devices", NumberInto(a.X1D.Devices), "N",
                "analogue devices (default 1)");
    AddKindOnly(*generate, a, TrialKind::X1D, "--channels", NumberInto(a.X1D.Channels), "N",
                "channels per device (default 8)");
    AddKindOnly(*generate, a, TrialKind::X1D, "--sample-rate", NumberInto(a.X1D.SampleRate), "HZ",
                "samples per second (default 1000)");
    AddKindOnly(
        *generate, a, TrialKind::X1D, "--header-value",
        [&a](const std::string& text)
        {
            a.X1D.WriteHeaderValue = text != "none";
            std::int64_t value = 0;
            if (!a.X1D.WriteHeaderValue || !ParseInteger(text, value))
            {
                return !a.X1D.WriteHeaderValue;
            }
            a.X1D.HeaderValue = value;
            return true;
        },
        "N|none", "the header value, or none to write none");

    CLI::App* diff = app.add_subcommand(
        "diff", "compares two trials and shows where they first differ; with --replay, checks "
                "a recording of the first's replay (tsmhost run --record): each recorded frame "
                "against the source frame its number selects (modulo the frame count); for two "
                "X1D trials, the recorded analogue samples against the source's resampled to "
                "the recording's samples per frame and channels");
    diff->add_option("FILES", a.Files, "A B, or SOURCE RECORDING with --replay")
        ->required()
        ->expected(2)
        ->type_name("");
    AddKind(*diff, a);
    CommandLine::AddFlag(*diff, "--replay", a.Replay, "the second trial is a recorded replay");
}

/// The usage error: message and usage on standard error.
int UsageError(const VTsmtrialConsole& console, const std::string& message, const std::string& help)
{
    console.Err << "tsmtrial: " << message << "\n\n" << help;
    return Tsmtrial::kExitUsage;
}

/// The kind of `path`: from --kind when given, else from its extension.
bool ResolveKind(const VArguments& arguments, const std::string& path, TrialKind& kind,
                 std::string& error)
{
    if (arguments.Kind)
    {
        kind = *arguments.Kind;
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
    // Asked before any open: opening a FIFO would wait for a writer.
    std::error_code special;
    const std::filesystem::file_status status = std::filesystem::status(path, special);
    if (!special && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
    {
        return "it is not a regular file (a FIFO, socket or device)";
    }
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

int RunInfo(const VArguments& arguments, const VTsmtrialConsole& console, const std::string& help)
{
    const std::string& path = arguments.Files[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error, help);
    }
    const std::unique_ptr<ITrialReader> reader = OpenTrialReader(path, kind);
    const VTrialInfo info = reader->GetInfo();
    if (!reader->IsOpen())
    {
        ReportOpenFailure(console, *reader, path);
    }
    if (arguments.Json)
    {
        console.Out << TrialReport::InfoJson(info);
    }
    else if (reader->IsOpen())
    {
        console.Out << TrialReport::InfoText(info, path);
    }
    return reader->IsOpen() ? Tsmtrial::kExitOk : Tsmtrial::kExitFailure;
}

int RunDump(const VArguments& arguments, const VTsmtrialConsole& console, const std::string& help)
{
    const std::string& path = arguments.Files[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error, help);
    }
    if (!arguments.Frame)
    {
        return UsageError(console, "dump needs --frame INDEX", help);
    }
    const std::uint32_t index = *arguments.Frame;
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
    if (arguments.Json)
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

int RunGenerate(const VArguments& arguments, const VTsmtrialConsole& console,
                const std::string& help)
{
    const std::string& path = arguments.Files[0];
    TrialKind kind = TrialKind::X2D;
    std::string error;
    if (!ResolveKind(arguments, path, kind, error))
    {
        return UsageError(console, error, help);
    }
    std::vector<std::string> misplaced =
        kind == TrialKind::X2D ? arguments.X1DOnlyGiven : arguments.X2DOnlyGiven;
    if (kind == TrialKind::X1D && arguments.X2D.CentroidsOnly)
        misplaced.insert(misplaced.begin(), "--centroids-only");
    if (!misplaced.empty())
    {
        return UsageError(console,
                          misplaced.front() + " applies to " +
                              (kind == TrialKind::X2D ? "X1D" : "X2D") + " files only",
                          help);
    }
    VProgressBar progress(console.Err, "Writing " + path,
                          console.ErrIsTerminal && !arguments.Quiet);
    if (kind == TrialKind::X2D)
    {
        const VX2DGeneratorSettings& settings = arguments.X2D;
        if (!VX2DTrialGenerator::Validate(settings, error))
        {
            return UsageError(console, error, help);
        }
        if (!WriteX2DTrial(path, settings, error, &progress))
        {
            console.Err << "tsmtrial: " << error << "\n";
            return Tsmtrial::kExitFailure;
        }
        console.Out << "Wrote " << path << ": X2D version " << settings.Version << ", "
                    << settings.Cameras << " cameras (" << settings.Model << "), "
                    << settings.Frames << " frames at " << NumberText::Shortest(settings.Rate)
                    << " Hz, " << settings.Markers << " markers"
                    << (settings.CentroidsOnly ? " (centroids and tracks only)" : "") << ", seed "
                    << settings.Seed << ".\n";
        return Tsmtrial::kExitOk;
    }
    const VX1DGeneratorSettings& settings = arguments.X1D;
    if (!VX1DTrialGenerator::Validate(settings, error))
    {
        return UsageError(console, error, help);
    }
    if (!WriteX1DTrial(path, settings, error, &progress))
    {
        console.Err << "tsmtrial: " << error << "\n";
        return Tsmtrial::kExitFailure;
    }
    console.Out << "Wrote " << path << ": X1D version " << settings.Version << ", "
                << settings.Devices << " analogue devices of " << settings.Channels << " channels, "
                << settings.Frames << " frames at " << NumberText::Shortest(settings.Rate)
                << " Hz, seed " << settings.Seed << ".\n";
    return Tsmtrial::kExitOk;
}

int RunDiff(const VArguments& arguments, const VTsmtrialConsole& console, const std::string& help)
{
    std::unique_ptr<ITrialReader> readers[2];
    for (std::size_t side = 0; side < 2; ++side)
    {
        const std::string& path = arguments.Files[side];
        TrialKind kind = TrialKind::X2D;
        std::string error;
        if (!ResolveKind(arguments, path, kind, error))
        {
            return UsageError(console, error, help);
        }
        readers[side] = OpenTrialReader(path, kind);
    }
    bool opened = true;
    for (std::size_t side = 0; side < 2; ++side)
    {
        if (!readers[side]->IsOpen())
        {
            ReportOpenFailure(console, *readers[side], arguments.Files[side]);
            opened = false;
        }
    }
    if (!opened)
    {
        return Tsmtrial::kExitFailure;
    }
    if (arguments.Replay)
    {
        return RunReplayDiff(*readers[0], *readers[1], arguments.Files[0], arguments.Files[1],
                             console);
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
    console.Out << arguments.Files[0] << " and " << arguments.Files[1] << " differ.\n";
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

int Run(const std::vector<std::string>& arguments, const VTsmtrialConsole& console)
{
    CLI::App app("Inspects, generates and compares trial files (.x2d camera data, .x1d analogue "
                 "data).",
                 "tsmtrial");
    CommandLine::Configure(app);
    VArguments parsed;
    Declare(app, parsed);
    // "tsmtrial help" shows the help, as --help does.
    const bool helpWord = !arguments.empty() && arguments[0] == "help";
    const CommandLine::VParseResult result =
        CommandLine::Parse(app, helpWord ? std::vector<std::string>{"--help"} : arguments);
    switch (result.Outcome)
    {
    case CommandLine::EOutcome::HelpShown:
    case CommandLine::EOutcome::VersionShown:
        console.Out << result.Text;
        return kExitOk;
    case CommandLine::EOutcome::Refused:
        return UsageError(console, result.Text, CommandLine::HelpOfChosen(app));
    case CommandLine::EOutcome::Parsed:
        break;
    }
    const std::string help = CommandLine::HelpOfChosen(app);
    if (app.got_subcommand("info"))
    {
        return RunInfo(parsed, console, help);
    }
    if (app.got_subcommand("dump"))
    {
        return RunDump(parsed, console, help);
    }
    if (app.got_subcommand("generate"))
    {
        return RunGenerate(parsed, console, help);
    }
    return RunDiff(parsed, console, help);
}

} // namespace Tsmtrial
