#include "host/files/parameter_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <system_error>
#include <vector>

#include "host/core/gradient.h"

namespace {

constexpr std::string_view kSpace = " \t\r\n\f\v";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

// from_chars refuses a leading plus, which people write naturally ("+5"); a second sign
// after it must still be refused.
std::string_view DropPlus(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') {
    return text.substr(1);
  }
  return text;
}

std::string Shortest(Float value) {
  std::array<char, 64> buffer{};
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

enum class NumberStatus { OK, NOT_A_NUMBER, NOT_FINITE, OUT_OF_RANGE };

NumberStatus ReadFloat(std::string_view text, Float& value) {
  text = DropPlus(text);
  if (text.empty()) {
    return NumberStatus::NOT_A_NUMBER;
  }
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    return NumberStatus::OUT_OF_RANGE;
  }
  if (ec != std::errc() || ptr != text.data() + text.size()) {
    return NumberStatus::NOT_A_NUMBER;
  }
  return std::isfinite(value) ? NumberStatus::OK : NumberStatus::NOT_FINITE;
}

NumberStatus ReadInt32(std::string_view text, Int32& value) {
  text = DropPlus(text);
  Int64 wide = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), wide);
  if (ec == std::errc::result_out_of_range) {
    return NumberStatus::OUT_OF_RANGE;
  }
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size()) {
    return NumberStatus::NOT_A_NUMBER;
  }
  if (wide < LIMIT_MIN_INT32 || wide > LIMIT_MAX_INT32) {
    return NumberStatus::OUT_OF_RANGE;
  }
  value = static_cast<Int32>(wide);
  return NumberStatus::OK;
}

// Every failure below ends here, so each message starts with the parameter's name.
std::nullopt_t Fail(const DescParameter& param, const std::string& problem, String* error) {
  if (error != nullptr) {
    *error = String(param.name.GetStd() + ": " + problem);
  }
  return std::nullopt;
}

// `what` is empty for a single value and names the component of a vector.
bool CheckLimits(const DescParameter& param, Float value, const std::string& shown, const std::string& what,
                 String* error) {
  const std::string prefix = what.empty() ? shown : what + " " + shown;
  if (param.min && value < *param.min) {
    Fail(param, prefix + " is below the minimum " + Shortest(*param.min), error);
    return false;
  }
  if (param.max && value > *param.max) {
    Fail(param, prefix + " is above the maximum " + Shortest(*param.max), error);
    return false;
  }
  return true;
}

std::string PopupChoices(const DescParameter& param) {
  std::string list;
  for (const DescPopupEntry& e : param.popup) {
    list += (list.empty() ? "" : ", ") + std::to_string(e.value) + " (" + e.label.GetStd() + ")";
  }
  return list;
}

const DescPopupEntry* FindPopupValue(const DescParameter& param, Int32 value) {
  const auto it =
      std::find_if(param.popup.begin(), param.popup.end(), [value](const DescPopupEntry& e) { return e.value == value; });
  return it == param.popup.end() ? nullptr : &*it;
}

// A popup value written as a label, or as FormatParameterValue shows it: "1 (Fit)".
std::optional<Int32> ReadPopupText(const DescParameter& param, std::string_view text) {
  for (const DescPopupEntry& e : param.popup) {
    if (EqualsIgnoringCase(text, e.label.View())) {
      return e.value;
    }
  }
  const std::size_t open = text.find(" (");
  if (open == std::string_view::npos || text.back() != ')') {
    return std::nullopt;
  }
  Int32 value = 0;
  if (ReadInt32(text.substr(0, open), value) != NumberStatus::OK) {
    return std::nullopt;
  }
  const DescPopupEntry* entry = FindPopupValue(param, value);
  const std::string_view label = text.substr(open + 2, text.size() - open - 3);
  if (entry == nullptr || !EqualsIgnoringCase(label, entry->label.View())) {
    return std::nullopt;
  }
  return value;
}

std::optional<GeData> ParseInt32(const DescParameter& param, std::string_view text, String* error) {
  Int32 value = 0;
  const NumberStatus status = ReadInt32(text, value);
  if (status == NumberStatus::OUT_OF_RANGE) {
    return Fail(param, std::string(text) + " is outside the Int32 range", error);
  }
  if (!param.popup.empty()) {
    if (status != NumberStatus::OK) {
      const std::optional<Int32> chosen = ReadPopupText(param, text);
      if (!chosen) {
        return Fail(param, Quoted(text) + " is not one of " + PopupChoices(param), error);
      }
      value = *chosen;
    } else if (FindPopupValue(param, value) == nullptr) {
      return Fail(param, std::to_string(value) + " is not one of " + PopupChoices(param), error);
    }
  } else if (status != NumberStatus::OK) {
    return Fail(param, Quoted(text) + " is not an integer", error);
  }
  if (!CheckLimits(param, value, std::to_string(value), "", error)) {
    return std::nullopt;
  }
  return GeData(value);
}

std::optional<Float> ParseNumber(const DescParameter& param, std::string_view text, const std::string& what,
                                 String* error) {
  Float value = 0.0;
  const std::string subject = what.empty() ? Quoted(text) : what + " " + Quoted(text);
  switch (ReadFloat(text, value)) {
    case NumberStatus::OK:
      break;
    case NumberStatus::NOT_A_NUMBER:
      return Fail(param, subject + " is not a number", error);
    case NumberStatus::NOT_FINITE:
    case NumberStatus::OUT_OF_RANGE:
      return Fail(param, subject + " is not a finite number", error);
  }
  if (!CheckLimits(param, value, Shortest(value), what, error)) {
    return std::nullopt;
  }
  return value;
}

