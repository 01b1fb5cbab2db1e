// The two text forms of parameter values: stream formatting for numbers and
// booleans, and plain copying for text.
#pragma once

#include "params/IString.h"

#include <cstdint>
#include <string>

/// Numbers and booleans as text, always in the classic "C" locale so that the same
/// value reads and writes the same on every machine, whatever the user's locale.
///
/// Writing: integers in decimal, booleans as "1" and "0", reals with at most six
/// significant digits in general notation ("100.5", "1.23457e+06"); not-a-number
/// and the infinities as "nan", "inf" and "-inf".
/// Reading: leading white space is skipped, the value must parse and only white
/// space may follow. Booleans read only as 0 or 1; unsigned integers refuse a minus
/// sign; reals also accept exactly the texts written for not-a-number and the
/// infinities. On failure the output is left unchanged.
///
/// Stateless apart from the two special texts, which are computed once at first use
/// (thread-safe); every operation may be called from any thread.
class VParamStreamStringifier
{
public:
    template <class T> static void ToString(const T& value, IString& out)
    {
        out.Assign(ToText(value).c_str());
    }

    template <class T> static bool FromString(const IString& text, T& out)
    {
        VStringStd copy;
        text.CopyTo(copy);
        return FromText(copy.CStr(), out);
    }

    static std::string ToText(int32_t value);
    static std::string ToText(uint32_t value);
    static std::string ToText(double value);
    static std::string ToText(bool value);

    /// Each returns false and leaves `out` unchanged when `text` (null counts as
    /// empty) does not hold one value of the type.
    static bool FromText(const char* text, int32_t& out);
    static bool FromText(const char* text, uint32_t& out);
    static bool FromText(const char* text, double& out);
    static bool FromText(const char* text, bool& out);

    /// The text written for not-a-number ("nan").
    static const std::string& NotANumberText();
    /// The text written for positive infinity ("inf").
    static const std::string& InfinityText();
};

/// Text values copied unchanged in both directions; reading never fails.
class VParamStringStringifier
{
public:
    static void ToString(const VStringStd& value, IString& out) { out.Assign(value.CStr()); }
    static bool FromString(const IString& text, VStringStd& out)
    {
        text.CopyTo(out);
        return true;
    }
};
