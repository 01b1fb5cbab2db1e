#include "params/VParamStringifier.h"

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>

namespace
{

template <class T> std::string FormatClassic(const T& value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

// Parses one value with a classic-locale stream; only white space may surround it.
template <class T> bool ParseClassic(const char* text, T& out)
{
    std::istringstream stream(text != nullptr ? text : "");
    stream.imbue(std::locale::classic());
    T value{};
    stream >> value;
    if (stream.fail())
    {
        return false;
    }
    char c = 0;
    while (stream.get(c))
    {
        if (!std::isspace(c, std::locale::classic()))
        {
            return false;
        }
    }
    out = value;
    return true;
}

bool StartsWithMinus(const char* text)
{
    if (text == nullptr)
    {
        return false;
    }
    while (*text != '\0' && std::isspace(*text, std::locale::classic()))
    {
        ++text;
    }
    return *text == '-';
}

} // namespace

std::string VParamStreamStringifier::ToText(int32_t value)
{
    return FormatClassic(value);
}

std::string VParamStreamStringifier::ToText(uint32_t value)
{
    return FormatClassic(value);
}

std::string VParamStreamStringifier::ToText(double value)
{
    // Any not-a-number (a negative one would print "-nan") is written in the one
    // form that reads back.
    if (std::isnan(value))
    {
        return NotANumberText();
    }
    return FormatClassic(value);
}

std::string VParamStreamStringifier::ToText(bool value)
{
    return FormatClassic(value);
}

bool VParamStreamStringifier::FromText(const char* text, int32_t& out)
{
    return ParseClassic(text, out);
}

bool VParamStreamStringifier::FromText(const char* text, uint32_t& out)
{
    // The stream would wrap "-1" round to 4294967295.
    if (StartsWithMinus(text))
    {
        return false;
    }
    return ParseClassic(text, out);
}

bool VParamStreamStringifier::FromText(const char* text, double& out)
{
    if (text != nullptr)
    {
        if (NotANumberText() == text)
        {
            out = std::numeric_limits<double>::quiet_NaN();
            return true;
        }
        if (InfinityText() == text)
        {
            out = std::numeric_limits<double>::infinity();
            return true;
        }
        if (text[0] == '-' && InfinityText() == text + 1)
        {
            out = -std::numeric_limits<double>::infinity();
            return true;
        }
    }
    return ParseClassic(text, out);
}

bool VParamStreamStringifier::FromText(const char* text, bool& out)
{
    return ParseClassic(text, out);
}

const std::string& VParamStreamStringifier::NotANumberText()
{
    static const std::string text = FormatClassic(std::numeric_limits<double>::quiet_NaN());
    return text;
}

const std::string& VParamStreamStringifier::InfinityText()
{
    static const std::string text = FormatClassic(std::numeric_limits<double>::infinity());
    return text;
}
