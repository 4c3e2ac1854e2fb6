#include "host/files/parameter_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/core/gradient.h"
#include "host/files/files.h"

namespace {

DescParameter Param(const char* name, DescParamType type) {
  DescParameter p;
  p.id = 1;
  p.name = name;
  p.type = type;
  return p;
}

DescParameter Resolution() {
  DescParameter p = Param("SURFO_RESOLUTION", DescParamType::INT32);
  p.min = 1.0;
  p.max = 2000.0;
  return p;
}

DescParameter HeightMode() {
  DescParameter p = Param("SURFO_HEIGHTMODE", DescParamType::INT32);
  p.popup = {{0, "Free"}, {1, "Fit"}, {2, "Clip"}, {5, "Single Colour"}};
  return p;
}

DescParameter Colour() {
  DescParameter p = Param("SURFO_COLOR", DescParamType::COLOR);
  p.min = 0.0;
  p.max = 1.0;
  return p;
}

GeData Parsed(const DescParameter& p, std::string_view text) {
  String error;
  const auto value = ParseParameterValue(p, text, &error);
  EXPECT_TRUE(value.has_value()) << "\"" << text << "\": " << error.GetStd();
  return value.value_or(GeData());
}

// Refused, with a message that starts with the parameter's name and holds `fragment`.
void ExpectRefused(const DescParameter& p, std::string_view text, const std::string& fragment) {
  String error;
  EXPECT_FALSE(ParseParameterValue(p, text, &error).has_value()) << "\"" << text << "\" was accepted";
  EXPECT_EQ(error.GetStd().rfind(p.name.GetStd() + ": ", 0), 0u) << error.GetStd();
  EXPECT_NE(error.GetStd().find(fragment), std::string::npos) << "\"" << error.GetStd() << "\" lacks \"" << fragment << "\"";
}

TEST(ParameterTextParse, Int32AcceptsIntegersInsideTheLimits) {
  const DescParameter p = Resolution();
  EXPECT_EQ(Parsed(p, "50").GetType(), GeDataType::INT32);
  EXPECT_EQ(Parsed(p, "50").GetInt32(), 50);
  EXPECT_EQ(Parsed(p, " +7 ").GetInt32(), 7);
  EXPECT_EQ(Parsed(p, "2000").GetInt32(), 2000);

  String error;
  EXPECT_FALSE(ParseParameterValue(p, "5000", &error));
  EXPECT_EQ(error.GetStd(), "SURFO_RESOLUTION: 5000 is above the maximum 2000");
  ExpectRefused(p, "0", "0 is below the minimum 1");
  ExpectRefused(p, "abc", "\"abc\" is not an integer");
  ExpectRefused(p, "5.0", "not an integer");
  ExpectRefused(p, "", "not an integer");
  ExpectRefused(p, "+-3", "not an integer");
  ExpectRefused(p, "99999999999", "outside the Int32 range");
  ExpectRefused(p, "99999999999999999999999", "outside the Int32 range");
}

TEST(ParameterTextParse, PopupTakesValuesAndLabelsButNothingElse) {
  const DescParameter p = HeightMode();
  EXPECT_EQ(Parsed(p, "clip").GetInt32(), 2);
  EXPECT_EQ(Parsed(p, "FIT").GetInt32(), 1);
  EXPECT_EQ(Parsed(p, "single colour").GetInt32(), 5);
  EXPECT_EQ(Parsed(p, "0").GetInt32(), 0);
  EXPECT_EQ(Parsed(p, "1 (Fit)").GetInt32(), 1) << "the displayed form reads back";

  ExpectRefused(p, "3", "3 is not one of 0 (Free), 1 (Fit), 2 (Clip), 5 (Single Colour)");
  ExpectRefused(p, "clipped", "\"clipped\" is not one of");
  ExpectRefused(p, "1 (Clip)", "is not one of");
  ExpectRefused(p, "7 (Fit)", "is not one of");
}

TEST(ParameterTextParse, FloatIsAFiniteNumberWithNothingAfterIt) {
  DescParameter p = Param("SURFO_SIZE", DescParamType::FLOAT);
  p.min = 0.0;
  EXPECT_EQ(Parsed(p, "1.5").GetType(), GeDataType::FLOAT);
  EXPECT_EQ(Parsed(p, "1.5").GetFloat(), 1.5);
  EXPECT_EQ(Parsed(p, "2e3").GetFloat(), 2000.0);
  EXPECT_EQ(Parsed(p, "+.25").GetFloat(), 0.25);
  EXPECT_EQ(Parsed(p, "\t7\n").GetFloat(), 7.0);

  ExpectRefused(p, "-0.5", "-0.5 is below the minimum 0");
  ExpectRefused(p, "nan", "\"nan\" is not a finite number");
  ExpectRefused(p, "inf", "not a finite number");
  ExpectRefused(p, "1e999", "not a finite number");
  ExpectRefused(p, "1.5x", "\"1.5x\" is not a number");
  ExpectRefused(p, "0x10", "not a number");
  ExpectRefused(p, "", "not a number");
}

TEST(ParameterTextParse, BoolWordsAndStringsAsTheyAre) {
  const DescParameter b = Param("SURFO_ANIMATE", DescParamType::BOOL);
  for (const char* yes : {"true", "TRUE", "1", "yes", "On"}) {
    EXPECT_TRUE(Parsed(b, yes).GetBool()) << yes;
  }
  for (const char* no : {"false", "False", "0", "no", "OFF"}) {
    EXPECT_FALSE(Parsed(b, no).GetBool()) << no;
  }
  String error;
  EXPECT_FALSE(ParseParameterValue(b, "maybe", &error));
  EXPECT_EQ(error.GetStd(), "SURFO_ANIMATE: \"maybe\" is not a bool (true/false)");
  ExpectRefused(b, "2", "not a bool");

  const DescParameter s = Param("SURFO_FORMULA", DescParamType::STRING);
  EXPECT_EQ(Parsed(s, "  Sin(x) ; 2 ").GetString(), String("  Sin(x) ; 2 "));
  EXPECT_EQ(Parsed(s, "").GetString(), String(""));
}

TEST(ParameterTextParse, VectorsAreThreeNumbersSeparatedByCommasOrSpaces) {
  const DescParameter p = Colour();
  EXPECT_EQ(Parsed(p, "1,0.5,0").GetVector(), Vector(1, 0.5, 0));
  EXPECT_EQ(Parsed(p, "1 0.5 0").GetVector(), Vector(1, 0.5, 0));
  EXPECT_EQ(Parsed(p, " 1 ,  0.5,0 ").GetVector(), Vector(1, 0.5, 0));

  ExpectRefused(p, "1,0.5", "\"1,0.5\" is not three numbers");
  ExpectRefused(p, "1,,0.5,0", "not three numbers");
  ExpectRefused(p, "1,0.5,0,", "not three numbers");
  ExpectRefused(p, ",1,0.5,0", "not three numbers");
  ExpectRefused(p, "", "not three numbers");
  ExpectRefused(p, "1,red,0", "y \"red\" is not a number");
  ExpectRefused(p, "0,1.5,0", "y 1.5 is above the maximum 1");
  ExpectRefused(p, "0,0,-1", "z -1 is below the minimum 0");

  const DescParameter free = Param("P_VEC", DescParamType::VECTOR);
  EXPECT_EQ(Parsed(free, "-1e6 2 3").GetVector(), Vector(-1e6, 2, 3)) << "no limits unless described";
}

TEST(ParameterTextParse, TypesWithoutATextFormAreRefused) {
  ExpectRefused(Param("SURFO_GRADIENT", DescParamType::GRADIENT), "0,0,1", "gradient cannot be set from text");
  ExpectRefused(Param("P_FONT", DescParamType::FONT), "Arial", "font cannot be set from text");
  ExpectRefused(Param("SURFO_RESET", DescParamType::BUTTON), "true", "button has no value");
  // A missing error pointer must not crash.
  EXPECT_FALSE(ParseParameterValue(Resolution(), "x", nullptr).has_value());
}

TEST(ParameterTextFormat, ShowsValuesReadably) {
  EXPECT_EQ(FormatParameterValue(HeightMode(), GeData(Int32(1))), "1 (Fit)");
  EXPECT_EQ(FormatParameterValue(HeightMode(), GeData(Int32(9))), "9") << "a value outside the popup still shows";
  EXPECT_EQ(FormatParameterValue(Resolution(), GeData(Int32(50))), "50");
  EXPECT_EQ(FormatParameterValue(Param("F", DescParamType::FLOAT), GeData(-180.0)), "-180");
  EXPECT_EQ(FormatParameterValue(Param("F", DescParamType::FLOAT), GeData(0.1)), "0.1");
  EXPECT_EQ(FormatParameterValue(Param("B", DescParamType::BOOL), GeData(true)), "true");
  EXPECT_EQ(FormatParameterValue(Colour(), GeData(Vector(1, 0.5, 0))), "1, 0.5, 0");

  auto gradient = Gradient::Alloc();
  ASSERT_NE(gradient, nullptr);
  const DescParameter g = Param("G", DescParamType::GRADIENT);
  EXPECT_EQ(FormatParameterValue(g, GeData(*gradient)), "gradient (0 knots)");
  gradient->InsertKnot(GradientKnot{});
  EXPECT_EQ(FormatParameterValue(g, GeData(*gradient)), "gradient (1 knot)");
  EXPECT_EQ(FormatParameterValue(g, GeData()), "gradient (none)");
}

TEST(ParameterTextFormat, FloatsSurviveTheRoundTripExactly) {
  const DescParameter f = Param("F", DescParamType::FLOAT);
  const DescParameter v = Param("V", DescParamType::VECTOR);
  for (const Float x : {1.0 / 3.0, 0.1 + 0.2, 1e-300, -123456789.123456789, 5e-324, 1.7976931348623157e308, -0.0}) {
    const GeData back = Parsed(f, FormatParameterValue(f, GeData(x)));
    EXPECT_EQ(back.GetFloat(), x) << FormatParameterValue(f, GeData(x));
    EXPECT_EQ(std::signbit(back.GetFloat()), std::signbit(x));
    EXPECT_EQ(Parsed(v, FormatParameterValue(v, GeData(Vector(x, -x, 1)))).GetVector(), Vector(x, -x, 1));
  }
}

// Every default of the shipped resource must read back as itself, or scene files written
// from an object's settings would not load.
TEST(ParameterTextFormat, EveryShippedDefaultReadsBackAsItself) {
  std::string text;
  ASSERT_TRUE(ReadTextFile(Filename(VANTELLE_SOURCE_DIR "/res/description/osurfo.json"), text));
  String error;
  const auto resource = ParseDescriptionResource(text, &error);
  ASSERT_TRUE(resource.has_value()) << error.GetStd();
  Int32 checked = 0;
  for (const DescParameter& p : resource->parameters) {
    if (p.type == DescParamType::GRADIENT || p.type == DescParamType::FONT || p.type == DescParamType::BUTTON) {
      continue;
    }
    const std::string shown = FormatParameterValue(p, p.defaultValue);
    const auto back = ParseParameterValue(p, shown, &error);
    ASSERT_TRUE(back.has_value()) << p.name.GetStd() << " shown as \"" << shown << "\": " << error.GetStd();
    EXPECT_TRUE(*back == p.defaultValue) << p.name.GetStd() << " shown as \"" << shown << "\"";
    ++checked;
  }
  EXPECT_GT(checked, 15);
  EXPECT_EQ(FormatParameterValue(*resource->FindByName("SURFO_GRADIENT"), resource->FindByName("SURFO_GRADIENT")->defaultValue),
            "gradient (3 knots)");
}

TEST(ParameterTextClosestName, SuggestsNearMissesOnly) {
  DescriptionResource r;
  for (const char* name : {"SURFO_RESOLUTION", "SURFO_RESET", "SURFO_SIZE", "SURFO_XMIN", "SURFO_XMAX"}) {
    r.parameters.push_back(Param(name, DescParamType::INT32));
  }
  EXPECT_EQ(FindClosestParameterName(r, "SURFO_RESOLUTON"), "SURFO_RESOLUTION");
  EXPECT_EQ(FindClosestParameterName(r, "surfo_resolution"), "SURFO_RESOLUTION");
  EXPECT_EQ(FindClosestParameterName(r, "RESOLUTION"), "SURFO_RESOLUTION") << "the prefix left out";
  EXPECT_EQ(FindClosestParameterName(r, "SURFO_XMAXX"), "SURFO_XMAX");
  EXPECT_EQ(FindClosestParameterName(r, "NOPE"), std::nullopt);
  EXPECT_EQ(FindClosestParameterName(r, "SURFO_COMPLETELY_DIFFERENT"), std::nullopt);
  EXPECT_EQ(FindClosestParameterName(DescriptionResource{}, "X"), std::nullopt);
}

}  // namespace
