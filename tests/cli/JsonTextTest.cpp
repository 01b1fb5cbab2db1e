#include "cli/JsonText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(JsonText, KeepsMemberOrderAndWritesNonFiniteAsNull)
{
    VJson document;
    document["zebra"] = 1;
    document["apple"] = std::nan("");
    document["mango"] = std::numeric_limits<double>::infinity();
    EXPECT_EQ(JsonText::Write(document),
              "{\n  \"zebra\": 1,\n  \"apple\": null,\n  \"mango\": null\n}\n");
}

TEST(JsonText, ReplacesBytesThatAreNotUtf8InsteadOfThrowing)
{
    VJson document;
    document["good"] = "caf\xC3\xA9";
    document["latin1"] = "\xE9t\xE9"; // a name from a file written in Latin-1
    document["cut"] = "\xC3";         // a sequence cut short
    document["surrogate"] = "\xED\xA0\x80";
    document["\xFF key"] = "control\x01";
    std::string text;
    ASSERT_NO_THROW(text = JsonText::Write(document));
    const VJson read = VJson::parse(text); // valid JSON, whatever the bytes were
    EXPECT_EQ(read["good"], "caf\xC3\xA9");
    EXPECT_EQ(read["latin1"], "\xEF\xBF\xBDt\xEF\xBF\xBD");
    EXPECT_EQ(read["cut"], "\xEF\xBF\xBD");
    EXPECT_NE(text.find("control\\u0001"), std::string::npos) << text;
}

TEST(JsonText, SingleFloatsPrintAsShortAsTheyReadBack)
{
    VJson document = {JsonText::ShortestFloat(0.3f), JsonText::ShortestFloat(0.1f),
                      JsonText::ShortestFloat(1234.5677f)};
    EXPECT_EQ(document.dump(), "[0.3,0.1,1234.5677]");
    for (float value : {0.1f, 1.0e-7f, 3.4028235e38f, -2.5e-3f})
        EXPECT_EQ(static_cast<float>(JsonText::ShortestFloat(value)), value);
}
