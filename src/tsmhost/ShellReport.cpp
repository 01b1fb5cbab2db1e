#include "tsmhost/ShellReport.h"

#include <charconv>

namespace
{

constexpr std::string_view Blanks = " \t\r\n";
constexpr std::string_view Separator = " : ";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(Blanks);
    return text.substr(first, last - first + 1);
}

bool ReadUnsigned(std::string_view text, std::uint32_t& value)
{
    text = Trim(text);
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end && !text.empty();
}

bool ReadReal(std::string_view text, double& value)
{
    text = Trim(text);
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc() && stop == end && !text.empty();
}

} // namespace

std::optional<std::string> VShellReport::Find(std::string_view name) const
{
    for (const auto& [itemName, value] : Items)
    {
        if (itemName == name)
            return value;
    }
    return std::nullopt;
}

std::vector<std::string> VShellReport::FindAll(std::string_view name) const
{
    std::vector<std::string> values;
    for (const auto& [itemName, value] : Items)
    {
        if (itemName == name)
            values.push_back(value);
    }
    return values;
}

VShellReport ParseShellReport(std::string_view reply)
{
    VShellReport report;
    while (!reply.empty())
    {
        const std::size_t end = reply.find('\n');
        const std::string_view line = Trim(reply.substr(0, end));
        reply = end == std::string_view::npos ? std::string_view() : reply.substr(end + 1);
        if (line.empty())
            continue;
        const std::size_t separator = line.find(Separator);
        if (separator == std::string_view::npos)
        {
            report.OtherLines.emplace_back(line);
            continue;
        }
        report.Items.emplace_back(std::string(Trim(line.substr(0, separator))),
                                  std::string(Trim(line.substr(separator + Separator.size()))));
    }
    return report;
}

VDeviceInfo ReadDeviceInfo(const VShellReport& report)
{
    VDeviceInfo info;
    info.DeviceType = report.Find("Device Type").value_or("");
    info.DisplayDeviceType = report.Find("Display Device Type").value_or("");
    std::uint32_t id = 0;
    if (ReadUnsigned(report.Find("Device ID").value_or(""), id))
        info.DeviceId = id;
    const std::string dimensions = report.Find("Sensor Dimensions").value_or("");
    const std::size_t cross = dimensions.find(" x ");
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (cross != std::string::npos &&
        ReadUnsigned(std::string_view(dimensions).substr(0, cross), width) &&
        ReadUnsigned(std::string_view(dimensions).substr(cross + 3), height))
    {
        info.SensorWidth = width;
        info.SensorHeight = height;
    }
    for (const std::string& stream : report.FindAll("Stream"))
    {
        if (stream.rfind("V2", 0) == 0)
            info.Protocol2 = true;
    }
    for (const char* name : {"SystemFrameRate", "System Frame Rate", "Frame Rate"})
    {
        double rate = 0.0;
        if (ReadReal(report.Find(name).value_or(""), rate) && rate > 0.0)
        {
            info.SystemFrameRate = rate;
            break;
        }
    }
    return info;
}
