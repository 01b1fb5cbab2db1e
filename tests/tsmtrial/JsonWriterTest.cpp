// The hand-written JSON writer: escaping, numbers, layout and misuse.
#include "tsmtrial/VJsonWriter.h"

#include "TestJson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

std::string RoundTripString(const std::string& text)
{
    VJsonWriter json;
    json.String(text);
    TestJson::VValue value;
    EXPECT_TRUE(TestJson::Parse(json.GetText(), value)) << json.GetText();
    return value.Text;
}

} // namespace

TEST(JsonWriter, EscapesEveryByteThatJsonForbidsOrThatIsNotUtf8)
{
    // Quotes, backslashes and control characters survive a parse.
    const std::string awkward = "a\"b\\c\nd\te\rf\bg\fh\x01i\x1Fj\x7Fk";
    EXPECT_EQ(RoundTripString(awkward), awkward);
    EXPECT_EQ(VJsonWriter::Quote("\x01"), "\"\\u0001\"");

    // Valid UTF-8 passes through unchanged; stray bytes are taken as Latin-1.
    EXPECT_EQ(VJsonWriter::Quote("caf\xC3\xA9"), "\"caf\xC3\xA9\"");
    EXPECT_EQ(VJsonWriter::Quote("\xE2\x82\xAC"), "\"\xE2\x82\xAC\"");
    EXPECT_EQ(VJsonWriter::Quote("\xE9t\xE9"), "\"\\u00e9t\\u00e9\"");
    EXPECT_EQ(VJsonWriter::Quote("\xC3"), "\"\\u00c3\"");                       // cut short
    EXPECT_EQ(VJsonWriter::Quote("\xC0\xAF"), "\"\\u00c0\\u00af\"");            // overlong
    EXPECT_EQ(VJsonWriter::Quote("\xED\xA0\x80"), "\"\\u00ed\\u00a0\\u0080\""); // surrogate
    EXPECT_EQ(RoundTripString("\xE9"), "\xC3\xA9");
}

TEST(JsonWriter, WritesNumbersThatReadBackExactlyAndNullForNonFinite)
{
    for (double value : {0.0, -0.0, 1.0, 0.1, 1.0 / 3.0, 2714.25, 1e-300, 1e300, -123456.789,
                         std::numeric_limits<double>::max(), std::numeric_limits<double>::min()})
    {
        const std::string text = VJsonWriter::FormatNumber(value);
        TestJson::VValue parsed;
        ASSERT_TRUE(TestJson::Parse(text, parsed)) << text;
        EXPECT_EQ(parsed.Number, value) << text;
    }
    EXPECT_EQ(VJsonWriter::FormatNumber(100.0), "100");
    EXPECT_EQ(VJsonWriter::FormatNumber(0.3f), "0.3");
    EXPECT_EQ(static_cast<float>(std::strtod(VJsonWriter::FormatNumber(0.1f).c_str(), nullptr)),
              0.1f);
    EXPECT_EQ(VJsonWriter::FormatNumber(std::nan("")), "null");
    EXPECT_EQ(VJsonWriter::FormatNumber(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(VJsonWriter::FormatNumber(-std::numeric_limits<float>::infinity()), "null");

    VJsonWriter json;
    json.BeginArray().Integer(-9007199254740993).Unsigned(18446744073709551615u).EndArray();
    EXPECT_EQ(json.GetText(), "[-9007199254740993,18446744073709551615]");
}

TEST(JsonWriter, LaysOutCompactIndentedAndInlineContainers)
{
    VJsonWriter compact;
    compact.BeginObject().Key("a").Integer(1).Key("b").BeginArray().Bool(true).Null().EndArray();
    compact.Key("c").BeginObject().EndObject().EndObject();
    EXPECT_EQ(compact.GetText(), "{\"a\":1,\"b\":[true,null],\"c\":{}}");
    EXPECT_TRUE(compact.IsComplete());

    VJsonWriter indented(2);
    indented.BeginObject().Key("list").BeginArray();
    indented.BeginArray(VJsonWriter::Layout::Inline).Integer(1).Integer(2).EndArray();
    indented.BeginObject(VJsonWriter::Layout::Inline).Key("k").BeginArray().Integer(3).EndArray();
    indented.EndObject().EndArray().Key("empty").BeginArray().EndArray().EndObject();
    EXPECT_EQ(indented.GetText(), "{\n"
                                  "  \"list\": [\n"
                                  "    [1, 2],\n"
                                  "    {\"k\": [3]}\n"
                                  "  ],\n"
                                  "  \"empty\": []\n"
                                  "}");
    EXPECT_TRUE(indented.IsComplete());
}

TEST(JsonWriter, RecordsMisuseInsteadOfWritingInvalidText)
{
    // A member without a key.
    VJsonWriter noKey;
    noKey.BeginObject().Integer(1).EndObject();
    EXPECT_FALSE(noKey.IsComplete());

    // A key whose value never came.
    VJsonWriter danglingKey;
    danglingKey.BeginObject().Key("a").EndObject();
    EXPECT_FALSE(danglingKey.IsComplete());

    // Closing the wrong container, or one never opened.
    VJsonWriter wrongClose;
    wrongClose.BeginArray().EndObject();
    EXPECT_FALSE(wrongClose.IsComplete());

    // Two top-level values, and a container left open.
    VJsonWriter twoRoots;
    twoRoots.Integer(1).Integer(2);
    EXPECT_FALSE(twoRoots.IsComplete());
    VJsonWriter open;
    open.BeginArray();
    EXPECT_FALSE(open.IsComplete());
    EXPECT_FALSE(VJsonWriter().IsComplete());
}
