// Reading the arguments of the device shell's command words: trimming, whole decimal numbers,
// blank-separated tokens with double quotes, and the console line of a skipped frame. Shared
// by every device class's command handler.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <vector>

/// Plain functions over text; no state, any thread. Numbers are read with std::from_chars, so
/// they never depend on the process's locale.
namespace ShellArguments
{
/// `text` without blanks, tabs, carriage returns and line feeds at either end.
std::string_view Trim(std::string_view text);

/// `text` without the white space that stream extraction would skip at its start.
std::string_view SkipLeadingSpace(std::string_view text);

/// A decimal number of type T after optional leading white space, with an optional sign ('-'
/// only for signed T) and nothing after it, within T's range. False, leaving `out`, otherwise.
template <class T> bool ReadWholeNumber(std::string_view text, T& out)
{
    text = SkipLeadingSpace(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || !((text.front() >= '0' && text.front() <= '9') ||
                          (std::is_signed_v<T> && text.front() == '-')))
        return false;
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (error != std::errc() || stop != end)
        return false;
    out = value;
    return true;
}

/// Splits at blanks (runs of blanks separate once); double quotes make blanks part of a token
/// and are not kept; "" is an empty token. An unclosed quote runs to the end.
std::vector<std::string> SplitQuotedTokens(std::string_view text);

/// Appends "<name> : <value>\n", the line format of the "info" reports.
void AppendReportLine(std::string& reply, std::string_view name, std::string_view value);

/// The console line of a frame that does not follow the previous one directly: "Device <id>
/// skipped <frame - previous> frames between frame numbers <previous> and <frame>\n", every
/// number printed as a signed 32-bit value (a jump backwards shows a negative count). Empty
/// when frame - previous is 1.
std::string SkipLine(std::uint32_t deviceId, std::uint32_t frame, std::uint32_t previous);

/// Prints SkipLine on standard output, when it is not empty, and flushes.
void PrintSkipLine(std::uint32_t deviceId, std::uint32_t frame, std::uint32_t previous);
} // namespace ShellArguments
