#include "host/files/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

JsonValue Read(std::string_view text) {
  JsonError error;
  std::optional<JsonValue> value = ReadJson(text, &error);
  EXPECT_TRUE(value.has_value()) << text << " -> " << error.Format();
  return value.value_or(JsonValue());
}

struct Refusal {
  std::string text;
  Int32 line;
  Int32 column;
  std::string fragment;
};

void ExpectRefused(const Refusal& r, const JsonLimits& limits = JsonLimits()) {
  JsonError error;
  EXPECT_FALSE(ReadJson(r.text, &error, limits).has_value()) << r.text;
  EXPECT_EQ(error.line, r.line) << r.text << " -> " << error.Format();
  EXPECT_EQ(error.column, r.column) << r.text << " -> " << error.Format();
  EXPECT_NE(error.message.find(r.fragment), std::string::npos)
      << r.text << " -> \"" << error.message << "\" lacks \"" << r.fragment << "\"";
}

TEST(JsonRead, ReadsEveryKindAndKeepsKeyOrder) {
  const JsonValue v = Read(R"({"z": null, "a": [true, false], "n": -12, "f": 2.5e1, "s": "x", "o": {}})");
  ASSERT_TRUE(v.IsObject());
  const auto& m = v.GetMembers();
  ASSERT_EQ(m.size(), 6u);
  EXPECT_EQ(m[0].key, "z");
  EXPECT_EQ(m[1].key, "a");
  EXPECT_TRUE(m[0].value.IsNull());
  EXPECT_TRUE(m[1].value.GetItems()[0].GetBoolean());
  EXPECT_FALSE(m[1].value.GetItems()[1].GetBoolean());
  EXPECT_TRUE(m[2].value.IsInteger());
  EXPECT_EQ(m[2].value.GetInteger(), -12);
  EXPECT_TRUE(m[3].value.IsFloat());
  EXPECT_EQ(m[3].value.GetNumber(), 25.0);
  EXPECT_EQ(v.Find("s")->value.GetString(), "x");
  EXPECT_TRUE(v.Find("o")->value.IsObject());
  EXPECT_EQ(v.Find("missing"), nullptr);
}

TEST(JsonRead, NumbersAreIntegersOnlyWithoutPointOrExponent) {
  EXPECT_TRUE(Read("1").IsInteger());
  EXPECT_TRUE(Read("1.0").IsFloat());
  EXPECT_TRUE(Read("1e0").IsFloat());
  EXPECT_EQ(Read("-9223372036854775808").GetInteger(), std::numeric_limits<Int64>::min());
  EXPECT_EQ(Read("9223372036854775807").GetInteger(), std::numeric_limits<Int64>::max());
  EXPECT_EQ(Read("4.9e-324").GetNumber(), std::numeric_limits<Float>::denorm_min());
  EXPECT_EQ(Read("1e-400").GetNumber(), 0.0) << "underflow reads as zero";
  EXPECT_TRUE(std::signbit(Read("-1e-400").GetNumber()));
  EXPECT_EQ(Read("1.7976931348623157e308").GetNumber(), std::numeric_limits<Float>::max());
}

