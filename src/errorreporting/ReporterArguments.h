// Reading the error reporter's command line and naming the incident.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

/// A number as the crash hand-off writes it: decimal, or hexadecimal after "0x" (or "0X").
/// The whole text must be the number; empty when it is not one or does not fit 64 bits.
std::optional<std::uint64_t> ParseReporterNumber(std::string_view text);

/// The brand index of argument 4: its number normalised (only 1 stays 1), or 0 when it is
/// not a number.
int ParseBrand(std::string_view text);

/// The module base name of an executable path: the file name without " (deleted)" and
/// without its extension (the last dot and what follows).
std::string ModuleBaseName(std::string_view executablePath);

/// "%s-%04d%02d%02d-%02d%02d%02d": the base name and the local date and time, at most 259
/// characters.
std::string FormatIncidentId(const std::string& baseName, const std::tm& localTime);
