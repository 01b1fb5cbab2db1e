#include "params/VParamObject.h"
#include "params/VParamStringifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <type_traits>

namespace
{

template <class TObject> std::string TextOf(const TObject& object)
{
    VStringStd text;
    object.ToString(text);
    return text.Str();
}

template <class TObject> bool Parse(TObject& object, const char* text)
{
    return object.FromString(VStringStd(text));
}

// A user's locale that writes 1234567.5 as "1.234.567,5".
class CommaDecimals : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

class ScopedGlobalLocale
{
public:
    explicit ScopedGlobalLocale(const std::locale& locale) : m_Previous(std::locale::global(locale))
    {
    }
    ~ScopedGlobalLocale() { std::locale::global(m_Previous); }

private:
    std::locale m_Previous;
};

} // namespace

TEST(ParamText, IntegersAllowBlanksAroundButNothingElse)
{
    VParamInt32 value(7);
    // Blanks around the number are skipped.
    ASSERT_TRUE(Parse(value, "  42 \t"));
    EXPECT_EQ(value.Value(), 42);
    // Anything else after the number fails and keeps the old value.
    for (const char* bad :
         {"42x", "4 2", "", "   ", "x42", "4.2", "0x10", "2147483648", "-2147483649", "--1"})
    {
        EXPECT_FALSE(Parse(value, bad)) << bad;
        EXPECT_EQ(value.Value(), 42) << "old value kept after '" << bad << "'";
    }
    EXPECT_TRUE(Parse(value, "-2147483648"));
    EXPECT_EQ(value.Value(), INT32_MIN);
    EXPECT_EQ(TextOf(value), "-2147483648");
}

TEST(ParamText, UnsignedRefusesNegativeNumbersInsteadOfWrapping)
{
    VParamUInt32 value(5);
    EXPECT_FALSE(Parse(value, "-1"));
    EXPECT_FALSE(Parse(value, " -0"));
    EXPECT_FALSE(Parse(value, "4294967296"));
    EXPECT_EQ(value.Value(), 5u);
    ASSERT_TRUE(Parse(value, "4294967295"));
    EXPECT_EQ(TextOf(value), "4294967295");
}

TEST(ParamText, BooleansAreDigitsOnly)
{
    VParamBool value(false);
    EXPECT_FALSE(Parse(value, "true"));
    EXPECT_FALSE(Parse(value, "2"));
    EXPECT_FALSE(Parse(value, "yes"));
    EXPECT_FALSE(value.Value());
    ASSERT_TRUE(Parse(value, "1"));
    EXPECT_TRUE(value.Value());
    EXPECT_EQ(TextOf(value), "1");
    ASSERT_TRUE(Parse(value, " 0 "));
    EXPECT_FALSE(value.Value());
    EXPECT_EQ(TextOf(value), "0");
}

TEST(ParamText, RealsUseSixSignificantDigits)
{
    EXPECT_EQ(TextOf(VParamDouble(100.5)), "100.5");
    EXPECT_EQ(TextOf(VParamDouble(1234567.0)), "1.23457e+06");
    EXPECT_EQ(TextOf(VParamDouble(50.0)), "50");
    EXPECT_EQ(TextOf(VParamDouble(0.1)), "0.1");

    VParamDouble value(1.0);
    ASSERT_TRUE(Parse(value, " 1e3 "));
    EXPECT_EQ(value.Value(), 1000.0);
    for (const char* bad : {"100,5", "1.2.3", "1e999", "abc", "", "1.5x"})
    {
        EXPECT_FALSE(Parse(value, bad)) << bad;
        EXPECT_EQ(value.Value(), 1000.0) << bad;
    }
}