TEST(JsonRead, DecodesEscapesAndKeepsRawBytes) {
  EXPECT_EQ(Read(R"("\"\\\/\b\f\n\r\t")").GetString(), "\"\\/\b\f\n\r\t");
  EXPECT_EQ(Read(R"("\u00e9\u20AC")").GetString(), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(Read(R"("\ud83d\ude00")").GetString(), "\xF0\x9F\x98\x80") << "a surrogate pair is one code point";
  EXPECT_EQ(Read(R"("\u0000")").GetString(), std::string(1, '\0'));
  EXPECT_EQ(Read("\"\xFF\xFE\"").GetString(), "\xFF\xFE") << "bytes are taken as they are";
  EXPECT_EQ(Read("\xEF\xBB\xBF[1]").GetItems().size(), 1u) << "a byte order mark is skipped";
}

TEST(JsonRead, ValuesAndKeysKnowTheirLineAndColumn) {
  const JsonValue v = Read("{\n  \"a\": [1,\n        \"\xC3\xA9\xC3\xA9\", 3],\n\t\"b\": 2\r\n}");
  EXPECT_EQ(v.GetLine(), 1);
  EXPECT_EQ(v.GetColumn(), 1);
  const JsonMember& a = v.GetMembers()[0];
  EXPECT_EQ(a.line, 2);
  EXPECT_EQ(a.column, 3);
  EXPECT_EQ(a.value.GetLine(), 2);
  EXPECT_EQ(a.value.GetColumn(), 8);
  const auto& items = a.value.GetItems();
  EXPECT_EQ(items[1].GetLine(), 3);
  EXPECT_EQ(items[1].GetColumn(), 9);
  EXPECT_EQ(items[2].GetColumn(), 15) << "columns count characters, not UTF-8 bytes";
  const JsonMember& b = v.GetMembers()[1];
  EXPECT_EQ(b.line, 4);
  EXPECT_EQ(b.column, 2);
  EXPECT_EQ(b.value.GetColumn(), 7);
}

TEST(JsonRead, RefusesBadSyntaxWithItsPosition) {
  const std::vector<Refusal> cases = {
      {"", 1, 1, "expected a value, found the end of the text"},
      {"   \n  ", 2, 3, "end of the text"},
      {"{\n  \"a\": 1,\n  \"b\": 2 \"c\": 3}", 3, 10, "expected ',' or '}'"},
      {"[1 2]", 1, 4, "expected ',' or ']'"},
      {"[1,]", 1, 4, "another value after ','"},
      {R"({"a": 1,})", 1, 9, "another member after ','"},
      {"{1: 2}", 1, 2, "expected a string key"},
      {R"({"a" 1})", 1, 6, "expected ':'"},
      {"{\"a\": 1,\n \"a\": 2}", 2, 2, "duplicate key \"a\" (first at line 1)"},
      {"[1] 2", 1, 5, "after the end of the JSON value"},
      {"'a'", 1, 1, "expected a value"},
      {"tru", 1, 1, "expected a value"},
      {"nullx", 1, 1, "expected a value"},
      {"NaN", 1, 1, "expected a value"},
      {"[-Infinity]", 1, 3, "expected a digit after '-'"},
      {"01", 1, 1, "must not start with a 0"},
      {"1.", 1, 3, "expected a digit after '.'"},
      {".5", 1, 1, "expected a value"},
      {"1e+", 1, 4, "expected a digit in the exponent"},
      {"+1", 1, 1, "expected a value"},
  };
  for (const Refusal& r : cases) {
    ExpectRefused(r);
  }
  JsonError error;
  ReadJson("{\n  \"a\": 1,\n  \"b\": 2 \"c\": 3}", &error);
  EXPECT_EQ(error.Format(), "line 3, column 10: expected ',' or '}', found '\"'");
}

TEST(JsonRead, RefusesBadStrings) {
  const std::vector<Refusal> cases = {
      {"[\"abc", 1, 2, "unterminated string"},
      {"\"abc\\", 1, 1, "unterminated string"},
      {"\"a\nb\"", 1, 3, "control character byte 0x0A"},
      {"\"a\tb\"", 1, 3, "control character"},
      {R"("\x")", 1, 2, "invalid escape"},
      {R"("\u12G4")", 1, 6, "four hex digits"},
      {R"("\u12")", 1, 6, "four hex digits"},
      {R"(["ok", "\ud800"])", 1, 9, "unpaired high surrogate"},
      {R"("\ud800\u0041")", 1, 2, "unpaired high surrogate"},
      {R"("\udc00")", 1, 2, "unpaired low surrogate"},
  };
  for (const Refusal& r : cases) {
    ExpectRefused(r);
  }
}

TEST(JsonRead, RefusesNumbersItCannotHold) {
  ExpectRefused({"[\n 9223372036854775808]", 2, 2, "outside the 64-bit range"});
  ExpectRefused({"-9223372036854775809", 1, 1, "outside the 64-bit range"});
  ExpectRefused({"1e400", 1, 1, "too large"});
  ExpectRefused({"-0.0000001e316", 1, 1, "too large"});
  ExpectRefused({"[" + std::string(400, '9') + ".0]", 1, 2, "too large"});
  // A huge number is quoted only by its start, so messages stay readable.
  JsonError error;
  ReadJson(std::string(100000, '7'), &error);
  EXPECT_LT(error.message.size(), 120u) << error.message;
}

TEST(JsonRead, EnforcesDepthSizeAndValueCaps) {
  // Far deeper than any stack would survive if the reader recursed without a cap.
  const std::string bomb = std::string(1000000, '[') + std::string(1000000, ']');
  ExpectRefused({bomb, 1, 65, "nested deeper than 64 levels"});
  ExpectRefused({std::string(500000, '{'), 1, 2, "expected a string key"});
  EXPECT_TRUE(ReadJson(std::string(64, '[') + std::string(64, ']'), nullptr).has_value());
  ExpectRefused({std::string(65, '[') + std::string(65, ']'), 1, 65, "deeper than 64"});

  JsonLimits small;
  small.maxBytes = 8;
  ExpectRefused({"[1, 2, 3]", 1, 1, "larger than 8 bytes"}, small);
  EXPECT_TRUE(ReadJson("[1,2,3]", nullptr, small).has_value());

  JsonLimits few;
  few.maxValues = 3;
  EXPECT_TRUE(ReadJson("[1, 2]", nullptr, few).has_value());
  ExpectRefused({"[1, 2, 3]", 1, 8, "more than 3 values"}, few);
}

TEST(JsonRead, EveryTruncationIsRefusedCleanly) {
  const std::string full = R"({"a": [1, -2.5e-3, "x\u00e9\n"], "b": {"c": true, "d": null}, "e": false})";
  ASSERT_TRUE(ReadJson(full, nullptr).has_value());
  for (std::size_t n = 0; n < full.size(); ++n) {
    JsonError error;
    EXPECT_FALSE(ReadJson(full.substr(0, n), &error).has_value()) << full.substr(0, n);
    EXPECT_EQ(error.line, 1);
    EXPECT_GE(error.column, 1);
    EXPECT_FALSE(error.message.empty());
  }
}

TEST(JsonWrite, RoundTripsValuesExactly) {
  JsonValue v = JsonValue::MakeObject();
  v.Set("third", JsonValue::MakeFloat(1.0 / 3.0));
  v.Set("tenth", JsonValue::MakeFloat(0.1));
  v.Set("tiny", JsonValue::MakeFloat(std::numeric_limits<Float>::denorm_min()));
  v.Set("huge", JsonValue::MakeFloat(1e300));
  v.Set("whole", JsonValue::MakeFloat(200.0));
  v.Set("negzero", JsonValue::MakeFloat(-0.0));
  v.Set("min", JsonValue::MakeInteger(std::numeric_limits<Int64>::min()));
  v.Set("text", JsonValue::MakeString(std::string("q\"b\\n\n\x01\x1F\x7F\xC3\xA9", 11)));
  v.Set("list", JsonValue::MakeArray().Append(JsonValue()).Append(JsonValue::MakeBoolean(true)));
  for (const bool pretty : {false, true}) {
    const JsonValue back = Read(WriteJson(v, pretty));
    ASSERT_EQ(back.GetMembers().size(), v.GetMembers().size());
    for (std::size_t i = 0; i < v.GetMembers().size(); ++i) {
      const JsonValue& a = v.GetMembers()[i].value;
      const JsonValue& b = back.GetMembers()[i].value;
      EXPECT_EQ(back.GetMembers()[i].key, v.GetMembers()[i].key);
      EXPECT_EQ(a.GetKind(), b.GetKind()) << v.GetMembers()[i].key << " keeps its kind";
      EXPECT_EQ(a.GetNumber(), b.GetNumber());
      EXPECT_EQ(std::signbit(a.GetNumber()), std::signbit(b.GetNumber()));
      EXPECT_EQ(a.GetString(), b.GetString());
    }
  }
  EXPECT_EQ(WriteJson(JsonValue::MakeFloat(200.0)), "200.0") << "a float shows that it is one";
  EXPECT_EQ(WriteJson(JsonValue::MakeNumber(200.0)), "200");
  EXPECT_EQ(WriteJson(JsonValue::MakeNumber(0.5)), "0.5");
  EXPECT_EQ(WriteJson(JsonValue::MakeString("\t")), "\"\\t\"");
}

TEST(JsonWrite, PrettyKeepsShortContainersOnOneLine) {
  JsonValue long_list = JsonValue::MakeArray();
  for (int i = 0; i < 40; ++i) {
    long_list.Append(JsonValue::MakeInteger(1000 + i));
  }
  JsonValue root = JsonValue::MakeObject();
  root.Set("v", JsonValue::MakeArray().Append(JsonValue::MakeInteger(1)).Append(JsonValue::MakeInteger(2)));
  root.Set("empty", JsonValue::MakeObject());
  root.Set("long", long_list);
  const std::string text = WriteJson(root, true);
  EXPECT_EQ(text.rfind("{\n  \"v\": [1, 2],\n  \"empty\": {},\n  \"long\": [\n    1000,\n    1001,\n", 0), 0u) << text;
  EXPECT_TRUE(text.ends_with("    1039\n  ]\n}")) << text;
  EXPECT_EQ(WriteJson(JsonValue::MakeObject(), true), "{}");
}

}  // namespace
