// The tsmtrial command line: its sub-commands info, dump, generate and diff, run against
// streams given by the caller so that tests can run them in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

/// Where a run of tsmtrial writes. The streams are not owned.
struct VTsmtrialConsole
{
    std::ostream& Out;
    std::ostream& Err;
    /// Standard error is an interactive terminal (progress bars are shown only then).
    bool ErrIsTerminal = false;
};

namespace Tsmtrial
{

constexpr int kExitOk = 0;
/// A file could not be read or written, a frame could not be read, or diff found differences.
constexpr int kExitFailure = 1;
/// Bad arguments: the usage goes to standard error.
constexpr int kExitUsage = 2;

/// Runs one command line; `arguments` excludes the program name. Returns the exit code.
/// Runs on the caller's thread; writes only to the console's streams and the files named.
/// "--help" (or "help") writes the help of the command named; "--version" the version.
int Run(const std::vector<std::string>& arguments, const VTsmtrialConsole& console);

} // namespace Tsmtrial
