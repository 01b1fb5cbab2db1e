#include "devices/ShellArguments.h"

#include <cstdio>

namespace ShellArguments
{
namespace
{
constexpr std::string_view kTrimSet = " \t\r\n";

int Signed(std::uint32_t value)
{
    return static_cast<int>(static_cast<std::int32_t>(value));
}

bool IsStreamSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(kTrimSet);
    if (first == std::string_view::npos)
        return {};
    const size_t last = text.find_last_not_of(kTrimSet);
    return text.substr(first, last - first + 1);
}

std::string_view SkipLeadingSpace(std::string_view text)
{
    size_t first = 0;
    while (first < text.size() && IsStreamSpace(text[first]))
        ++first;
    return text.substr(first);
}

std::vector<std::string> SplitQuotedTokens(std::string_view text)
{
    std::vector<std::string> tokens;
    std::string token;
    bool inToken = false;
    bool quoted = false;
    for (const char c : text)
    {
        if (c == '"')
        {
            quoted = !quoted;
            inToken = true; // "" is an empty token of its own
            continue;
        }
        if (c == ' ' && !quoted)
        {
            if (inToken)
                tokens.push_back(std::move(token));
            token.clear();
            inToken = false;
            continue;
        }
        token += c;
        inToken = true;
    }
    if (inToken)
        tokens.push_back(std::move(token));
    return tokens;
}

void AppendReportLine(std::string& reply, std::string_view name, std::string_view value)
{
    reply += name;
    reply += " : ";
    reply += value;
    reply += '\n';
}

std::string SkipLine(std::uint32_t deviceId, std::uint32_t frame, std::uint32_t previous)
{
    const std::uint32_t difference = frame - previous;
    if (difference == 1)
        return {};
    char line[160];
    std::snprintf(line, sizeof line,
                  "Device %d skipped %d frames between frame numbers %d and %d\n", Signed(deviceId),
                  Signed(difference), Signed(previous), Signed(frame));
    return line;
}

void PrintSkipLine(std::uint32_t deviceId, std::uint32_t frame, std::uint32_t previous)
{
    const std::string line = SkipLine(deviceId, frame, previous);
    if (line.empty())
        return;
    std::fputs(line.c_str(), stdout);
    std::fflush(stdout);
}
} // namespace ShellArguments