TEST(ParamText, SpecialRealsRoundTrip)
{
    const std::string nanText = VParamStreamStringifier::NotANumberText();
    const std::string infText = VParamStreamStringifier::InfinityText();
    EXPECT_EQ(nanText, "nan");
    EXPECT_EQ(infText, "inf");

    VParamDouble value(0.0);
    ASSERT_TRUE(Parse(value, "nan"));
    EXPECT_TRUE(std::isnan(value.Value()));
    EXPECT_EQ(TextOf(value), "nan");
    ASSERT_TRUE(Parse(value, "inf"));
    EXPECT_EQ(value.Value(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(TextOf(value), "inf");
    // Negative infinity is written as "-inf" and must read back too.
    value.Set(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(TextOf(value), "-inf");
    value.Set(0.0);
    ASSERT_TRUE(Parse(value, "-inf"));
    EXPECT_EQ(value.Value(), -std::numeric_limits<double>::infinity());
    // A not-a-number with its sign bit set is written in the one readable form.
    value.Set(-std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(TextOf(value), "nan");
}

TEST(ParamText, UserLocaleIsIgnored)
{
    ScopedGlobalLocale scoped(std::locale(std::locale::classic(), new CommaDecimals));
    EXPECT_EQ(TextOf(VParamDouble(100.5)), "100.5");
    EXPECT_EQ(TextOf(VParamInt32(1234567)), "1234567");
    EXPECT_EQ(TextOf(VParamUInt32(4000000000u)), "4000000000");

    VParamDouble real(0.0);
    ASSERT_TRUE(Parse(real, "100.5"));
    EXPECT_EQ(real.Value(), 100.5);
    EXPECT_FALSE(Parse(real, "100,5"));
    VParamInt32 integer(0);
    EXPECT_FALSE(Parse(integer, "1.234"));
    EXPECT_EQ(integer.Value(), 0);
}

TEST(ParamText, TextIsCopiedUnchanged)
{
    VParamString value("old");
    ASSERT_TRUE(Parse(value, "  spaced out \t"));
    EXPECT_EQ(TextOf(value), "  spaced out \t");
    ASSERT_TRUE(Parse(value, ""));
    EXPECT_EQ(TextOf(value), "");
}

namespace
{

// What a classic-locale stream reads, with blanks allowed around: the rule FromText keeps.
template <class T> bool StreamReads(const std::string& text, T& out)
{
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    T value{};
    stream >> value;
    if (stream.fail())
        return false;
    char c = 0;
    while (stream.get(c))
    {
        if (!std::isspace(c, std::locale::classic()))
            return false;
    }
    out = value;
    return true;
}

// FromText's rule around the stream: unsigned refuses a minus, reals know three words.
template <class T> bool ReferenceReads(const std::string& text, T& out)
{
    if constexpr (std::is_same_v<T, uint32_t>)
    {
        const std::size_t first = text.find_first_not_of(" \t\n\v\f\r");
        if (first != std::string::npos && text[first] == '-')
            return false;
    }
    if constexpr (std::is_same_v<T, double>)
    {
        if (text == "nan" || text == "inf" || text == "-inf")
        {
            out = text == "nan"
                      ? std::numeric_limits<double>::quiet_NaN()
                      : (text == "inf" ? 1.0 : -1.0) * std::numeric_limits<double>::infinity();
            return true;
        }
    }
    return StreamReads(text, out);
}

template <class T> void ExpectSameAsStream(const std::string& text)
{
    T fast{};
    T stream{};
    const bool fastRead = VParamStreamStringifier::FromText(text.c_str(), fast);
    const bool streamRead = ReferenceReads(text, stream);
    ASSERT_EQ(fastRead, streamRead) << "'" << text << "'";
    if (fastRead)
    {
        EXPECT_EQ(std::memcmp(&fast, &stream, sizeof(T)), 0) << "'" << text << "'";
    }
}

} // namespace

// FromText reads plain decimal texts without a stream; whatever it accepts and the value it
// gives must stay exactly the stream's, for awkward texts and for every value written.
TEST(ParamText, DecimalTextsReadAsTheStreamReadsThem)
{
    const char* texts[] = {"0",
                           "1",
                           "-1",
                           "-0",
                           "+1",
                           "01",
                           "007",
                           "2",
                           " 1",
                           "1 ",
                           "1e",
                           "1e+",
                           "1e5",
                           "1E5",
                           "1e+5",
                           "1e-5",
                           "-1e-5",
                           "1.",
                           ".5",
                           "-.5",
                           ".",
                           "-",
                           "--1",
                           "1-2",
                           "1e5.3",
                           "1.2.3",
                           "e5",
                           "0x10",
                           "1,5",
                           "inf",
                           "infinity",
                           "INF",
                           "NaN",
                           "nan(1)",
                           "1e999",
                           "-1e999",
                           "1e-999",
                           "4.9e-324",
                           "2147483647",
                           "2147483648",
                           "-2147483648",
                           "-2147483649",
                           "4294967295",
                           "4294967296",
                           "99999999999999999999",
                           "0.1000000000000000055511151231",
                           "123456789012345678901234567890e-20",
                           ""};
    for (const char* text : texts)
    {
        ExpectSameAsStream<int32_t>(text);
        ExpectSameAsStream<uint32_t>(text);
        ExpectSameAsStream<double>(text);
        ExpectSameAsStream<bool>(text);
    }
    std::mt19937_64 random(16);
    for (int i = 0; i < 20000; ++i)
    {
        const uint64_t bits = random();
        double real = 0.0;
        std::memcpy(&real, &bits, sizeof real);
        if (std::isfinite(real))
            ExpectSameAsStream<double>(VParamStreamStringifier::ToText(real));
        ExpectSameAsStream<double>(std::to_string(static_cast<double>(bits >> 11) * 1e-7));
        ExpectSameAsStream<int32_t>(VParamStreamStringifier::ToText(static_cast<int32_t>(bits)));
        ExpectSameAsStream<uint32_t>(VParamStreamStringifier::ToText(static_cast<uint32_t>(bits)));
    }
}
