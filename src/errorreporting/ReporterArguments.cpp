#include "errorreporting/ReporterArguments.h"

#include "errorreporting/ReporterTexts.h"

#include <charconv>
#include <cstdio>

std::optional<std::uint64_t> ParseReporterNumber(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    if (text.empty() || text[0] == '+' || text[0] == '-')
        return std::nullopt;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

int ParseBrand(std::string_view text)
{
    const std::optional<std::uint64_t> value = ParseReporterNumber(text);
    return value ? ReporterTexts::NormaliseBrand(static_cast<long long>(*value)) : 0;
}

std::string ModuleBaseName(std::string_view executablePath)
{
    constexpr std::string_view Deleted = " (deleted)";
    if (executablePath.ends_with(Deleted))
        executablePath.remove_suffix(Deleted.size());
    const auto slash = executablePath.rfind('/');
    std::string_view name =
        slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

std::string FormatIncidentId(const std::string& baseName, const std::tm& localTime)
{
    char id[260];
    std::snprintf(id, sizeof(id), "%s-%04d%02d%02d-%02d%02d%02d", baseName.c_str(),
                  localTime.tm_year + 1900, localTime.tm_mon + 1, localTime.tm_mday,
                  localTime.tm_hour, localTime.tm_min, localTime.tm_sec);
    return id;
}