std::optional<GeData> ParseBool(const DescParameter& param, std::string_view text, String* error) {
  for (const char* yes : {"true", "1", "yes", "on"}) {
    if (EqualsIgnoringCase(text, yes)) {
      return GeData(true);
    }
  }
  for (const char* no : {"false", "0", "no", "off"}) {
    if (EqualsIgnoringCase(text, no)) {
      return GeData(false);
    }
  }
  return Fail(param, Quoted(text) + " is not a bool (true/false)", error);
}

// Separators are runs of white space holding at most one comma, so "1, 2 3" is three
// numbers but "1,,2" hides a missing one.
std::optional<std::vector<std::string_view>> SplitComponents(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = i;
    while (end < text.size() && text[end] != ',' && kSpace.find(text[end]) == std::string_view::npos) {
      ++end;
    }
    if (end == i) {
      return std::nullopt;  // a comma where a number should start
    }
    parts.push_back(text.substr(i, end - i));
    i = end;
    Int32 commas = 0;
    while (i < text.size() && (text[i] == ',' || kSpace.find(text[i]) != std::string_view::npos)) {
      commas += text[i] == ',' ? 1 : 0;
      ++i;
    }
    if (commas > 1 || (commas == 1 && i == text.size())) {
      return std::nullopt;
    }
  }
  return parts;
}

std::optional<GeData> ParseVector(const DescParameter& param, std::string_view text, String* error) {
  const auto parts = SplitComponents(text);
  if (!parts || parts->size() != 3) {
    return Fail(param, Quoted(text) + " is not three numbers (x, y, z)", error);
  }
  constexpr std::array<const char*, 3> kNames = {"x", "y", "z"};
  std::array<Float, 3> v{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::optional<Float> component = ParseNumber(param, (*parts)[i], kNames[i], error);
    if (!component) {
      return std::nullopt;
    }
    v[i] = *component;
  }
  return GeData(Vector(v[0], v[1], v[2]));
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), Upper);
  return out;
}

}  // namespace

std::optional<GeData> ParseParameterValue(const DescParameter& param, std::string_view text, String* error) {
  if (param.type == DescParamType::STRING) {
    if (param.maxLength) {
      // Characters, not bytes: UTF-8 continuation bytes do not count.
      const auto characters = std::count_if(text.begin(), text.end(),
                                            [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
      if (characters > *param.maxLength) {
        return Fail(param,
                    "the text has " + std::to_string(characters) + " characters, more than the " +
                        std::to_string(*param.maxLength) + " it may have",
                    error);
      }
    }
    return GeData(String(text));
  }
  text = Trim(text);
  switch (param.type) {
    case DescParamType::INT32:
      return ParseInt32(param, text, error);
    case DescParamType::FLOAT: {
      const std::optional<Float> value = ParseNumber(param, text, "", error);
      return value ? std::optional<GeData>(GeData(*value)) : std::nullopt;
    }
    case DescParamType::BOOL:
      return ParseBool(param, text, error);
    case DescParamType::VECTOR:
    case DescParamType::COLOR:
      return ParseVector(param, text, error);
    case DescParamType::BUTTON:
      return Fail(param, "a button has no value to set", error);
    case DescParamType::GRADIENT:
    case DescParamType::FONT:
    case DescParamType::STRING:
      break;
  }
  return Fail(param, std::string("a ") + DescParamTypeName(param.type) + " cannot be set from text", error);
}

std::string FormatParameterValue(const DescParameter& param, const GeData& value) {
  switch (param.type) {
    case DescParamType::INT32: {
      const Int32 v = value.GetInt32();
      const DescPopupEntry* entry = FindPopupValue(param, v);
      return entry != nullptr ? std::to_string(v) + " (" + entry->label.GetStd() + ")" : std::to_string(v);
    }
    case DescParamType::FLOAT:
      return Shortest(value.GetFloat());
    case DescParamType::BOOL:
      return value.GetBool() ? "true" : "false";
    case DescParamType::STRING:
      return value.GetString().GetStd();
    case DescParamType::VECTOR:
    case DescParamType::COLOR: {
      const Vector v = value.GetVector();
      return Shortest(v.x) + ", " + Shortest(v.y) + ", " + Shortest(v.z);
    }
    case DescParamType::GRADIENT: {
      const Gradient* gradient = value.GetCustomData<Gradient>();
      if (gradient == nullptr) {
        return "gradient (none)";
      }
      const Int32 knots = gradient->GetKnotCount();
      return "gradient (" + std::to_string(knots) + (knots == 1 ? " knot)" : " knots)");
    }
    case DescParamType::FONT:
      return value.IsNil() ? "font (none)" : "font";
    case DescParamType::BUTTON:
      return "button";
  }
  return {};
}

std::optional<std::string> FindClosestParameterName(const DescriptionResource& resource, std::string_view name) {
  const std::string wanted = UpperCase(name);
  // Longer names tolerate more typos; a short one would otherwise match anything short.
  const std::size_t tolerance = std::clamp<std::size_t>(wanted.size() / 4, 1, 3);
  std::size_t best = std::numeric_limits<std::size_t>::max();
  std::optional<std::string> bestName;
  for (const DescParameter& p : resource.parameters) {
    const std::string candidate = UpperCase(p.name.View());
    std::size_t distance = EditDistance(wanted, candidate);
    // People often leave out the type prefix: RESOLUTION for SURFO_RESOLUTION.
    const std::size_t underscore = candidate.find('_');
    if (underscore != std::string::npos) {
      distance = std::min(distance, EditDistance(wanted, std::string_view(candidate).substr(underscore + 1)));
    }
    if (distance < best) {
      best = distance;
      bestName = p.name.GetStd();
    }
  }
  return best <= tolerance ? bestName : std::nullopt;
}
