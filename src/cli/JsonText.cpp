#include "cli/JsonText.h"

#include <charconv>
#include <cmath>

namespace JsonText
{

std::string Write(const VJson& document)
{
    return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

double ShortestFloat(float value)
{
    if (!std::isfinite(value))
        return value;
    char buffer[32];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof(buffer), value);
    double shortest = 0.0;
    std::from_chars(buffer, written.ptr, shortest);
    return shortest;
}

} // namespace JsonText
