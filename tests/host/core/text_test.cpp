#include <gtest/gtest.h>

#include "host/core/text.h"

namespace {

TEST(FloatToString, AtMostThreeDecimalsDropsTrailingZerosAndBarePoint) {
  EXPECT_EQ(FloatToString(50.0).GetStd(), "50");
  EXPECT_EQ(FloatToString(0.5).GetStd(), "0.5");
  EXPECT_EQ(FloatToString(-172.8).GetStd(), "-172.8");
  EXPECT_EQ(FloatToString(1.0 / 30.0).GetStd(), "0.033");
  EXPECT_EQ(FloatToString(2.0 / 3.0).GetStd(), "0.667");
  EXPECT_EQ(FloatToString(-180.0).GetStd(), "-180");
  EXPECT_EQ(FloatToString(7.2).GetStd(), "7.2");
}

TEST(FloatToString, RoundsAtTheThirdDecimalOnTheExactBinaryValue) {
  EXPECT_EQ(FloatToString(1.0006).GetStd(), "1.001");
  EXPECT_EQ(FloatToString(1.0004).GetStd(), "1");
  EXPECT_EQ(FloatToString(0.9999).GetStd(), "1");
  EXPECT_EQ(FloatToString(-0.0006).GetStd(), "-0.001");
  // Halves are decided by the binary value: 1234567.8915 lies just below the half.
  EXPECT_EQ(FloatToString(0.0005).GetStd(), "0.001");
  EXPECT_EQ(FloatToString(1234567.8915).GetStd(), "1234567.891");
  EXPECT_EQ(FloatToString(1234567.8916).GetStd(), "1234567.892");
}

TEST(FloatToString, ZeroAndValuesThatRoundToZeroHaveNoMinus) {
  EXPECT_EQ(FloatToString(-0.0).GetStd(), "0");
  EXPECT_EQ(FloatToString(-0.0004).GetStd(), "0");
  EXPECT_EQ(FloatToString(0.0).GetStd(), "0");
  EXPECT_EQ(FloatToString(-0.0, -1, 1).GetStd(), "0.0");
  EXPECT_EQ(FloatToString(-0.04, -1, 1).GetStd(), "0.0");
  EXPECT_EQ(FloatToString(-0.4, -1, 0).GetStd(), "0");
}

TEST(FloatToString, NeverWritesAnExponent) {
  EXPECT_EQ(FloatToString(1e20).GetStd(), "100000000000000000000");
  EXPECT_EQ(FloatToString(-1e20, -1, 1).GetStd(), "-100000000000000000000.0");
  EXPECT_EQ(FloatToString(1e-20).GetStd(), "0");
  const std::string huge = FloatToString(1.7976931348623157e308).GetStd();
  EXPECT_EQ(huge.size(), 309u);
  EXPECT_EQ(huge.find_first_not_of("0123456789"), std::string::npos);
}

TEST(FloatToString, FixedDecimalsKeepTrailingZeros) {
  EXPECT_EQ(FloatToString(2.5, -1, 0).GetStd(), "2");  // exact halves go to the even neighbour
  EXPECT_EQ(FloatToString(3.5, -1, 0).GetStd(), "4");
  EXPECT_EQ(FloatToString(2.0, -1, 1).GetStd(), "2.0");
  EXPECT_EQ(FloatToString(2.0, -1, 3).GetStd(), "2.000");
  EXPECT_EQ(FloatToString(-1.23456, -1, 3).GetStd(), "-1.235");
  EXPECT_EQ(FloatToString(12.0, 5, 1, false, '0').GetStd(), "00012.0");
  EXPECT_EQ(FloatToString(-12.0, 5, -3).GetStd(), "  -12");
}

TEST(FloatToString, NonFiniteValuesAreNamed) {
  EXPECT_EQ(FloatToString(std::numeric_limits<double>::infinity()).GetStd(), "inf");
  EXPECT_EQ(FloatToString(-std::numeric_limits<double>::infinity()).GetStd(), "-inf");
  EXPECT_EQ(FloatToString(std::numeric_limits<double>::quiet_NaN()).GetStd(), "nan");
}

TEST(String, EditingOperationsClampToTheText) {
  String s("Sin(x)");
  EXPECT_EQ(s.SubStr(4, 1).GetStd(), "x");
  EXPECT_EQ(s.SubStr(5, 10).GetStd(), ")");
  EXPECT_EQ(s.SubStr(-3, 2).GetStd(), "");
  EXPECT_EQ(s.SubStr(-1, 3).GetStd(), "Si");
  EXPECT_EQ(s.SubStr(2, -1).GetStd(), "");
  EXPECT_EQ(s.SubStr(6, 1).GetStd(), "");
  EXPECT_EQ(s.SubStr(100, 1).GetStd(), "");

  s.Delete(4, 1);
  s.Insert(4, String("-180"));
  EXPECT_EQ(s.GetStd(), "Sin(-180)");
  s.Delete(7, 100);
  EXPECT_EQ(s.GetStd(), "Sin(-18");
  s.Delete(-5, 1);
  EXPECT_EQ(s.GetStd(), "Sin(-18");
  s.Insert(1000, String(")"));
  s.Insert(-1, String("2*"));
  EXPECT_EQ(s.GetStd(), "2*Sin(-18)");
  EXPECT_EQ(s[0], '2');
  EXPECT_EQ(s[100], 0);
}

TEST(String, FindFirstReportsMinusOneWhenAbsent) {
  const String s("txzt");
  Int32 pos = 99;
  EXPECT_TRUE(s.FindFirst(String("t"), &pos, 0));
  EXPECT_EQ(pos, 0);
  EXPECT_TRUE(s.FindFirst(String("t"), &pos, 1));
  EXPECT_EQ(pos, 3);
  EXPECT_FALSE(s.FindFirst(String("t"), &pos, 4));
  EXPECT_EQ(pos, -1);
  EXPECT_FALSE(s.FindFirst(String("T"), &pos, 0));
  EXPECT_EQ(pos, -1);
  EXPECT_FALSE(s.FindFirst(String("x"), &pos, -1));
  EXPECT_EQ(pos, -1);
}

TEST(String, OrdersByUnsignedByteValue) {
  EXPECT_LT(String("A"), String("a"));
  EXPECT_LT(String("("), String("0"));
  EXPECT_LT(String("z"), String("\xC3\xA9"));  // bytes above 127 sort after ASCII
  EXPECT_LE(String("a"), String("a"));
  EXPECT_EQ(String("abc").Compare(String("abd")), -1);
}

}  // namespace
