#include "params/VParamStringifier.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <type_traits>

namespace
{

template <class T> std::string FormatClassic(const T& value)
{
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    stream << value;
    return stream.str();
}

// Reads the plain decimal forms that ToText writes (digits after an optional '-'; for reals
// also a point and an exponent) without a stream, which costs a microsecond and the devices
// read their parameters many times a frame. Any other text, and any that does not convert
// here (out of range, say), is left to the stream, so what reads and the value it gives stay
// the stream's: from_chars and the stream agree on every text this accepts.
template <class T> bool ParseDecimal(const char* text, T& out)
{
    if (text == nullptr || *text == '\0')
        return false;
    const char* end = text;
    for (; *end != '\0'; ++end)
    {
        const char c = *end;
        const bool digit = c >= '0' && c <= '9';
        const bool sign =
            c == '-' &&
            (end == text || (std::is_floating_point_v<T> && (end[-1] == 'e' || end[-1] == 'E')));
        const bool real = std::is_floating_point_v<T> &&
                          (c == '.' || c == 'e' || c == 'E' ||
                           (c == '+' && end != text && (end[-1] == 'e' || end[-1] == 'E')));
        if (!digit && !sign && !real)
            return false;
    }
    if constexpr (std::is_same_v<T, bool>)
    {
        if (end - text != 1 || (*text != '0' && *text != '1'))
            return false;
        out = *text == '1';
        return true;
    }
    else
    {
        T value{};
        const auto [stop, error] = std::from_chars(text, end, value);
        if (error != std::errc() || stop != end)
            return false;
        out = value;
        return true;
    }
}

// Parses one value with a classic-locale stream; only white space may surround it.
template <class T> bool ParseClassic(const char* text, T& out)
{
    if (ParseDecimal(text, out))
        return true;
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
