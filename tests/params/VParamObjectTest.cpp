#include "params/VParamObject.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(ParamObject, AssignAndEqualsRequireTheSameValueType)
{
    VParamInt32 integer(5);
    const VParamUInt32 unsignedFive(5u);
    const VParamDouble realFive(5.0);
    EXPECT_FALSE(integer.Assign(unsignedFive));
    EXPECT_FALSE(integer.Assign(realFive));
    EXPECT_EQ(integer.Value(), 5);
    EXPECT_FALSE(integer.Equals(unsignedFive)) << "same number, other type";
    EXPECT_FALSE(integer.IsLess(VParamDouble(9.0)));

    ASSERT_TRUE(integer.Assign(VParamInt32(-3)));
    EXPECT_EQ(integer.Value(), -3);
    EXPECT_TRUE(integer.Equals(VParamInt32(-3)));
    EXPECT_FALSE(integer.Equals(VParamInt32(3)));
}

TEST(ParamObject, OrderingOnlyForComparableTypes)
{
    EXPECT_TRUE(VParamInt32(1).IsLess(VParamInt32(2)));
    EXPECT_FALSE(VParamInt32(2).IsLess(VParamInt32(1)));
    EXPECT_FALSE(VParamInt32(2).IsLess(VParamInt32(2)));
    EXPECT_TRUE(VParamDouble(-0.5).IsLess(VParamDouble(0.0)));
    EXPECT_TRUE(VParamString("abc").IsLess(VParamString("abd")));
    // Booleans are not ordered.
    EXPECT_FALSE(VParamBool(false).IsLess(VParamBool(true)));
    EXPECT_FALSE(VParamBool(true).IsLess(VParamBool(false)));
}

TEST(ParamObject, CloneIsAnIndependentObjectOfTheSameType)
{
    const VParamDouble original(2.5);
    TDestroyPtr<IParamObject> clone(original.Clone());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->Equals(original));
    auto* typed = dynamic_cast<ITypedParamObject<double>*>(clone.get());
    ASSERT_NE(typed, nullptr);
    typed->Set(7.0);
    EXPECT_EQ(original.Value(), 2.5);
    double read = 0.0;
    typed->Get(read);
    EXPECT_EQ(read, 7.0);
    EXPECT_EQ(dynamic_cast<ITypedParamObject<int32_t>*>(clone.get()), nullptr);
}

TEST(ParamObject, TextValueHasBothTypedFaces)
{
    TDestroyPtr<IParamObject> clone(VParamString("first").Clone());
    auto* asText = dynamic_cast<ITypedParamObject<IString>*>(clone.get());
    auto* asStd = dynamic_cast<ITypedParamObject<VStringStd>*>(clone.get());
    ASSERT_NE(asText, nullptr);
    ASSERT_NE(asStd, nullptr);

    asText->Set(VStringStd("second"));
    VStringStd read;
    asStd->Get(read);
    EXPECT_EQ(read.Str(), "second");

    asStd->Set(VStringStd("third"));
    std::string plain;
    VStringStdAdapter adapter(plain);
    asText->Get(adapter);
    EXPECT_EQ(plain, "third");
    EXPECT_TRUE(clone->Equals(VParamString("third")));
}

TEST(ParamObject, NotANumberEqualsItself)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(VParamDouble(nan).Equals(VParamDouble(nan)));
    EXPECT_FALSE(VParamDouble(nan).Equals(VParamDouble(0.0)));
    EXPECT_FALSE(VParamDouble(nan).IsLess(VParamDouble(1.0)));
}
