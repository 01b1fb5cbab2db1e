// Numbers as tsmtrial prints them in its texts: the shortest decimal form that reads back to
// the same value ("100", "0.3").
#pragma once

#include <charconv>
#include <string>

namespace NumberText
{

inline std::string Shortest(double value)
{
    char buffer[64];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, written.ptr);
}

inline std::string Shortest(float value)
{
    char buffer[32];
    const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof(buffer), value);
    return std::string(buffer, written.ptr);
}

} // namespace NumberText
