#include "support/ReporterOutput.h"

#include <algorithm>
#include <cctype>

namespace testsupport
{

namespace
{

bool AllDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
}

} // namespace

bool IsIncidentId(std::string_view text, std::string_view baseName)
{
    // name-YYYYMMDD-HHMMSS
    if (text.size() != baseName.size() + 16 || !text.starts_with(baseName))
        return false;
    const std::string_view time = text.substr(baseName.size());
    return time[0] == '-' && time[9] == '-' && AllDigits(time.substr(1, 8)) &&
           AllDigits(time.substr(10, 6));
}

bool ReadNotSentInformation(std::string_view errors, std::string_view baseName,
                            std::string& dumpPath, std::string& incidentId)
{
    constexpr std::string_view Head = "ZEL Error Reporting: Information about this crash has not "
                                      "been sent to ZEL.\nPlease e-mail the file ";
    constexpr std::string_view Middle = " to crash-reports@zel.example.\nYour incident ID is ";
    constexpr std::string_view Tail = ".\n";
    const auto head = errors.rfind(Head);
    if (head == std::string_view::npos || !errors.ends_with(Tail))
        return false;
    const std::string_view rest = errors.substr(head + Head.size());
    const auto middle = rest.find(Middle);
    if (middle == std::string_view::npos || middle == 0)
        return false;
    const std::string_view incident =
        rest.substr(middle + Middle.size(), rest.size() - middle - Middle.size() - Tail.size());
    if (!IsIncidentId(incident, baseName))
        return false;
    dumpPath = std::string(rest.substr(0, middle));
    incidentId = std::string(incident);
    return true;
}

} // namespace testsupport
