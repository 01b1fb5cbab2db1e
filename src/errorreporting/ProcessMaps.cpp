#include "errorreporting/ProcessMaps.h"

#include <charconv>

namespace
{

/// Reads a hexadecimal number up to `stop` and moves past the stop character.
bool ReadHex(std::string_view& line, char stop, std::uint64_t& value)
{
    const auto end = line.find(stop);
    if (end == std::string_view::npos)
        return false;
    const auto result = std::from_chars(line.data(), line.data() + end, value, 16);
    if (result.ec != std::errc() || result.ptr != line.data() + end)
        return false;
    line.remove_prefix(end + 1);
    return true;
}

std::string_view NextField(std::string_view& line)
{
    const auto begin = line.find_first_not_of(' ');
    if (begin == std::string_view::npos)
    {
        line = {};
        return {};
    }
    line.remove_prefix(begin);
    const auto end = line.find(' ');
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return field;
}

bool ParseLine(std::string_view line, VMapping& mapping)
{
    // start-end perms offset dev inode [path]
    if (!ReadHex(line, '-', mapping.m_Start) || !ReadHex(line, ' ', mapping.m_End) ||
        mapping.m_End < mapping.m_Start)
        return false;
    const std::string_view perms = NextField(line);
    if (perms.size() < 4)
        return false;
    mapping.m_Readable = perms[0] == 'r';
    mapping.m_Writable = perms[1] == 'w';
    mapping.m_Executable = perms[2] == 'x';
    line.remove_prefix(line.empty() ? 0 : 1);
    if (!ReadHex(line, ' ', mapping.m_Offset))
        return false;
    if (NextField(line).empty())
        return false; // device
    const std::string_view inode = NextField(line);
    if (std::from_chars(inode.data(), inode.data() + inode.size(), mapping.m_Inode).ec !=
        std::errc())
        return false;
    const auto path = line.find_first_not_of(' ');
    mapping.m_Path =
        path == std::string_view::npos ? std::string() : std::string(line.substr(path));
    return true;
}

} // namespace

std::vector<VMapping> ParseProcessMaps(std::string_view text)
{
    std::vector<VMapping> maps;
    while (!text.empty())
    {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        VMapping mapping;
        if (ParseLine(line, mapping))
            maps.push_back(std::move(mapping));
    }
    return maps;
}

const VMapping* FindMapping(const std::vector<VMapping>& maps, std::uint64_t address)
{
    for (const VMapping& mapping : maps)
        if (mapping.Contains(address))
            return &mapping;
    return nullptr;
}
