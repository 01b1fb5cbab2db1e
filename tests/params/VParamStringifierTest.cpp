#include "params/VParamObject.h"
#include "params/VParamStringifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <locale>
#include <string>

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
